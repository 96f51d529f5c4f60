#include "engines/pdf/pageimages.h"

#include "../../support/enginefixtures_a.h"
#include "../../support/minipdf.h"

#include <QImageReader>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

using namespace Fixture;

namespace {

// `count` pages; page i is 100 + i points wide, so each image tells which page it shows.
QList<MiniPdf::Page> numberedPages(int count)
{
    QList<MiniPdf::Page> pages;
    for (int i = 0; i < count; ++i)
        pages << MiniPdf::Page{QRectF(0, 0, 100 + i, 60), 0, "1 0 0 rg 10 10 40 40 re f"};
    return pages;
}

} // namespace

class PageImagesTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QStringList pages(
        const QString& pdf, const QString& format, double dpi,
        const std::function<void(double)>& progress = [](double) {})
    {
        Job job({}, {}, 0);
        return Doc::writePageImages(pdf, pdf, format, dpi, job, progress);
    }

  private slots:
    void init()
    {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    // One page gives one file, several a folder of numbered pages; taken names get a number.
    void namesAndSizes()
    {
        QVERIFY(MiniPdf::write(path("One.pdf"), {{QRectF(0, 0, 595, 842), 0, ""}}));
        QCOMPARE(pages(path("One.pdf"), "png", 300), QStringList{path("One.png")});
        QCOMPARE(QImageReader(path("One.png")).size(), QSize(2479, 3508));
        QCOMPARE(pages(path("One.pdf"), "png", 72), QStringList{path("One 2.png")});

        QVERIFY(MiniPdf::write(path("Report.pdf"), numberedPages(12)));
        QList<double> progress;
        QCOMPARE(pages(path("Report.pdf"), "jpg", 72, [&](double p) { progress << p; }),
                 QStringList{path("Report")});
        QStringList expected;
        for (int i = 1; i <= 12; ++i)
            expected << QString("Page %1.jpg").arg(i, 3, 10, QChar('0'));
        QCOMPARE(entries(path("Report")), expected);
        QCOMPARE(QImageReader(path("Report/Page 005.jpg")).size(), QSize(104, 60));
        QCOMPARE(QImageReader(path("Report/Page 012.jpg")).format(), QByteArray("jpeg"));
        QCOMPARE(progress.size(), 12);
        QCOMPARE(progress.last(), 1.0);
        QCOMPARE(pages(path("Report.pdf"), "png", 72), QStringList{path("Report 2")});
        QCOMPARE(entries(m_dir.path()),
                 (QStringList{"One 2.png", "One.pdf", "One.png", "Report", "Report 2", "Report.pdf"}));
    }

    // Past 999 pages the numbers take another digit, so the names still sort in page order.
    void longDocumentsSortInPageOrder()
    {
        QVERIFY(MiniPdf::write(path("Long.pdf"), numberedPages(1000)));
        QCOMPARE(pages(path("Long.pdf"), "png", 4), QStringList{path("Long")});
        const QStringList names = entries(path("Long"));
        QCOMPARE(names.size(), 1000);
        QCOMPARE(names.first(), QString("Page 0001.png"));
        QCOMPARE(names[181], QString("Page 0182.png"));
        QCOMPARE(names.last(), QString("Page 1000.png"));
    }

    void cancellingLeavesNothing()
    {
        QVERIFY(MiniPdf::write(path("Long.pdf"), numberedPages(40)));
        Job job({}, {}, 0);
        QList<double> progress;
        QVERIFY(failure([&] {
                    Doc::writePageImages(path("Long.pdf"), path("Long.pdf"), "png", 72, job, [&](double p) {
                        progress << p;
                        if (progress.size() == 1) job.cancel();
                    });
                }).isCancelled());
        // Pages are rendered side by side: only those under way when the job was cancelled finish.
        QVERIFY(progress.size() <= std::max(1, QThread::idealThreadCount()));
        QCOMPARE(entries(m_dir.path()), QStringList{"Long.pdf"});
    }

    // A damaged file, or one without pages, which says so as every PDF target does.
    void nothingToRender()
    {
        for (const auto& [bytes, said] :
             {std::pair{QByteArray("%PDF-1.4\nnothing else"), "Nothing to render"},
              std::pair{MiniPdf::bytes({}), "Empty.pdf has no pages"}}) {
            QVERIFY(write(path("Empty.pdf"), bytes));
            QCOMPARE(failure([&] { pages(path("Empty.pdf"), "png", 72); }).message(), QString(said));
            QCOMPARE(entries(m_dir.path()), QStringList{"Empty.pdf"});
        }
    }
};

QTEST_MAIN(PageImagesTest)
#include "test_pageimages.moc"
