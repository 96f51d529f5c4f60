#include "engines/image/pixelbudget.h"

#include "core/settings.h"
#include "engines/image/imageengine.h"
#include "engines/pdf/pageimages.h"

#include "../../support/enginefixtures_a.h"
#include "../../support/minipdf.h"

#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <thread>

using namespace Fixture;

namespace {

// Pictures as ImageMagick writes them: a gradient of `size`, 8 or 16 bits a channel.
QString magick(const QString& path, QSize size, const QStringList& options = {"-depth", "8"})
{
    const Shell::Result r = Shell::run(
        "/usr/bin/convert",
        QStringList{"-size", QString("%1x%2").arg(size.width()).arg(size.height()), "gradient:red-blue"} +
            options + QStringList{path});
    return r.status == 0 ? path : QString();
}

// A one-page PDF of `points`, a few shapes on it.
QString pagePdf(const QString& path, QSizeF points, int pages = 1)
{
    QList<MiniPdf::Page> list;
    for (int i = 0; i < pages; ++i)
        list << MiniPdf::Page{QRectF(QPointF(0, 0), points), 0, "0 0 1 rg 10 10 40 40 re f"};
    return MiniPdf::write(path, list) ? path : QString();
}

// The conversion of `source` to `target` within `budget`: its results, or its error's message.
QString converted(const QString& source, const QString& target, Job& job, MemoryBudget& budget)
{
    try {
        const QStringList results = source.endsWith(".pdf")
                                        ? Doc::writePageImages(
                                              source, source, target, 300, job, [](double) {}, budget)
                                        : ImageEngine::convert(
                                              source, target, job, [](double) {}, budget);
        return results.join(' ');
    } catch (const ConvertError& e) {
        return e.isCancelled() ? QString("(cancelled)") : e.message();
    }
}

} // namespace

class PixelBudgetTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase() { Settings::shared(); }

    // Each picture or page is charged, before it is decoded, at least its pixels and the copy
    // the road makes of them (the HEIF encoders several more), whatever format it comes in.
    void chargesThePixelsAndTheirCopies_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<qint64>("least");
        const QSize size(400, 300);
        const qint64 pixels = 400 * 300;
        QTest::newRow("8-bit PNG") << magick(path("photo.png"), size) << "jpg" << 2 * pixels * 4;
        QTest::newRow("16-bit PNG") << magick(path("deep.png"), size, {"-depth", "16"}) << "jpg"
                                    << 2 * pixels * 8;
        QTest::newRow("to HEIC") << path("photo.png") << "heic" << 4 * pixels * 4;
        QImage photo(size, QImage::Format_RGB32);
        photo.fill(Qt::darkGreen);
        ImageEngine::write(photo, path("photo.heic"), "heic", {}, 0.8, 72);
        QTest::newRow("HEIC") << path("photo.heic") << "png" << 2 * pixels * 3;
        write(path("drawing.svg"), "<svg xmlns='http://www.w3.org/2000/svg' width='100' height='50'>"
                                   "<rect width='100' height='50' fill='red'/></svg>");
        QTest::newRow("SVG, drawn at 2048 × 1024")
            << path("drawing.svg") << "png" << 2 * qint64(2048 * 1024 * 4);
        QTest::newRow("A7 page at 300 dpi")
            << pagePdf(path("page.pdf"), {210, 298}) << "png" << 2 * qint64(875 * 1242 * 4);
    }

    void chargesThePixelsAndTheirCopies()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(qint64, least);
        QVERIFY(!source.isEmpty());
        MemoryBudget budget(qint64(256) << 20);
        Job job({}, {}, 0);
        const QString result = converted(source, target, job, budget);
        QVERIFY2(QFileInfo(result).isFile(), qPrintable(result));
        QVERIFY2(budget.peak() >= least, qPrintable(QString("%1 < %2").arg(budget.peak()).arg(least)));
        QVERIFY(budget.peak() < 4 * least);
        QCOMPARE(budget.inUse(), 0);
    }

    // Files converted at once, and the pages of one PDF rendered side by side, wait for room:
    // together they never hold more than the budget, and all of them are written.
    void severalAtOnceStayWithinTheBudget()
    {
        QList<QString> sources;
        for (int i = 0; i < 6; ++i)
            sources << magick(path(QString("many%1.png").arg(i)), {1000, 800});
        const qint64 charge = PixelBudget::charge({1000, 800}, QImage::Format_RGB32, "jpg");
        MemoryBudget budget(2 * charge + charge / 2);
        std::vector<QString> results(size_t(sources.size()));
        std::vector<std::thread> threads;
        for (size_t i = 0; i < results.size(); ++i)
            threads.emplace_back([&, i] {
                Job job({}, {}, 0);
                results[i] = converted(sources[qsizetype(i)], "jpg", job, budget);
            });
        for (std::thread& thread : threads)
            thread.join();
        for (const QString& result : results)
            QCOMPARE(QImageReader(result).size(), QSize(1000, 800));
        QVERIFY(budget.peak() >= charge && budget.peak() <= budget.capacity());
        QCOMPARE(budget.inUse(), 0);

        // Eight pages of 1000 × 1000 pixels, room for two of them.
        const QString pdf = pagePdf(path("pages.pdf"), {240, 240}, 8);
        MemoryBudget pages(2 * PixelBudget::charge({1000, 1000}, QImage::Format_RGB32, "png"));
        Job job({}, {}, 0);
        QCOMPARE(entries(converted(pdf, "png", job, pages)).size(), 8);
        QVERIFY(pages.peak() >= pages.capacity() / 2 && pages.peak() <= pages.capacity());
        QCOMPARE(pages.inUse(), 0);
    }

    // A picture or page larger than the whole budget waits until nothing else holds any, then
    // runs alone instead of failing.
    void oneLargerThanTheBudgetRunsAlone()
    {
        for (const QString& source :
             {magick(path("large.png"), {1000, 800}), pagePdf(path("large.pdf"), {240, 192})}) {
            MemoryBudget budget(1 << 20);
            Job job({}, {}, 0);
            const QString result = converted(source, "jpg", job, budget);
            QCOMPARE(QImageReader(result).size(), QSize(1000, 800));
            QCOMPARE(budget.peak(), budget.capacity());
            QCOMPARE(budget.inUse(), 0);
        }
    }

    // A conversion waiting for room ends as soon as its job is cancelled, leaving nothing.
    void cancelEndsAWaitForRoom()
    {
        QDir().mkpath(path("waiting"));
        for (const QString& source :
             {magick(path("waiting/a.png"), {200, 100}), pagePdf(path("waiting/b.pdf"), {48, 24})}) {
            MemoryBudget budget(1 << 20);
            std::optional<MemoryBudget::Share> everything = budget.tryTake(budget.capacity());
            Job job({}, {}, 0);
            QString result;
            std::atomic<bool> finished = false;
            std::thread conversion([&] {
                result = converted(source, "jpg", job, budget);
                finished = true;
            });
            const auto joined = qScopeGuard([&] {
                everything.reset(); // a conversion the cancel did not reach goes on, and the test fails
                conversion.join();
            });
            QTest::qWait(200);
            QVERIFY(!finished); // still waiting for room
            job.cancel();
            QTRY_VERIFY_WITH_TIMEOUT(finished, 10000);
            QCOMPARE(result, QString("(cancelled)"));
            QCOMPARE(budget.inUse(), budget.capacity());
        }
        QCOMPARE(entries(path("waiting")), (QStringList{"a.png", "b.pdf"}));
    }
};

QTEST_MAIN(PixelBudgetTest)
#include "test_pixelbudget.moc"
