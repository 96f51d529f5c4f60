#include "engines/document/markdownfrom.h"
#include "engines/text/markdown.h"

#include <QTextDocument>
#include <QtTest>

class MarkdownTest : public QObject
{
    Q_OBJECT
  private slots:
    void html_data()
    {
        QTest::addColumn<QString>("markdown");
        QTest::addColumn<QString>("html");
        const char* const cases[][3] = {
            {"heading", "# Title", "<h1>Title</h1>"},
            {"closing hashes", "### Notes ###", "<h3>Notes</h3>"},
            {"seven hashes", "####### x", "<p>####### x</p>"},
            {"hash word", "#word", "<p>#word</p>"},
            {"joined lines", "a\r\nb", "<p>a b</p>"},
            {"two paragraphs", "a\n\nb", "<p>a</p>\n<p>b</p>"},
            {"rules", "* * *\n___", "<hr/>\n<hr/>"},
            {"rule ends paragraph", "Text\n---", "<p>Text</p>\n<hr/>"},
            {"dash item", "- - x", "<ul><li>- x</li></ul>"},
            {"tasks", "- [x] done\n- [ ] todo", "<ul><li>☑ done</li><li>☐ todo</li></ul>"},
            {"ordered keeps brackets", "1. [x] done", "<ol><li>[x] done</li></ol>"},
            {"continued item", "- a\n  continued", "<ul><li>a continued</li></ul>"},
            {"kind change", "- a\n1. b", "<ul><li>a</li></ul>\n<ol><li>b</li></ol>"},
            {"blank splits list", "- a\n\n- b", "<ul><li>a</li></ul>\n<ul><li>b</li></ul>"},
            {"table", "| A | B |\n|:--|--:|\n| 1 | 2 |\nafter",
             "<table><tr><th>A</th><th>B</th></tr><tr><td>1</td><td>2</td></tr></table>\n<p>after</p>"},
            {"pipe without separator", "| a | b\ntext", "<p>| a | b text</p>"},
            {"code span escaped once", "`a<b` & `**x**`",
             "<p><code>a&lt;b</code> &amp; <code>**x**</code></p>"},
            {"underscores", "snake_case_name and _word_", "<p>snake_case_name and <em>word</em></p>"},
            {"stars kept", "2 * 3 * 4", "<p>2 * 3 * 4</p>"},
            {"marks", "**b** *i* ~~s~~ __u__",
             "<p><strong>b</strong> <em>i</em> <del>s</del> <strong>u</strong></p>"},
            {"image title dropped", "![alt](pic.png \"Title\")", "<p><img alt=\"alt\" src=\"pic.png\"/></p>"},
            {"link ampersand", "[x](http://a?b=1&c=2)", "<p><a href=\"http://a?b=1&amp;c=2\">x</a></p>"},
            {"fence", "~~~py\n  x = 1 < 2\n~~~\nafter",
             "<pre><code>  x = 1 &lt; 2</code></pre>\n<p>after</p>"},
            {"unclosed fence", "```\ncode\n\n# not a heading",
             "<pre><code>code\n\n# not a heading</code></pre>"},
            {"escapes", "\\# \\*a\\* \\\\ \\q `\\*`", "<p># *a* \\ \\q <code>\\*</code></p>"},
            {"nested quote", "> a\n> > b\nc",
             "<blockquote><p>a</p>\n<blockquote><p>b</p></blockquote></blockquote>\n<p>c</p>"},
        };
        for (const auto& [name, markdown, html] : cases)
            QTest::newRow(name) << QString(markdown) << QString(html);
        // Placeholder characters the text itself holds stay as they are, even when a code span
        // of that number exists.
        const QString mark(QChar(0xE000));
        QTest::newRow("stray placeholder")
            << mark + "9" + mark + " `c` " + mark + "0" + mark
            << "<p>" + mark + "9" + mark + " <code>c</code> " + mark + "0" + mark + "</p>";
    }

    void html()
    {
        QFETCH(QString, markdown);
        QFETCH(QString, html);
        QCOMPARE(Markdown::html(markdown), html);
    }

    // Quotes nest as deep as a line has ">" marks, up to a bound; the rest stays text.
    void deepQuotes()
    {
        const QString html = Markdown::html(QString(">").repeated(100000) + " deep");
        QCOMPARE(html.count("<blockquote>"), 32);
        QVERIFY(html.endsWith(QString("&gt;").repeated(100000 - 32) + " deep</p>" +
                              QString("</blockquote>").repeated(32)));
    }

    void fromDocument()
    {
        QTextDocument document;
        document.setDefaultFont(QFont("DejaVu Sans", 14));
        document.setHtml("<p style='font-size:28pt'>Big</p>"
                         "<p>Body text that is long enough to set the body size of this document.</p>"
                         "<p style='font-size:16pt'><b>Bold sub</b></p>"
                         "<p style='font-size:16pt'>Not bold</p>"
                         "<ul><li>one</li></ul><ol><li>two</li></ol>"
                         "<p><br/></p><p><br/></p><p><br/></p>"
                         "<p>• typed</p>"
                         "<p>plain <b>bold </b><i>it</i> <b><i>both</i></b> <a href='http://x'>link</a></p>");
        QCOMPARE(Markdown::from(document),
                 "# Big\n\n"
                 "Body text that is long enough to set the body size of this document.\n\n"
                 "### Bold sub\n\n"
                 "Not bold\n\n- one\n1. two\n\n- typed\n\n"
                 "plain **bold** *it* ***both*** [link](http://x)\n");

        // A page styled in pixels: headings come from their level, not from their size.
        document.setHtml("<html><head><style>body{font-size:16px}</style></head><body><p><br/></p>"
                         "<h1>Head</h1><p>text</p><h2>Sub</h2></body></html>");
        QCOMPARE(Markdown::from(document), "# Head\n\ntext\n\n## Sub\n");

        // Text that opens with a block marker stays text when read back; marks of ours don't
        // count. Table cells are blocks of their own.
        document.setHtml("<p>-42</p><p># 5 left</p><p>1. not a list</p><p>&gt; said</p><p>- real</p>"
                         "<p><b>-3</b> bold</p><table><tr><td>-7</td><td>+1</td></tr></table>");
        const QString markdown = Markdown::from(document);
        QCOMPARE(markdown, "\\-42\n\n\\# 5 left\n\n1\\. not a list\n\n\\> said\n\n- real\n\n"
                           "**-3** bold\n\n\\-7\n\n\\+1\n");
        QCOMPARE(Markdown::html(markdown), "<p>-42</p>\n<p># 5 left</p>\n<p>1. not a list</p>\n"
                                           "<p>&gt; said</p>\n<ul><li>real</li></ul>\n"
                                           "<p><strong>-3</strong> bold</p>\n<p>-7</p>\n<p>+1</p>");

        QCOMPARE(Markdown::from(QTextDocument()), "\n");
    }
};

QTEST_MAIN(MarkdownTest)
#include "test_markdown.moc"
