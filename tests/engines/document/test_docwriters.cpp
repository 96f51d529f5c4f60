#include "engines/document/docxwriter.h"
#include "engines/document/htmlwriter.h"
#include "engines/document/pdfwriter.h"
#include "engines/document/pictures.h"
#include "engines/document/plaintext.h"
#include "engines/document/reader.h"

#include "core/zip.h"

#include "../../support/enginefixtures_a.h"

#include <QBuffer>
#include <QDirIterator>
#include <QFontDatabase>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextList>
#include <QTextTable>
#include <QXmlStreamReader>
#include <QtTest>
#include <poppler-qt6.h>

using namespace Fixture;

namespace {

// Every page's size in points, text and text boxes.
struct PdfPages
{
    QList<QSizeF> sizes;
    QStringList texts;
    QList<QRectF> boxes;
    QString title, creator;
};

PdfPages readPdf(const QString& path)
{
    PdfPages pages;
    const std::unique_ptr<Poppler::Document> pdf = Poppler::Document::load(path);
    if (!pdf) return pages;
    pages.title = pdf->info("Title");
    pages.creator = pdf->info("Creator");
    for (int i = 0; i < pdf->numPages(); ++i) {
        const std::unique_ptr<Poppler::Page> page = pdf->page(i);
        pages.sizes << page->pageSizeF();
        pages.texts << page->text(QRectF());
        for (const auto& box : page->textList())
            pages.boxes << box->boundingBox();
    }
    return pages;
}

// A document with every kind of thing the writer knows, as a word processor's HTML gives it.
std::unique_ptr<QTextDocument> richDocument()
{
    QImage picture(40, 20, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return Doc::attributed(
        "<h1>Title &amp; more</h1>"
        "<p>Plain <b>bold</b> <i>italic</i> <u>under</u> <s>struck</s> <span "
        "style=\"color:#ff0000\">red</span> "
        "<span style=\"font-size:20pt; font-family:'DejaVu Serif'\">big</span> x<sup>2</sup></p>"
        "<p align=\"center\">Centred</p>"
        "<ul><li>one</li><li>two</li></ul><ol><li>first</li></ol>"
        "<table border=\"1\"><tr><td colspan=\"2\">wide</td></tr><tr><td>a</td><td>b</td></tr></table>"
        "<p><a href=\"https://example.org/a b?x=1&amp;y=2\">link</a> and <a href=\"#top\">inside</a></p>"
        "<p><img src=\"data:image/png;base64," +
        QString::fromLatin1(png.toBase64()) + "\" width=\"100\"></p>");
}

} // namespace

class DocWritersTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QLocale m_locale;
    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase() { m_locale = QLocale(); }
    void cleanup() { QLocale::setDefault(m_locale); }

