#include "engines/pdf/blocks.h"

#include "core/converterror.h"
#include "core/job.h"
#include "engines/pdf/pdfengine.h"

#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

using PDFEngine::Block;
using PDFEngine::PageEntry;

namespace {

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

// A letter-size PDF in real fonts, drawn at 72 dpi so that coordinates and sizes are points.
void writeReport(const QString& path)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::Letter));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(72);
    QPainter p(&writer);
    double y = 80;
    const auto line = [&](const QString& text, double size = 11, bool bold = false) {
        QFont font("DejaVu Sans");
        font.setPointSizeF(size);
        font.setBold(bold);
        p.setFont(font);
        p.drawText(QPointF(60, y), text);
        y += size * 1.5;
    };
    line("Annual Report", 22);
    line("Sales grew in every region this year, and the team shipped the new-");
    line("found product line ahead of plan, with room to spare for next year.");
    line("All is well.");
    line("Key Points", 11, true);
    line("• First item");
    line("• Second item");
    line("Summary", 15);
    line(body);
    writer.newPage();
    y = 80;
    line(body);
    // A scanned page: a picture of text and no text layer.
    writer.newPage();
    QImage scan(1200, 300, QImage::Format_RGB32);
    scan.fill(Qt::white);
    QPainter s(&scan);
    QFont font("DejaVu Sans");
    font.setPixelSize(60);
    s.setFont(font);
    s.drawText(40, 150, "Scanned words");
    s.end();
    p.drawImage(QRectF(60, 60, 480, 120), scan);
}

} // namespace

namespace PDFEngine {
char* toString(const Block& block)
{
    return qstrdup(QString("%1 %2 \"%3\"").arg(int(block.kind)).arg(block.level).arg(block.text).toUtf8());
}
} // namespace PDFEngine

class PdfBlocksTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

  private slots:
    void headingsBySizeAndBoldness_data()
    {
        QTest::addColumn<QList<Line>>("lines");
        QTest::addColumn<QList<Block>>("blocks");
        const QList<Line> text{{body}, {body}, {body}};
        const Block paragraph = Block::paragraph(QStringList{body, body, body}.join(' '));
        QTest::newRow("18 over 11 is level 1")
            << QList<Line>{{"Title", 18}} + text << QList<Block>{Block::heading(1, "Title"), paragraph};
        QTest::newRow("13 over 10 is level 2")
            << QList<Line>{{"Part", 13}} + QList<Line>{{body, 10}, {body, 10}}
            << QList<Block>{Block::heading(2, "Part"), Block::paragraph(body + ' ' + body)};
        QTest::newRow("12 over 10 is level 3")
            << QList<Line>{{"Part", 12}} + QList<Line>{{body, 10}, {body, 10}}
            << QList<Block>{Block::heading(3, "Part"), Block::paragraph(body + ' ' + body)};
        QTest::newRow("a long large line is text")
            << QList<Line>{{QString(120, 'x'), 18}} + text
            << QList<Block>{Block::paragraph(QString(120, 'x') + ' ' + paragraph.text)};
        QTest::newRow("bold word is level 3") << QList<Line>{{"Overview", 11, true}} + text
                                              << QList<Block>{Block::heading(3, "Overview"), paragraph};
        QTest::newRow("bold sentence is text")
            << QList<Line>{{"Overview.", 11, true}} + text
            << QList<Block>{Block::paragraph("Overview."), paragraph}; // short and ending a sentence
        QTest::newRow("bold 70 characters is text")
            << QList<Line>{{QString(70, 'b'), 11, true}} + text
            << QList<Block>{Block::paragraph(QString(70, 'b') + ' ' + paragraph.text)};
        QTest::newRow("bold inside a paragraph is text")
            << QList<Line>{{body}, {"Overview", 11, true}, {body}}
            << QList<Block>{Block::paragraph(body + " Overview " + body)};
    }
    void headingsBySizeAndBoldness()
    {
        QFETCH(QList<Line>, lines);
        QTEST(PDFEngine::blocks({page(lines)}), "blocks");
    }

    void paragraphsAndBullets()
    {
        const PageEntry entry = page({{"The path ran through the wood-"},
                                      {"land and on."},
                                      {body},
                                      {"• First item"},
                                      {"*\u00a0Starred"},
                                      {"– Dashed"},
                                      {"-x is no bullet"},
                                      {body + '.'},
                                      {"  "},
                                      {"Closing line"}});
        QCOMPARE(PDFEngine::blocks({entry}),
                 (QList<Block>{Block::paragraph("The path ran through the woodland and on."),
                               Block::paragraph(body), Block::bullet("First item"), Block::bullet("Starred"),
                               Block::bullet("Dashed"), Block::paragraph("-x is no bullet " + body + '.'),
                               Block::paragraph("Closing line")}));
    }

    void pagesAndLineOffsets()
    {
        // CR LF leaves an empty line, so the body line starts two separators after the title.
        PageEntry crlf{"Title\r\nBody text on a line of its own",
                       QList<PDFEngine::FontRun>{{0, 7, 18, false}, {7, 37, 11, false}}};
        // Text without fonts (recognised or plain) never gives headings.
        const PageEntry plain{"• Item\nLarge title", std::nullopt};
        QCOMPARE(PDFEngine::blocks({crlf, page({}), plain}),
                 (QList<Block>{Block::heading(1, "Title"), Block::paragraph("Body text on a line of its own"),
                               Block::pageBreak(), Block::pageBreak(), Block::bullet("Item"),
                               Block::paragraph("Large title")}));
    }

    void bodySize()
    {
        // Of two sizes with as many characters the smaller wins; text without a font counts as 12.
        QCOMPARE(PDFEngine::bodySize({page({{"abc", 10}, {"abcd", 14}})}), 10.0);
        QCOMPARE(
            PDFEngine::bodySize({PageEntry{"unfonted text", QList<PDFEngine::FontRun>{{0, 2, 9, false}}}}),
            12.0);
        QCOMPARE(PDFEngine::bodySize({PageEntry{"plain", std::nullopt}}), 12.0);
        // Sizes count by whole points.
        QCOMPARE(PDFEngine::bodySize({page({{"abc", 10.4}, {"abc", 9.6}, {"abcdef", 11.4}})}), 10.0);
    }

    void writers()
    {
        const QList<Block> blocks{Block::heading(1, "Title"),      Block::paragraph("First"),
                                  Block::bullet("Salt & pepper"),  Block::bullet("Two"),
                                  Block::paragraph("Right after"), Block::pageBreak(),
                                  Block::paragraph("Second")};
        QCOMPARE(PDFEngine::markdown(blocks),
                 QString("# Title\n\nFirst\n\n- Salt & pepper\n- Two\nRight after\n\nSecond\n"));
        QCOMPARE(PDFEngine::html(blocks),
                 QString("<h1>Title</h1>\n<p>First</p>\n<ul>\n<li>Salt &amp; pepper</li>\n"
                         "<li>Two</li>\n</ul>\n<p>Right after</p>\n<p>Second</p>\n"));
        QCOMPARE(PDFEngine::markdown({}), QString("\n"));
        QCOMPARE(PDFEngine::html({Block::bullet("Last")}), QString("<ul>\n<li>Last</li>\n</ul>\n"));

        QTextDocument document;
        document.setPlainText("left over");
        PDFEngine::attributed(blocks, document);
        QCOMPARE(document.blockCount(), 7);
        QCOMPARE(document.toPlainText(),
                 QString("Title\nFirst\n•\tSalt & pepper\n•\tTwo\nRight after\n\nSecond"));
        const QTextBlock title = document.begin();
        QCOMPARE(title.charFormat().fontWeight(), int(QFont::Bold));
        QCOMPARE(title.charFormat().fontPointSize(), 20.0);
        const QTextBlockFormat item = title.next().next().blockFormat();
        QCOMPARE(item.leftMargin() + item.textIndent(), 12.0); // the glyph hangs
        QCOMPARE(item.leftMargin(), 24.0);                     // the text and its wrapped lines
        PDFEngine::attributed({}, document);
        QVERIFY(document.isEmpty());
    }

    void documentRead()
    {
        const QString pdf = m_dir.filePath("report.pdf");
        writeReport(pdf);
        const auto doc = PDFEngine::open(pdf);
        const PDFEngine::TextLayer layer(pdf);
        Job job({}, {}, 0);
        QList<double> progress;
        const QList<Block> blocks = PDFEngine::blocks(*doc, layer, job, [&](double p) { progress << p; });
        QCOMPARE(progress, (QList<double>{1 / 6.0, 2 / 6.0, 0.5}));
        QCOMPARE(blocks.size(), 11);
        QCOMPARE(
            blocks.mid(0, 10),
            (QList<Block>{Block::heading(1, "Annual Report"),
                          Block::paragraph("Sales grew in every region this year, and the team shipped the "
                                           "newfound product line ahead of plan, with room to spare for next "
                                           "year. All is well."),
                          Block::heading(3, "Key Points"), Block::bullet("First item"),
                          Block::bullet("Second item"), Block::heading(2, "Summary"), Block::paragraph(body),
                          Block::pageBreak(), Block::paragraph(body), Block::pageBreak()}));
        // The scanned page is read by recognition, as text without headings.
        QCOMPARE(blocks.last().kind, Block::Kind::paragraph);
        QVERIFY2(blocks.last().text.contains("Scanned words"), qPrintable(blocks.last().text));

        Job cancelled({}, {}, 0);
        progress.clear();
        try {
            PDFEngine::blocks(*doc, layer, cancelled, [&](double p) {
                progress << p;
                cancelled.cancel();
            });
            QFAIL("the cancelled job finished");
        } catch (const ConvertError& e) {
            QVERIFY(e.isCancelled());
        }
        QCOMPARE(progress.size(), 1); // stopped right after the second page was read
    }
};

QTEST_MAIN(PdfBlocksTest)
#include "test_pdfblocks.moc"
