#include "engines/pdf/blocks.h"
#include "engines/pdf/pdfengine.h"
#include "engines/pdftext/textlayer.h"

#include "../../support/enginefixtures_a.h"
#include "../../support/minipdf.h"

#include <QPainter>
#include <QPdfWriter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace Fixture;

class PdfEngineTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void pagesRenderAtTheirSize_data()
    {
        QTest::addColumn<QRectF>("box");
        QTest::addColumn<int>("rotate");
        QTest::addColumn<double>("dpi");
        QTest::addColumn<QSize>("pixels");
        const QRectF letter(0, 0, 612, 792);
        QTest::newRow("letter at 300 dpi") << letter << 0 << 300.0 << QSize(2550, 3300);
        QTest::newRow("turned a quarter") << letter << 90 << 72.0 << QSize(792, 612);
        QTest::newRow("turned a half") << letter << 180 << 72.0 << QSize(612, 792);
        QTest::newRow("turned three quarters") << letter << 270 << 72.0 << QSize(792, 612);
        QTest::newRow("half a point rounds up") << QRectF(0, 0, 100.5, 50) << 0 << 72.0 << QSize(101, 50);
        QTest::newRow("a sliver is a pixel") << QRectF(0, 0, 0.2, 50) << 0 << 72.0 << QSize(1, 50);
        QTest::newRow("offset box") << QRectF(100, 100, 200, 100) << 0 << 144.0 << QSize(400, 200);
    }
    // Opaque, white where nothing is drawn, the drawing where it belongs.
    void pagesRenderAtTheirSize()
    {
        QFETCH(QRectF, box);
        QFETCH(int, rotate);
        QFETCH(double, dpi);
        QFETCH(QSize, pixels);
        // A blue square in the middle of the box.
        const double side = std::min(box.width(), box.height()) / 2;
        const QByteArray square = MiniPdf::number(box.center().x() - side / 2) + " " +
                                  MiniPdf::number(box.center().y() - side / 2) + " " + MiniPdf::number(side) +
                                  " " + MiniPdf::number(side) + " re";
        QVERIFY(MiniPdf::write(path("p.pdf"), {{box, rotate, "0 0 1 rg " + square + " f"}}));
        const QImage image = PDFEngine::render(*PDFEngine::open(path("p.pdf"))->page(0), dpi);
        QCOMPARE(image.size(), pixels);
        QVERIFY(!image.hasAlphaChannel());
        QCOMPARE(image.pixelColor(0, 0), QColor(Qt::white));
        if (pixels.width() > 10)
            QCOMPARE(image.pixelColor(pixels.width() / 2, pixels.height() / 2), QColor(Qt::blue));
    }

    void unreadableLockedAndHugeFilesAreRefused()
    {
        QVERIFY(write(path("x.pdf"), "not a pdf at all"));
        QCOMPARE(failure([&] { PDFEngine::open(path("x.pdf")); }).message(), QString("Couldn’t open x.pdf"));
        QCOMPARE(failure([&] { PDFEngine::TextLayer(path("x.pdf")); }).message(),
                 QString("Couldn’t open x.pdf"));

        // 200 inches square at 300 dpi would be 3.6 billion pixels.
        QVERIFY(MiniPdf::write(path("big.pdf"), {{QRectF(0, 0, 14400, 14400), 0, ""}}));
        const auto doc = PDFEngine::open(path("big.pdf"));
        QCOMPARE(failure([&] { PDFEngine::render(*doc->page(0), 300); }).message(),
                 QString("Page too large to render"));
        QVERIFY(!PDFEngine::renderSize(QSizeF(612, 792), qInf()));

        const QString qpdf = QStandardPaths::findExecutable("qpdf");
        if (qpdf.isEmpty()) QSKIP("qpdf makes the locked file");
        QCOMPARE(QProcess::execute(qpdf, {"--encrypt", "secret", "owner", "256", "--", path("big.pdf"),
                                          path("Locked File.pdf")}),
                 0);
        // The text layer, read on its own for plain text, refuses it in the same words.
        for (const auto& open : std::initializer_list<std::function<void()>>{
                 [&] { PDFEngine::open(path("Locked File.pdf")); },
                 [&] { PDFEngine::TextLayer(path("Locked File.pdf")); }})
            QCOMPARE(failure(open).message(), QString("Locked File.pdf is password-protected"));
    }

    // A text layer too short to hold the page's words gives way to recognising the picture; in a
    // document's blocks that text has no headings, and reading is the first half of the progress.
    void shortTextLayersAreReadFromThePicture()
    {
        // Page 1 is a picture of words without a text layer; page 2 is blank.
        QPdfWriter writer(path("scan.pdf"));
        writer.setResolution(72);
        QPainter p(&writer);
        p.drawImage(QRectF(40, 40, 480, 120), writing(QSize(1200, 300), {{150, "Pictured words"}}));
        writer.newPage();
        p.end();

        const auto doc = PDFEngine::open(path("scan.pdf"));
        const auto pictured = doc->page(0);
        QCOMPARE(PDFEngine::text(*pictured, " \n abcd \n"), QString(" \n abcd \n"));
        QVERIFY(PDFEngine::text(*pictured, " abc ").contains("Pictured words"));
        QCOMPARE(PDFEngine::text(*doc->page(1), ""), QString());
        Job job({}, {}, 0);
        QList<double> progress;
        const auto blocks = PDFEngine::blocks(path("scan.pdf"), *doc, PDFEngine::TextLayer(path("scan.pdf")),
                                              job, [&](double p) { progress << p; });
        QCOMPARE(progress, (QList<double>{0.25, 0.5}));
        QCOMPARE(blocks.size(), 2);
        QVERIFY(blocks[0].kind == PDFEngine::Block::Kind::paragraph &&
                blocks[0].text.contains("Pictured words"));

        const QImage image = PDFEngine::render(*pictured, 36);
        QCOMPARE(QImage::fromData(PDFEngine::pngData(image), "PNG").convertToFormat(image.format()), image);
    }

    // Pages are recognised side by side; their texts still come in page order, pages with a text
    // layer among them, and progress only grows.
    void scannedPagesKeepTheirOrder()
    {
        const QStringList words{"Alpha", "Bravo", "Charlie", "Delta", "Echo", "Foxtrot"};
        QPdfWriter writer(path("pages.pdf"));
        writer.setResolution(72);
        QPainter p(&writer);
        for (qsizetype i = 0; i < words.size(); ++i) {
            if (i > 0) writer.newPage();
            p.drawImage(QRectF(40, 40, 480, 120), writing(QSize(1200, 300), {{150, words[i]}}));
        }
        p.end();
        const auto doc = PDFEngine::open(path("pages.pdf"));
        Job job({}, {}, 0);
        QList<double> progress;
        const QMap<int, QString> texts = PDFEngine::texts(
            path("pages.pdf"), *doc,
            [](PDFEngine::PageIndex p) { return p.shown == 2 ? QString("Layer words") : QString(); }, job,
            [&](double done) { progress << done; });
        QCOMPARE(texts.keys(), QList<int>({0, 1, 2, 3, 4, 5}));
        for (int i = 0; i < 6; ++i)
            QVERIFY2(texts[i].contains(i == 2 ? QString("Layer words") : words[i]), qPrintable(texts[i]));
        QCOMPARE(progress.size(), 6);
        QVERIFY(std::is_sorted(progress.begin(), progress.end()) && progress.last() == 1.0);
    }
};

QTEST_MAIN(PdfEngineTest)
#include "test_pdfengine.moc"
