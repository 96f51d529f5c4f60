#include "engines/document/pageimages.h"

#include "core/converterror.h"
#include "core/job.h"

#include "../../support/minipdf.h"

#include <QImageReader>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

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
    QStringList entries() const
    {
        return QDir(m_dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    QStringList pages(const QString& pdf, const QString& format, double dpi,
                      QList<double>* progress = nullptr, Job* job = nullptr)
    {
        Job own({}, {}, 0);
        return Doc::writePageImages(pdf, pdf, format, dpi, job ? *job : own, [&](double p) {
            if (progress) *progress << p;
        });
    }

  private slots:
    void init()
    {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    void onePageGivesOneFile()
    {
        QVERIFY(MiniPdf::write(path("Report.pdf"), {{QRectF(0, 0, 595, 842), 0, ""}}));
        QList<double> progress;
        QCOMPARE(pages(path("Report.pdf"), "png", 300, &progress), QStringList{path("Report.png")});
        QCOMPARE(QImageReader(path("Report.png")).size(), QSize(2479, 3508));
        QCOMPARE(pages(path("Report.pdf"), "png", 72), QStringList{path("Report 2.png")});
        QVERIFY(progress.isEmpty());
        QCOMPARE(entries(), (QStringList{"Report 2.png", "Report.pdf", "Report.png"}));
    }

    void severalPagesGiveAFolder()
    {
        QVERIFY(MiniPdf::write(path("Report.pdf"), numberedPages(12)));
        QList<double> progress;
        QCOMPARE(pages(path("Report.pdf"), "jpg", 72, &progress), QStringList{path("Report")});
        QStringList expected;
        QList<double> fractions;
        for (int i = 1; i <= 12; ++i) {
            expected << QString("Page %1.jpg").arg(i, 3, 10, QChar('0'));
            fractions << i / 12.0;
        }
        QCOMPARE(QDir(path("Report")).entryList(QDir::Files, QDir::Name), expected);
        QCOMPARE(QImageReader(path("Report/Page 005.jpg")).size(), QSize(104, 60));
        QCOMPARE(QImageReader(path("Report/Page 012.jpg")).format(), QByteArray("jpeg"));
        QCOMPARE(progress, fractions);

        QCOMPARE(pages(path("Report.pdf"), "png", 72), QStringList{path("Report 2")});
        QCOMPARE(entries(), (QStringList{"Report", "Report 2", "Report.pdf"}));
    }

    void cancellingLeavesNothing()
    {
        QVERIFY(MiniPdf::write(path("Long.pdf"), numberedPages(40)));
        Job job({}, {}, 0);
        QList<double> progress;
        try {
            Doc::writePageImages(path("Long.pdf"), path("Long.pdf"), "png", 72, job, [&](double p) {
                progress << p;
                if (progress.size() == 1) job.cancel();
            });
            QFAIL("the cancelled job finished");
        } catch (const ConvertError& e) {
            QVERIFY(e.isCancelled());
        }
        // Pages are rendered side by side: only those under way when the job was cancelled finish.
        QVERIFY(progress.size() <= std::max(1, QThread::idealThreadCount()));
        QCOMPARE(entries(), QStringList{"Long.pdf"});
    }

    void nothingToRender_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("damaged") << QByteArray("%PDF-1.4\nnothing else") << "Nothing to render";
        QTest::newRow("no pages") << MiniPdf::bytes({}) << "Nothing to render";
    }
    void nothingToRender()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QFile f(path("Empty.pdf"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        try {
            pages(path("Empty.pdf"), "png", 72);
            QFAIL("rendered an empty document");
        } catch (const ConvertError& e) {
            QCOMPARE(e.message(), message);
        }
        QCOMPARE(entries(), QStringList{"Empty.pdf"});
    }
};

QTEST_MAIN(PageImagesTest)
#include "test_pageimages.moc"