    // The paper follows the region, not the language; an empty document is one page.
    void pageSizeFollowsRegion_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QSizeF>("size");
        QTest::newRow("en_GB") << QLocale(QLocale::English, QLocale::UnitedKingdom) << QSizeF(595, 842);
        QTest::newRow("fr_CA") << QLocale(QLocale::French, QLocale::Canada) << QSizeF(612, 792);
        QTest::newRow("C") << QLocale::c() << QSizeF(612, 792);
    }
    void pageSizeFollowsRegion()
    {
        QFETCH(QLocale, locale);
        QFETCH(QSizeF, size);
        QLocale::setDefault(locale);
        QTextDocument empty;
        Doc::writePDF(empty, path("empty.pdf"), std::nullopt);
        const PdfPages pdf = readPdf(path("empty.pdf"));
        QCOMPARE(pdf.sizes, QList<QSizeF>{size});
        QCOMPARE(pdf.creator + "|" + pdf.title, QString("Tolvane|"));
    }

    // Every line lands on exactly one page, inside the margins, at the size it was given. The
    // face is loaded from its file, so that no installed font can stand in for it.
    void pagesKeepEveryLine()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const int face = QFontDatabase::addApplicationFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
        QVERIFY2(face >= 0, "DejaVu Sans is not installed");
        // Short lines, then paragraphs of many lines, each word its own, that pages break inside.
        QString text;
        for (int i = 1; i <= 150; ++i)
            text += QString("Line %1 of the text\n").arg(i);
        // Over a hundred pages: pages that drift from the layout's by a hair each show it there.
        int words = 0;
        for (int i = 1; i <= 700; ++i) {
            for (int w = 1; w <= 10 + i * 7 % 90; ++w, ++words)
                text += QString("p%1w%2 ").arg(i).arg(w);
            text += "\n";
        }
        const auto document = Doc::plainAttributed(text);
        QTextCharFormat family;
        family.setFontFamilies(QFontDatabase::applicationFontFamilies(face));
        QTextCursor cursor(document.get());
        cursor.select(QTextCursor::Document);
        cursor.mergeCharFormat(family);
        Doc::writePDF(*document, path("lines.pdf"), QString("Lines <1>"));
        const PdfPages pdf = readPdf(path("lines.pdf"));
        QVERIFY(pdf.sizes.size() > 100);
        QCOMPARE(pdf.title, QString("Lines <1>"));
        const QString all = pdf.texts.join('\n');
        for (int i = 1; i <= 150; ++i)
            QVERIFY2(all.count(QString("Line %1 of").arg(i)) == 1, qPrintable(QString::number(i)));
        QStringList found = all.simplified().split(' ').filter(QRegularExpression("^p\\d+w\\d+$"));
        const qsizetype count = found.size();
        found.removeDuplicates();
        QCOMPARE(count, found.size());
        QCOMPARE(found.size(), words);
        for (const QRectF& box : pdf.boxes) {
            const QString where =
                QString("%1,%2 %3x%4").arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height());
            QVERIFY2(box.left() >= 63 && box.top() >= 63 && box.bottom() <= 792 - 63 &&
                         box.right() <= 612 - 63,
                     qPrintable(where));
            // 12 pt type: its boxes are as high as 12 pt text, not 9 or 16.
            QVERIFY2(box.height() > 10.5 && box.height() < 15, qPrintable(where));
        }
        QVERIFY(pdf.boxes.first().left() < 66);
    }

    // The title is ours and escaped, the document's own title (written unescaped by the
    // exporter) is gone, and pictures travel inside the page.
    void htmlTitleAndPictures()
    {
        QTextDocument document;
        document.setHtml("<html><head><title>x<y & z</title></head><body><p>Hi <img src=\"pic\"></p><ol><li "
                         "style=\"margin-top:30px; font-size:20pt\">big</li></ol></body></html>");
        QImage picture(8, 4, QImage::Format_RGB32);
        picture.fill(Qt::red);
        document.addResource(QTextDocument::ImageResource, QUrl("pic"), picture);
        Doc::writeHTML(document, "a<b & \"c\"", path("page.html"));
        const QString html = read(path("page.html"));
        QCOMPARE(html.count("<title>"), 1);
        // A list item has one style, holding both its paragraph's and its characters' formats.
        const QString item = html.section("<li ", 1).section('>', 0, 0);
        QVERIFY2(item.count("style=") == 1 && item.contains("margin-top:30px") &&
                     item.contains("font-size:20pt"),
                 qPrintable(item));
        QVERIFY(html.contains("<head><title>a&lt;b &amp; &quot;c&quot;</title>"));
        const QString data = html.section("src=\"data:image/png;base64,", 1).section('"', 0, 0);
        const QImage embedded = QImage::fromData(QByteArray::fromBase64(data.toLatin1()));
        QCOMPARE(embedded.size(), QSize(8, 4));
        QCOMPARE(embedded.pixelColor(3, 2), QColor(Qt::red));
    }

    // No-break spaces stay, table cells each get a line, pictures leave nothing.
    void plainString()
    {
        QTextDocument document;
        document.setHtml(
            "<p>no&nbsp;break</p><table><tr><td>a</td><td>b</td></tr></table><p>x<img src=\"none\">y</p>");
        const QString plain = Doc::plainString(document);
        QVERIFY2(plain.startsWith(QString("no\u00a0break\n")) && plain.contains("a\nb\n") &&
                     plain.endsWith("xy"),
                 qPrintable(plain));
    }

    // Every part is well-formed XML and holds what the document had.
    void docxParts()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        Doc::writeDOCX(*richDocument(), path("rich.docx"));
        QLocale::setDefault(QLocale::c());
        const ScratchFolder unpacked = Zip::extract(path("rich.docx"));
        QDirIterator it(unpacked.path(), {"*.xml", "*.rels"}, QDir::Files | QDir::Hidden,
                        QDirIterator::Subdirectories);
        int parts = 0;
        while (it.hasNext()) {
            QXmlStreamReader xml(read(it.next()));
            while (!xml.atEnd())
                xml.readNext();
            QVERIFY2(!xml.hasError(), qPrintable(it.filePath() + ": " + xml.errorString()));
            ++parts;
        }
        QCOMPARE(parts, 8);

        // What the read-back below doesn't see: the region's A4 paper among them.
        const QString document = read(unpacked.file("word/document.xml"));
        // clang-format off
        for (const char* expected : {"<w:i/>", "<w:u w:val=\"single\"/>", "<w:strike/>", "<w:sz w:val=\"40\"/>",
                 "w:ascii=\"DejaVu Serif\"", "<w:vertAlign w:val=\"superscript\"/>", "<w:jc w:val=\"center\"/>",
                 "<w:tblBorders>", "<w:hyperlink w:anchor=\"top\">", "<wp:extent cx=\"952500\" cy=\"476250\"/>",
                 "<w:pgSz w:w=\"11900\" w:h=\"16840\"/>"})
            QVERIFY2(document.contains(expected), expected);
        // clang-format on
    }

    // What a word processor reads back: the same text, and the same structure.
    void docxReadByLibreOffice()
    {
        if (!Shell::find("soffice")) QSKIP("LibreOffice is not installed");
        const QString source = "Plain, bold and italic: ünï 😀 & <tags> \"quoted\"\n"
                               "A tab\there and a no\u00a0break space\n"
                               "\n"
                               "Last line";
        auto plain = Doc::plainAttributed(source);
        QTextCursor cursor(plain.get());
        cursor.setPosition(7);
        cursor.setPosition(11, QTextCursor::KeepAnchor);
        QTextCharFormat strong;
        strong.setFontWeight(QFont::Bold);
        cursor.mergeCharFormat(strong);
        Doc::writeDOCX(*plain, path("plain.docx"));
        QCOMPARE(soffice(path("plain.docx"), "txt:Text (encoded):UTF8,LF,,,", path("txt")), 0);
        QCOMPARE(read(path("txt/plain.txt")).remove(QChar(0xFEFF)).chopped(1), source);

        Doc::writeDOCX(*richDocument(), path("rich.docx"));
        const auto back = Doc::read(path("rich.docx"), "docx", nullptr).text;
        QTextBlock block = back->begin();
        QCOMPARE(block.blockFormat().headingLevel(), 1);
        QCOMPARE(block.text(), QString("Title & more"));
        QStringList found; // what came back as it should
        QTextTable* table = nullptr;
        for (; block.isValid(); block = block.next()) {
            if (const QTextList* list = block.textList()) {
                const auto style = list->format().style();
                found << block.text().trimmed() + (style == QTextListFormat::ListDisc      ? " bullet"
                                                   : style == QTextListFormat::ListDecimal ? " number"
                                                                                           : "");
            }
            if (!table) table = QTextCursor(block).currentTable();
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat f = it.fragment().charFormat();
                if (it.fragment().text() == "bold" && f.fontWeight() >= QFont::Bold) found << "bold";
                if (it.fragment().text() == "red" && f.foreground().color() == QColor(Qt::red))
                    found << "red";
                if (f.anchorHref() == "https://example.org/a%20b?x=1&y=2") found << "link";
                const auto held =
                    f.isImageFormat() ? Doc::picture(*back, f.toImageFormat().name()) : std::nullopt;
                const QImage image = held ? QImage::fromData(held->bytes) : QImage();
                if (image.size() == QSize(40, 20) && image.pixelColor(5, 5) == QColor(Qt::red))
                    found << "picture";
            }
        }
        for (const QString expected : {"bold", "red", "link", "picture", "one bullet", "first number"})
            QVERIFY2(found.contains(expected), qPrintable(expected + " in " + found.join(", ")));
        QVERIFY(table);
        QCOMPARE(table->rows(), 2);
        QCOMPARE(table->cellAt(0, 0).columnSpan(), 2);
        QCOMPARE(table->cellAt(1, 1).firstCursorPosition().block().text().trimmed(), QString("b"));
    }
};

QTEST_MAIN(DocWritersTest)
#include "test_docwriters.moc"
