#include "engines/document/clipping.h"
#include "engines/document/flatodf.h"
#include "engines/document/fontsize.h"
#include "engines/document/propertylist.h"
#include "engines/document/reader.h"
#include "engines/document/rtftext.h"
#include "engines/document/textdecoding.h"

#include "../../support/enginefixtures_a.h"

#include <QTemporaryDir>
#include <QTextBlock>
#include <QXmlStreamReader>
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

// A flat OpenDocument text as LibreOffice saves one: list styles with and without numbers, a
// change list with an insertion c1 and deletions c2 (marked by its ends in the text) and c3
// (whose words only the list holds), then `body`.
QByteArray flatText(const QByteArray& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document "
           "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
           "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
           "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
           "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
           "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\"><office:automatic-styles>"
           "<text:list-style style:name=\"Plain\"><text:list-level-style-number text:level=\"1\" "
           "style:num-format=\"\"/><text:list-level-style-number text:level=\"2\" style:num-format=\"\"/>"
           "</text:list-style><text:list-style style:name=\"Numbered\"><text:list-level-style-number "
           "text:level=\"1\" style:num-format=\"1\" style:num-suffix=\".\"/></text:list-style>"
           "</office:automatic-styles><office:body><office:text><text:tracked-changes>"
           "<text:changed-region text:id=\"c1\"><text:insertion/></text:changed-region>"
           "<text:changed-region text:id=\"c2\"><text:deletion/></text:changed-region>"
           "<text:changed-region text:id=\"c3\"><text:deletion><text:p>$500 </text:p></text:deletion>"
           "</text:changed-region></text:tracked-changes>" +
           body + "</office:text></office:body></office:document>";
}

QByteArray picture(const char* anchor)
{
    return QByteArray("<draw:frame text:anchor-type=\"") + anchor +
           "\" svg:x=\"1cm\" svg:y=\"0cm\"><draw:image/></draw:frame>";
}

// The body's blocks in short: H(…) a heading, P(…) a paragraph, L[…] a list, * a picture with
// its anchor.
QString blocks(const QByteArray& flat)
{
    QXmlStreamReader xml(flat);
    QString out;
    bool body = false;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        const QStringView name = xml.qualifiedName();
        if (token == QXmlStreamReader::StartElement) {
            if (name == u"office:text") body = true;
            if (!body) continue;
            if (name == u"text:h") out += "H(";
            if (name == u"text:p") out += "P(";
            if (name == u"text:list") out += "L[";
            if (name == u"draw:frame")
                out += "*" + xml.attributes().value("text:anchor-type").toString() +
                       (xml.attributes().hasAttribute("svg:x") ? "@x" : "");
        } else if (token == QXmlStreamReader::EndElement && body) {
            if (name == u"text:h" || name == u"text:p") out += ")";
            if (name == u"text:list") out += "]";
        } else if (token == QXmlStreamReader::Characters && body) {
            out += xml.text();
        }
    }
    return xml.hasError() ? "error: " + xml.errorString() : out;
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

    // What LibreOffice's HTML would show wrongly is settled in the flat document before.
    void settledFlatText_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("blocks");
        QTest::newRow("changes accepted")
            << QByteArray("<text:p>The buyer pays <text:change-start text:change-id=\"c1\"/>$900 "
                          "<text:change-end text:change-id=\"c1\"/><text:change-start text:change-id=\"c2\"/>"
                          "<text:span>$500 </text:span><text:change-end text:change-id=\"c2\"/>on delivery."
                          "</text:p><text:p>Once <text:change text:change-id=\"c3\"/>more.</text:p>")
            << "P(The buyer pays $900 on delivery.)P(Once more.)";
        QTest::newRow("deletion over two paragraph ends")
            << QByteArray("<text:p>Keep <text:span>this<text:change-start text:change-id=\"c2\"/> "
                          "not</text:span> that.</text:p><text:p>Gone.</text:p><text:h>Also <text:change-end "
                          "text:change-id=\"c2\"/>and the rest.</text:h><text:p>Next.</text:p>")
            << "P(Keep thisand the rest.)P(Next.)";
        QTest::newRow("deletion from a paragraph into a list")
            << QByteArray(
                   "<text:p>A<text:change-start text:change-id=\"c2\"/>x</text:p><text:list><text:list-item>"
                   "<text:p>y<text:change-end text:change-id=\"c2\"/>B</text:p><text:p>C</text:p>"
                   "</text:list-item></text:list><text:p>D</text:p>")
            << "P(AB)P(C)P(D)";
        QTest::newRow("headings out of lists without labels")
            << QByteArray(
                   "<text:list text:style-name=\"Plain\"><text:list-item><text:h>Terms</text:h>"
                   "<text:list><text:list-item><text:h>Payment</text:h></text:list-item></text:list>"
                   "</text:list-item></text:list><text:list "
                   "text:style-name=\"Plain\"><text:list-item><text:list>"
                   "<text:list-item><text:h>Details</text:h></text:list-item></text:list></text:list-item></"
                   "text:list>"
                   "<text:list text:style-name=\"Numbered\"><text:list-item>"
                   "<text:h>One</text:h></text:list-item></text:list><text:list text:style-name=\"Plain\">"
                   "<text:list-item><text:p>item</text:p></text:list-item></text:list>")
            << "H(Terms)H(Payment)H(Details)L[H(One)]L[P(item)]";
        QTest::newRow("floating pictures set apart")
            << QByteArray("<text:p>Invoice" + picture("paragraph") +
                          " number follows.</text:p><text:h>The board" + "<text:span>" + picture("char") +
                          "</text:span> approved.</text:h><text:p>An " + picture("as-char") +
                          " icon.</text:p>")
            << "P(*as-char)P(Invoice number follows.)P(*as-char)H(The board approved.)P(An *as-char@x icon.)";
    }

    void settledFlatText()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, blocks);
        QCOMPARE(::blocks(FlatOdf::settled(flatText(body))), blocks);
        QCOMPARE(failure([] { FlatOdf::settled("<office:document><text:p>"); }).message().left(32),
                 QString("LibreOffice couldn’t convert the"));
        QCOMPARE(
            failure([] { FlatOdf::settled(flatText(QByteArray("<text:span>").repeated(5000))); }).message(),
            QString("This document is nested too deeply to convert"));
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
