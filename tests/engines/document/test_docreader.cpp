#include "engines/document/clipping.h"
#include "engines/document/fontsize.h"
#include "engines/document/propertylist.h"
#include "engines/document/reader.h"
#include "engines/document/rtftext.h"
#include "engines/document/textdecoding.h"

#include "core/converterror.h"

#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>

namespace {

// A binary property list (as the system's writer makes them) of a clipping holding UTF-8 text
// with an accent (kept as UTF-16 by that writer) and RTF.
const QByteArray binaryClipping("\x62\x70\x6c\x69\x73\x74\x30\x30\xd1\x01\x02\x58\x55\x54\x49\x2d\x44\x61\x74"
                                "\x61\xd2\x03\x04\x05\x06\x5a\x70"
                                "\x75\x62\x6c\x69\x63\x2e\x72\x74\x66\x5f\x10\x16\x70\x75\x62\x6c\x69\x63\x2e"
                                "\x75\x74\x66\x38\x2d\x70\x6c\x61"
                                "\x69\x6e\x2d\x74\x65\x78\x74\x4d\x7b\x5c\x72\x74\x66\x31\x20\x6f\x74\x68\x65"
                                "\x72\x7d\x6f\x10\x17\x00\x43\x00"
                                "\x6c\x00\x69\x00\x70\x00\x70\x00\x65\x00\x64\x00\x20\x00\xe9\x00\x20\x00\x74"
                                "\x00\x65\x00\x78\x00\x74\x00\x0a"
                                "\x00\x6c\x00\x69\x00\x6e\x00\x65\x00\x20\x00\x74\x00\x77\x00\x6f\x08\x0b\x14"
                                "\x19\x24\x3d\x4b\x00\x00\x00\x00"
                                "\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x07\x00\x00\x00\x00\x00\x00\x00"
                                "\x00\x00\x00\x00\x00\x00\x00\x00"
                                "\x7c",
                                163);

// {"UTI-Data": {"public.utf16-plain-text": "UTF-16 only"}} in binary form.
const QByteArray binaryUtf16Clipping("\x62\x70\x6c\x69\x73\x74\x30\x30\xd1\x01\x02\x58\x55\x54\x49\x2d\x44"
                                     "\x61\x74\x61\xd1\x03\x04\x5f\x10\x17\x70"
                                     "\x75\x62\x6c\x69\x63\x2e\x75\x74\x66\x31\x36\x2d\x70\x6c\x61\x69\x6e"
                                     "\x2d\x74\x65\x78\x74\x5b\x55\x54\x46\x2d"
                                     "\x31\x36\x20\x6f\x6e\x6c\x79\x08\x0b\x14\x17\x31\x00\x00\x00\x00\x00"
                                     "\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00"
                                     "\x05\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x3d",
                                     98);

QByteArray xmlClipping(const QByteArray& entries)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist "
           "version=\"1.0\"><dict><key>UTI-Data</key><dict>" +
           entries + "</dict></dict></plist>";
}

QStringList blockTexts(const QTextDocument& document)
{
    QStringList texts;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        texts << block.text();
    return texts;
}

} // namespace

class DocReaderTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString file(const QString& name, const QByteArray& bytes)
    {
        QFile f(m_dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("can't write %s", qPrintable(name));
        return f.fileName();
    }

    static QString failure(const std::function<void()>& work)
    {
        try {
            work();
        } catch (const ConvertError& e) {
            return e.description();
        }
        return "no failure";
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
        QCOMPARE(failure([&] { Doc::read(file("a.md", latin1), "md", nullptr); }),
                 QString("Couldn’t read “a.md”: it isn’t UTF-8 text"));
        const QString expected = "Café crème brûlée, naïve façade et les élèves.";
        QCOMPARE(Doc::read(file("a.txt", latin1), "txt", nullptr).text->toPlainText(), expected);
        QCOMPARE(Doc::read(file("a.html", latin1), "html", nullptr).text->toPlainText(), expected);
    }

    void plainTextLineEnds()
    {
        for (const QByteArray& bytes :
             {QByteArray("one\r\ntwo\r\n\r\nthree"), QByteArray("one\rtwo\r\rthree")}) {
            const Doc::ReadResult read = Doc::read(file("ends.txt", bytes), "txt", nullptr);
            QCOMPARE(blockTexts(*read.text), (QStringList{"one", "two", "", "three"}));
            QVERIFY(!read.html);
        }
        QCOMPARE(Doc::read(file("empty.txt", ""), "txt", nullptr).text->characterCount(), 1);
    }

    void htmlBody_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("html");
        QTest::newRow("upper case with attributes")
            << QByteArray("<HTML><BODY class=\"x\" onload=\"f()\"><p>Hi</p></BODY></HTML>") << "<p>Hi</p>";
        QTest::newRow("two ends") << QByteArray("<body><p>a</p></body><p>b</p></body>")
                                  << "<p>a</p></body><p>b</p>";
        QTest::newRow("no body") << QByteArray("<p>just <b>this</b></p>") << "<p>just <b>this</b></p>";
    }

    void htmlBody()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, html);
        const Doc::ReadResult read = Doc::read(file("page.html", page), "html", nullptr);
        QCOMPARE(read.html.value_or("none"), html);
        QVERIFY(!read.text->toPlainText().isEmpty());
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
        QVERIFY(page.startsWith(
            "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>a&lt;b &amp; &quot;c&quot;"
            "</title>\n<style>\nbody{font:16px/1.55 "));
        QVERIFY(page.endsWith("</style></head><body>\n<p>x</p>\n</body></html>"));
        QCOMPARE(Doc::standalonePage("", "").toUtf8().size(), 57 + 478 + 15);
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
        const QString path = file("note.textClipping", bytes);
        QString got;
        try {
            got = Doc::clippingText(path);
        } catch (const ConvertError& e) {
            got = "failed: " + e.description();
        }
        QCOMPARE(got, text);
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
        QByteArray bytes("bplist00");
        QList<qsizetype> offsets;
        for (int i = 0; i < 40; ++i) {
            offsets << bytes.size();
            bytes += char(0xA2);
            bytes += char(i + 1);
            bytes += char(i + 1);
        }
        offsets << bytes.size();
        bytes += char(0xA0);
        const qsizetype table = bytes.size();
        for (qsizetype offset : offsets)
            bytes += char(offset);
        QByteArray trailer(32, '\0');
        trailer[6] = 1;
        trailer[7] = 1;
        trailer[15] = char(offsets.size());
        trailer[31] = char(table);
        QVERIFY(!PropertyList::read(bytes + trailer));
    }
};

QTEST_MAIN(DocReaderTest)
#include "test_docreader.moc"
