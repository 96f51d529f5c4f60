#include "engines/document/clipping.h"
#include "engines/document/fontsize.h"
#include "engines/document/propertylist.h"
#include "engines/document/reader.h"
#include "engines/document/rtftext.h"
#include "engines/document/textdecoding.h"

#include "../../support/enginefixtures_a.h"

#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>

namespace {

// Binary property lists as the system's writer makes them: a clipping holding UTF-8 text with an
// accent (kept as UTF-16 by that writer) and RTF, and {"UTI-Data": {"public.utf16-plain-text":
// "UTF-16 only"}}.
const QByteArray binaryClipping = QByteArray::fromBase64(
    "YnBsaXN0MDDRAQJYVVRJLURhdGHSAwQFBlpwdWJsaWMucnRmXxAWcHVibGljLnV0ZjgtcGxhaW4tdGV4dE17XHJ0ZjEgb3Ro"
    "ZXJ9bxAXAEMAbABpAHAAcABlAGQAIADpACAAdABlAHgAdAAKAGwAaQBuAGUAIAB0AHcAbwgLFBkkPUsAAAAAAAABAQAAAAAA"
    "AAAHAAAAAAAAAAAAAAAAAAAAfA==");
const QByteArray binaryUtf16Clipping = QByteArray::fromBase64(
    "YnBsaXN0MDDRAQJYVVRJLURhdGHRAwRfEBdwdWJsaWMudXRmMTYtcGxhaW4tdGV4dFtVVEYtMTYgb25seQgLFBcxAAAAAAAA"
    "AQEAAAAAAAAABQAAAAAAAAAAAAAAAAAAAD0=");

QByteArray xmlClipping(const QByteArray& entries)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist "
           "version=\"1.0\"><dict><key>UTI-Data</key><dict>" +
           entries + "</dict></dict></plist>";
}

} // namespace

using namespace Fixture;

class DocReaderTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString file(const QString& name, const QByteArray& bytes)
    {
        if (!write(m_dir.filePath(name), bytes)) qFatal("can't write %s", qPrintable(name));
        return m_dir.filePath(name);
    }

  private slots:
    void encodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("html");
        QTest::addColumn<QString>("text");
        const QString russian = "Съешь же ещё этих мягких французских булок, да выпей чаю.";
        QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBFna\xC3\xAFve") << false << "naïve";
        QTest::newRow("UTF-16 mark") << QByteArray("\xFF\xFEh\0i\0", 6) << false << "hi";
        QTest::newRow("UTF-8") << QString("ünï 😀").toUtf8() << false << "ünï 😀";
        QTest::newRow("meta charset")
            << QByteArray("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">") +
                   QByteArray(QStringEncoder("windows-1251").encode("Привет"))
            << true << "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">Привет";
        QTest::newRow("detected KOI8-R")
            << QByteArray(QStringEncoder("koi8-r").encode(russian)) << false << russian;
        QTest::newRow("detected Shift_JIS")
            << QByteArray(QStringEncoder("shift_jis")
                              .encode("これは日本語のテキストです。文字コードの判定をテストしています。"))
            << false << "これは日本語のテキストです。文字コードの判定をテストしています。";
        QTest::newRow("Windows-1252 names") << QByteArray("Liste: Zo\xEB, Chlo\xE9, No\xEBl, Ana\xEFs")
                                            << false << "Liste: Zoë, Chloé, Noël, Anaïs";
        // Valid UTF-8 up to its last byte, which would begin a sequence.
        QTest::newRow("Windows-1252 ending in a letter") << QByteArray("Chez Zo\xEB") << false << "Chez Zoë";
        QTest::newRow("Windows-1253 Greek")
            << QByteArray(QStringEncoder("windows-1253").encode("«Άννα» – είπε…")) << false
            << "«Άννα» – είπε…";
        QTest::newRow("Windows-1252 quotes")
            << QByteArray("\x93Quoted\x94 text \x97 with dashes and caf\xE9.") << false
            << "“Quoted” text — with dashes and café.";
    }

    void encodings()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, html);
        QFETCH(QString, text);
        QCOMPARE(Doc::decodeText(bytes, html), text);
    }

    // Markdown must be UTF-8; the same Latin-1 bytes read as plain text and as HTML.
    void latin1Sources()
    {
        const QByteArray latin1(
            "Caf\xE9 cr\xE8me br\xFBl\xE9\x65, na\xEFve fa\xE7\x61\x64\x65 et les \xE9l\xE8ves.");
        QCOMPARE(failure([&] { Doc::read(file("a.md", latin1), "md", nullptr); }).message(),
                 QString("Couldn’t read “a.md”: it isn’t UTF-8 text"));
        const QString expected = "Café crème brûlée, naïve façade et les élèves.";
        QCOMPARE(Doc::read(file("a.txt", latin1), "txt", nullptr).text->toPlainText(), expected);
        QCOMPARE(Doc::read(file("a.html", latin1), "html", nullptr).text->toPlainText(), expected);
    }

    void plainTextLineEnds()
    {
        for (const QByteArray bytes : {"one\r\ntwo\r\n\r\nthree", "one\rtwo\r\rthree"}) {
            const Doc::ReadResult read = Doc::read(file("ends.txt", bytes), "txt", nullptr);
            QCOMPARE(read.text->toRawText().split(QChar::ParagraphSeparator).join('|'), "one|two||three");
            QVERIFY(!read.html);
        }
        QCOMPARE(Doc::read(file("empty.txt", ""), "txt", nullptr).text->characterCount(), 1);
    }

    // The body of an HTML page, whatever its case and attributes; up to its last end.
    void htmlBody()
    {
        for (const auto& [page, body] :
             {std::pair{"<HTML><BODY class=\"x\" onload=\"f()\"><p>Hi</p></BODY></HTML>", "<p>Hi</p>"},
              {"<body><p>a</p></body><p>b</p></body>", "<p>a</p></body><p>b</p>"},
              {"<p>just <b>this</b></p>", "<p>just <b>this</b></p>"}}) {
            const Doc::ReadResult read = Doc::read(file("page.html", page), "html", nullptr);
            QCOMPARE(read.html.value_or("none"), QString(body));
            QVERIFY(!read.text->toPlainText().isEmpty());
        }
    }

    // The HTML of a Markdown source is its bare fragment; its text comes from the whole page,
    // so the page's styles reach it.
    void markdownSource()
    {
        const Doc::ReadResult read =
            Doc::read(file("notes.md", "# Title\n\nSome `code` here.\n"), "md", nullptr);
        QCOMPARE(read.html.value_or("none"), QString("<h1>Title</h1>\n<p>Some <code>code</code> here.</p>"));
        const QTextBlock paragraph = read.text->begin().next();
        QCOMPARE(paragraph.text(), QString("Some code here."));
        QTextBlock::iterator it = paragraph.begin();
        ++it;
        QCOMPARE(it.fragment().text(), QString("code"));
        QVERIFY(it.fragment().charFormat().fontFamilies().toStringList().contains("Menlo"));
        QCOMPARE(read.text->metaInformation(QTextDocument::DocumentTitle), QString("notes"));
    }

    // Word processors' HTML measures in inches and points, and leaves the body size to the reader.
    void wordProcessorHtml()
    {
        const auto document = Doc::attributed(
            "<style>p.x { margin-bottom: 0.25in }</style>"
            "<p class=\"x\" style=\"margin-top: 0.5in; margin-left: 2.54cm\"><font size=\"3\">plain</font> "
            "<span style=\"font-size: 10.5pt\">small</span></p>");
        const QTextBlock block = document->begin();
        QCOMPARE(block.blockFormat().topMargin(), 48.0);
        QCOMPARE(block.blockFormat().bottomMargin(), 24.0);
        QCOMPARE(block.blockFormat().leftMargin(), 96.0);
        QTextBlock::iterator it = block.begin();
        QCOMPARE(Doc::pointSize(it.fragment().charFormat(), *document), 12.0);
        ++it;
        ++it;
        QCOMPARE(it.fragment().text(), QString("small"));
        QCOMPARE(Doc::pointSize(it.fragment().charFormat(), *document), 10.5);
    }

    void standalonePage()
    {
        const QString page = Doc::standalonePage("a<b & \"c\"", "<p>x</p>");
        QVERIFY(page.contains("<title>a&lt;b &amp; &quot;c&quot;</title>"));
        QVERIFY(page.endsWith("</style></head><body>\n<p>x</p>\n</body></html>"));
    }

    void clippings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        const QString none = "failed: This clipping has no text";
        QTest::newRow("binary, UTF-8 before RTF") << binaryClipping << "Clipped é text\nline two";
        QTest::newRow("binary, UTF-16") << binaryUtf16Clipping << "UTF-16 only";
        QTest::newRow("XML, text as data") << xmlClipping("<key>public.utf8-plain-text</key><data>" +
                                                          QString("Tschüss").toUtf8().toBase64() + "</data>")
                                           << "Tschüss";
        QTest::newRow("XML, RTF only")
            << xmlClipping(
                   "<key>public.rtf</key><data>" +
                   QByteArray("{\\rtf1\\ansi{\\fonttbl\\f0 Helvetica;}\\f0 Caf\\'e9\\par Line}").toBase64() +
                   "</data>")
            << "Café\nLine";
        QTest::newRow("image only") << xmlClipping("<key>public.png</key><data>iVBORw0K</data>") << none;
        QTest::newRow("no property list") << QByteArray("GIF89a garbage") << none;
        QByteArray cycle = binaryUtf16Clipping;
        cycle[22] = '\x02'; // the inner dictionary's value is the dictionary itself
        QTest::newRow("binary with a cycle") << cycle << none;
        QTest::newRow("binary cut short") << binaryClipping.left(100) << none;
    }

    void clippings()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QString got;
        const ConvertError e = failure([&] { got = Doc::clippingText(file("note.textClipping", bytes)); });
        QCOMPARE(got.isEmpty() ? "failed: " + e.message() : got, text);
    }

    void rtf_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        QTest::newRow("groups left out")
            << QByteArray(
                   "{\\rtf1{\\fonttbl{\\f0 Times;}}{\\colortbl;\\red0\\green0\\blue0;}{\\*\\generator x;}"
                   "{\\info{\\title T}}Body}")
            << "Body";
        QTest::newRow("escapes") << QByteArray("{\\rtf1 a\\{b\\}c\\\\d\\tab e\\line f\\~g}")
                                 << "a{b}c\\d\te\nf\u00a0g";
        QTest::newRow("unicode with fallback")
            << QByteArray("{\\rtf1\\uc1 \\u8364?uro \\u-10179?\\u-8704?}") << "€uro 😀";
        QTest::newRow("code page") << QByteArray("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8}") << "При";
        QTest::newRow("field shows its result")
            << QByteArray("{\\rtf1 see {\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt here}}.}")
            << "see here.";
        QTest::newRow("unbalanced") << QByteArray("{\\rtf1 open {\\b bold") << "open bold";
    }

    void rtf()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        QCOMPARE(Doc::rtfText(rtf), text);
    }

    // Shared objects expanded at every use would grow without end; they are refused instead.
    void propertyListBomb()
    {
        // 40 arrays, each holding the next one twice, and an empty one at the end.
        QByteArray bytes("bplist00"), offsets;
        for (int i = 0; i < 40; ++i) {
            offsets += char(bytes.size());
            bytes += QByteArray("\xA2") + char(i + 1) + char(i + 1);
        }
        offsets += char(bytes.size());
        bytes += '\xA0';
        QByteArray trailer(32, '\0');
        trailer[6] = trailer[7] = 1; // one byte per offset and per reference
        trailer[15] = char(offsets.size());
        trailer[31] = char(bytes.size()); // where the offsets start
        QVERIFY(!PropertyList::read(bytes + offsets + trailer));
    }
};

QTEST_MAIN(DocReaderTest)
#include "test_docreader.moc"
