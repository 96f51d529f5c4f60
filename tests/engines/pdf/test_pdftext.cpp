#include "engines/pdf/blocks.h"
#include "engines/pdf/layouttext.h"
#include "engines/pdftext/pdftext.h"
#include "engines/pdftext/textlayer.h"

#include "../../support/minipdf.h"

#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

using PDFEngine::Block;
using PDFEngine::FontRun;
using PDFEngine::PageEntry;

namespace {

const QRectF letter(0, 0, 612, 792);

struct Line
{
    QString text;
    double size = 11;
    bool bold = false;
};

// A page read from a text layer: the lines joined by line feeds, each line's font over it and
// its line feed.
PageEntry page(const QList<Line>& lines)
{
    PageEntry entry{{}, QList<PDFEngine::FontRun>{}};
    for (const Line& line : lines) {
        const qsizetype start = entry.text.size();
        entry.text += line.text + '\n';
        entry.runs->append({start, entry.text.size(), line.size, line.bold});
    }
    entry.text.chop(1);
    if (!entry.runs->isEmpty()) entry.runs->last().end = entry.text.size();
    return entry;
}

const QString body = "This is an ordinary line of body text that runs on to the width of a page";

} // namespace

namespace PDFEngine {
char* toString(const Block& block)
{
    return qstrdup(QString("%1 %2 \"%3\"").arg(int(block.kind)).arg(block.level).arg(block.text).toUtf8());
}
} // namespace PDFEngine

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
            QCOMPARE(read->text, "Big Heading\nBody text that ends wood-\nland here.\nBold Title\nLevel two");
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
        // A table of three columns and two rows, cells far apart.
        QByteArray table;
        const QList<QList<QByteArray>> rows{{"Name", "Qty", "Price"}, {"Apple", "3", "1.50"}};
        for (int r = 0; r < rows.size(); ++r)
            for (int c = 0; c < 3; ++c)
                table += MiniPdf::text("F1", 11, 72 + 128 * c, 700 - 20 * r, rows[r][c]);
        QVERIFY(MiniPdf::write(path("table.pdf"), {{letter, 0, table}}));
        const QString text = PDFEngine::TextLayer(path("table.pdf")).text(0);
        QCOMPARE(text.split(QRegularExpression("\\s+")),
                 (QStringList{"Name", "Qty", "Price", "Apple", "3", "1.50"}));

        // Laid out, the columns keep runs of spaces between them.
        const PDFEngine::LayoutText layout(path("table.pdf"));
        QCOMPARE(layout.page(0).value_or("none").trimmed().replace(QRegularExpression(" {2,}"), "|"),
                 QString("Name|Qty|Price\nApple|3|1.50"));
        QVERIFY(!layout.page(1));
    }

    void boldFaces()
    {
        for (const auto& [name, bold] : {std::pair{"Helvetica-Bold", true},
                                         {"ABCDEF+DejaVuSans-Bold", true},
                                         {"Arial,Bold", true},
                                         {"Avenir-Heavy", true},
                                         {"Helvetica", false},
                                         {"BOLDAB+Times-Roman", false}})
            QVERIFY2(PDFEngine::isBoldFont(name) == bold, name);
    }

    void characterRules()
    {
        // Each newline character cuts on its own, so CR LF leaves an empty line between.
        QCOMPARE(PDFText::lines("a\r\nb\u2028c\n"), (QStringList{"a", "", "b", "c", ""}));
        // Whitespace is the space separators and the tab; newlines only when asked.
        QCOMPARE(PDFText::trimmed("\u00a0\t x \u3000"), QString("x"));
        QCOMPARE(PDFText::trimmed("\n x \n"), QString("\n x \n"));
        QCOMPARE(PDFText::trimmed("\n x \n", true), QString("x"));
        // Characters are what a reader counts: "é" as e + combining accent is one; a page has
        // text from four of them.
        QCOMPARE(PDFText::characterCount("e\u0301te\u0301"), 3);
        QVERIFY(!PDFText::hasText(" \n e\u0301te\u0301 \n") && !PDFText::hasText("\u00a0abc\u00a0"));
        QVERIFY(PDFText::hasText(" \n e\u0301te\u0301s \n"));
        // A cluster longer than any short look at the start of a page.
        const QString cluster = "x" + QString(100, QChar(0x0301));
        QVERIFY(PDFText::hasText(cluster + "yzw") && !PDFText::hasText(cluster + "yz"));
    }

    void blocks_data()
    {
        QTest::addColumn<QList<PageEntry>>("pages");
        QTest::addColumn<QList<Block>>("blocks");
        const auto row = [](const char* name, const QList<Line>& lines, const QList<Block>& blocks) {
            QTest::newRow(name) << QList<PageEntry>{page(lines)} << blocks;
        };
        const QList<Line> text{{body}, {body}, {body}}, small{{body, 10}, {body, 10}};
        const Block paragraph = Block::paragraph(QStringList{body, body, body}.join(' '));
        const Block smallParagraph = Block::paragraph(body + ' ' + body);
        row("18 over 11 is level 1", QList<Line>{{"Title", 18}} + text,
            {Block::heading(1, "Title"), paragraph});
        row("13 over 10 is level 2", QList<Line>{{"Part", 13}} + small,
            {Block::heading(2, "Part"), smallParagraph});
        row("12 over 10 is level 3", QList<Line>{{"Part", 12}} + small,
            {Block::heading(3, "Part"), smallParagraph});
        row("a long large line is text", QList<Line>{{QString(120, 'x'), 18}} + text,
            {Block::paragraph(QString(120, 'x') + ' ' + paragraph.text)});
        row("bold word is level 3", QList<Line>{{"Overview", 11, true}} + text,
            {Block::heading(3, "Overview"), paragraph});
        // Short and ending a sentence.
        row("bold sentence is text", QList<Line>{{"Overview.", 11, true}} + text,
            {Block::paragraph("Overview."), paragraph});
        row("bold 70 characters is text", QList<Line>{{QString(70, 'b'), 11, true}} + text,
            {Block::paragraph(QString(70, 'b') + ' ' + paragraph.text)});
        row("bold inside a paragraph is text", {{body}, {"Overview", 11, true}, {body}},
            {Block::paragraph(body + " Overview " + body)});
        row("paragraphs and bullets",
            {{"The path ran through the wood-"},
             {"land and on."},
             {body},
             {"• First item"},
             {"*\u00a0Starred"},
             {"– Dashed"},
             {"-x is no bullet"},
             {body + '.'},
             {"  "},
             {"Closing line"}},
            {Block::paragraph("The path ran through the woodland and on."), Block::paragraph(body),
             Block::bullet("First item"), Block::bullet("Starred"), Block::bullet("Dashed"),
             Block::paragraph("-x is no bullet " + body + '.'), Block::paragraph("Closing line")});
        // CR LF leaves an empty line, so the body line starts two separators after the title. Text
        // without fonts (recognised or plain) never gives headings.
        QTest::newRow("pages and line offsets")
            << QList<PageEntry>{{"Title\r\nBody text on a line of its own",
                                 QList<PDFEngine::FontRun>{{0, 7, 18, false}, {7, 37, 11, false}}},
                                page({}),
                                {"• Item\nLarge title", std::nullopt}}
            << QList<Block>{Block::heading(1, "Title"), Block::paragraph("Body text on a line of its own"),
                            Block::pageBreak(),         Block::pageBreak(),
                            Block::bullet("Item"),      Block::paragraph("Large title")};
    }
    void blocks()
    {
        QFETCH(QList<PageEntry>, pages);
        QTEST(PDFEngine::blocks(pages), "blocks");
    }

    // Of two sizes with as many characters the smaller wins; sizes count by whole points; text
    // without a font counts as 12.
    void bodySize()
    {
        QCOMPARE(PDFEngine::bodySize({page({{"abc", 10}, {"abcd", 14}})}), 10.0);
        QCOMPARE(PDFEngine::bodySize({page({{"abc", 10.4}, {"abc", 9.6}, {"abcdef", 11.4}})}), 10.0);
        QCOMPARE(PDFEngine::bodySize({PageEntry{"plain", std::nullopt}}), 12.0);
        QCOMPARE(
            PDFEngine::bodySize({PageEntry{"unfonted text", QList<PDFEngine::FontRun>{{0, 2, 9, false}}}}),
            12.0);
    }

    // Lists open and close around their items; markup is escaped only in HTML; a list item's
    // glyph hangs before its text, and nothing of the document's old text stays.
    void writers()
    {
        const QList<Block> blocks{Block::heading(1, "Title"),      Block::paragraph("First"),
                                  Block::bullet("Salt & pepper"),  Block::bullet("Two"),
                                  Block::paragraph("Right after"), Block::pageBreak(),
                                  Block::paragraph("Second")};
        QCOMPARE(PDFEngine::markdown(blocks),
                 QString("# Title\n\nFirst\n\n- Salt & pepper\n- Two\n\nRight after\n\nSecond\n"));
        QCOMPARE(PDFEngine::html(blocks),
                 QString("<h1>Title</h1>\n<p>First</p>\n<ul>\n<li>Salt &amp; pepper</li>\n"
                         "<li>Two</li>\n</ul>\n<p>Right after</p>\n<p>Second</p>\n"));
        QTextDocument document;
        document.setPlainText("left over");
        PDFEngine::attributed(blocks, document);
        QCOMPARE(document.toPlainText(),
                 QString("Title\nFirst\n•\tSalt & pepper\n•\tTwo\nRight after\n\nSecond"));
        const QTextBlockFormat item = document.begin().next().next().blockFormat();
        QCOMPARE(item.leftMargin() + item.textIndent(), 12.0); // the glyph
        QCOMPARE(item.leftMargin(), 24.0);                     // the text and its wrapped lines
    }
};

QTEST_MAIN(PdfTextTest)
#include "test_pdftext.moc"
