#include "engines/pdf/layouttext.h"
#include "engines/pdf/pdftext.h"
#include "engines/pdf/textlayer.h"

#include "../../support/minipdf.h"

#include <QTemporaryDir>
#include <QtTest>

using PDFEngine::FontRun;

namespace {

const QRectF letter(0, 0, 612, 792);

// A table of three columns and two rows, cells far apart.
QByteArray table()
{
    QByteArray content;
    const QList<QList<QByteArray>> rows{{"Name", "Qty", "Price"}, {"Apple", "3", "1.50"}};
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < 3; ++c)
            content += MiniPdf::text("F1", 11, 72 + 128 * c, 700 - 20 * r, rows[r][c]);
    return content;
}

} // namespace

class PdfTextTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void layerGivesTextWithFontsDrawn()
    {
        const QByteArray content = MiniPdf::text("F1", 18, 72, 720, "Big Heading") +
                                   MiniPdf::text("F1", 11, 72, 690, "Body text that ends wood-") +
                                   MiniPdf::text("F1", 11, 72, 676, "land here.") +
                                   MiniPdf::text("F2", 11, 72, 650, "Bold Title") +
                                   // a 1-point font scaled by the text matrix is drawn at 13 points
                                   "BT /F1 1 Tf 13 0 0 13 72 620 Tm (Level two) Tj ET\n";
        QVERIFY(MiniPdf::write(path("fonts.pdf"), {{letter, 0, content}, {letter, 90, content}}));
        const PDFEngine::TextLayer layer(path("fonts.pdf"));
        QCOMPARE(layer.pageCount(), 2);
        for (int page : {0, 1}) {
            const auto read = layer.page(page);
            QVERIFY(read);
            const QString expected(
                "Big Heading\nBody text that ends wood-\nland here.\nBold Title\nLevel two");
            QCOMPARE(read->text, expected);
            QCOMPARE(layer.text(page), expected);
            // Each run covers its lines and the line feed after them.
            QCOMPARE(read->runs,
                     (QList<FontRun>{
                         {0, 12, 18, false}, {12, 49, 11, false}, {49, 60, 11, true}, {60, 69, 13, false}}));
        }
        QVERIFY(!layer.page(2));
        QCOMPARE(layer.text(-1), QString());
    }

    void wordsApartOnThePageStayApart()
    {
        QVERIFY(MiniPdf::write(path("table.pdf"), {{letter, 0, table()}}));
        const QString text = PDFEngine::TextLayer(path("table.pdf")).text(0);
        QCOMPARE(text.split(QRegularExpression("\\s+")),
                 (QStringList{"Name", "Qty", "Price", "Apple", "3", "1.50"}));

        // Laid out, the columns keep runs of spaces between them.
        const auto laid = PDFEngine::LayoutText(path("table.pdf")).page(0);
        QVERIFY(laid);
        const QStringList lines = laid->split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0].split(QRegularExpression(" {2,}")), (QStringList{"Name", "Qty", "Price"}));
        QCOMPARE(lines[1].split(QRegularExpression(" {2,}")), (QStringList{"Apple", "3", "1.50"}));
        QVERIFY(!PDFEngine::LayoutText(path("table.pdf")).page(1));
    }

    void boldFaces_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("bold");
        QTest::newRow("standard") << "Helvetica-Bold" << true;
        QTest::newRow("subset") << "ABCDEF+DejaVuSans-Bold" << true;
        QTest::newRow("comma style") << "Arial,Bold" << true;
        QTest::newRow("heavy") << "Avenir-Heavy" << true;
        QTest::newRow("regular") << "Helvetica" << false;
        QTest::newRow("subset tag only") << "BOLDAB+Times-Roman" << false;
    }
    void boldFaces()
    {
        QFETCH(QString, name);
        QTEST(PDFEngine::isBoldFont(name), "bold");
    }

    void characterRules()
    {
        // Each newline character cuts on its own, so CR LF leaves an empty line between.
        QCOMPARE(PDFText::lines("a\r\nb\u2028c\n"), (QStringList{"a", "", "b", "c", ""}));
        QCOMPARE(PDFText::lines(""), QStringList());
        // Whitespace is the space separators and the tab; newlines only when asked.
        QCOMPARE(PDFText::trimmed("\u00a0\t x \u3000"), QString("x"));
        QCOMPARE(PDFText::trimmed("\n x \n"), QString("\n x \n"));
        QCOMPARE(PDFText::trimmed("\n x \n", true), QString("x"));
        // Characters are what a reader counts: "é" as e + combining accent is one.
        QCOMPARE(PDFText::characterCount("e\u0301te\u0301"), 3);
        QVERIFY(!PDFText::hasText(" \n e\u0301te\u0301 \n"));
        QVERIFY(PDFText::hasText(" \n abcd \n"));
        QVERIFY(!PDFText::hasText("\u00a0abc\u00a0"));
    }
};

QTEST_GUILESS_MAIN(PdfTextTest)
#include "test_pdftext.moc"
