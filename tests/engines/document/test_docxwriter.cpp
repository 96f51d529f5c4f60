#include "engines/document/docxwriter.h"
#include "engines/document/pictures.h"
#include "engines/document/plaintext.h"
#include "engines/document/reader.h"

#include "core/scratchfolder.h"
#include "core/shell.h"
#include "core/zip.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextList>
#include <QTextTable>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

// A document with every kind of thing the writer knows, as a word processor's HTML gives it.
std::unique_ptr<QTextDocument> richDocument()
{
    auto document = Doc::attributed(
        "<h1>Title &amp; more</h1>"
        "<p>Plain <b>bold</b> <i>italic</i> <u>under</u> <s>struck</s> <span "
        "style=\"color:#ff0000\">red</span> "
        "<span style=\"font-size:20pt; font-family:'DejaVu Serif'\">big</span> x<sup>2</sup></p>"
        "<p align=\"center\">Centred</p>"
        "<ul><li>one</li><li>two</li></ul><ol><li>first</li></ol>"
        "<table border=\"1\"><tr><td colspan=\"2\">wide</td></tr><tr><td>a</td><td>b</td></tr></table>"
        "<p><a href=\"https://example.org/a b?x=1&amp;y=2\">link</a> and <a href=\"#top\">inside</a></p>"
        "<p><img src=\"pic\" width=\"100\"></p>");
    QImage picture(40, 20, QImage::Format_RGB32);
    picture.fill(Qt::red);
    document->addResource(QTextDocument::ImageResource, QUrl("pic"), picture);
    return document;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs LibreOffice on `file`, writing `format` into `out`; its exit status.
int soffice(const QString& file, const QString& format, const QString& out)
{
    const ScratchFolder profile;
    return Shell::run(*Shell::find("soffice"),
                      {"--headless", "--norestore", "--nologo", "--nolockcheck",
                       "-env:UserInstallation=" + QUrl::fromLocalFile(profile.path()).toString(),
                       "--convert-to", format, "--outdir", out, file},
                      std::nullopt, nullptr, {}, std::chrono::minutes(3))
        .status;
}

} // namespace

class DocxWriterTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    // Every part is well-formed XML and holds what the document had.
    void parts()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        Doc::writeDOCX(*richDocument(), path("rich.docx"));
        QLocale::setDefault(QLocale::c());
        const ScratchFolder unpacked = Zip::extract(path("rich.docx"));
        QDirIterator it(unpacked.path(), {"*.xml", "*.rels"}, QDir::Files | QDir::Hidden,
                        QDirIterator::Subdirectories);
        int parts = 0;
        while (it.hasNext()) {
            QXmlStreamReader xml(readAll(it.next()));
            while (!xml.atEnd())
                xml.readNext();
            QVERIFY2(!xml.hasError(), qPrintable(it.filePath() + ": " + xml.errorString()));
            ++parts;
        }
        QCOMPARE(parts, 8);

        const QString document = QString::fromUtf8(readAll(unpacked.file("word/document.xml")));
        for (const char* expected : {"<w:pStyle w:val=\"Heading1\"/>",
                                     "Title &amp; more</w:t>",
                                     "<w:b/>",
                                     "<w:i/>",
                                     "<w:u w:val=\"single\"/>",
                                     "<w:strike/>",
                                     "<w:color w:val=\"FF0000\"/>",
                                     "<w:sz w:val=\"40\"/>",
                                     "w:ascii=\"DejaVu Serif\"",
                                     "<w:vertAlign w:val=\"superscript\"/>",
                                     "<w:jc w:val=\"center\"/>",
                                     "<w:numId w:val=\"1\"/>",
                                     "<w:numId w:val=\"2\"/>",
                                     "<w:gridSpan w:val=\"2\"/>",
                                     "<w:tblBorders>",
                                     "<w:hyperlink r:id=\"rLink1\">",
                                     "<w:hyperlink w:anchor=\"top\">",
                                     "r:embed=\"rImage1\"",
                                     "<wp:extent cx=\"952500\" cy=\"476250\"/>",
                                     "<w:pgSz w:w=\"11900\" w:h=\"16840\"/>"})
            QVERIFY2(document.contains(expected), expected);
        const QString numbering = QString::fromUtf8(readAll(unpacked.file("word/numbering.xml")));
        QVERIFY(numbering.indexOf("w:val=\"bullet\"") < numbering.indexOf("w:val=\"decimal\""));
        const QString relationships =
            QString::fromUtf8(readAll(unpacked.file("word/_rels/document.xml.rels")));
        QVERIFY(relationships.contains(
            "Target=\"https://example.org/a%20b?x=1&amp;y=2\" TargetMode=\"External\""));
        QCOMPARE(QImage::fromData(readAll(unpacked.file("word/media/image1.png"))).size(), QSize(40, 20));
    }

    // What a word processor reads back: the same text, and the same structure.
    void readByLibreOffice()
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
        QCOMPARE(QString::fromUtf8(readAll(path("txt/plain.txt"))).remove(QChar(0xFEFF)).chopped(1), source);

        Doc::writeDOCX(*richDocument(), path("rich.docx"));
        const Doc::ReadResult read = Doc::read(path("rich.docx"), "docx", nullptr);
        const QTextDocument& back = *read.text;
        QTextBlock block = back.begin();
        QCOMPARE(block.blockFormat().headingLevel(), 1);
        QCOMPARE(block.text(), QString("Title & more"));
        bool bold = false, red = false, link = false, picture = false, bullets = false, numbers = false;
        QTextTable* table = nullptr;
        for (; block.isValid(); block = block.next()) {
            if (const QTextList* list = block.textList()) {
                bullets = bullets || (block.text().trimmed() == "one" &&
                                      list->format().style() == QTextListFormat::ListDisc);
                numbers = numbers || (block.text().trimmed() == "first" &&
                                      list->format().style() == QTextListFormat::ListDecimal);
            }
            if (!table) table = QTextCursor(block).currentTable();
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat f = it.fragment().charFormat();
                bold = bold || (it.fragment().text() == "bold" && f.fontWeight() >= QFont::Bold);
                red = red || (it.fragment().text() == "red" && f.foreground().color() == QColor(Qt::red));
                link = link || f.anchorHref() == "https://example.org/a%20b?x=1&y=2";
                if (f.isImageFormat()) {
                    const auto held = Doc::picture(back, f.toImageFormat().name());
                    const QImage image = held ? QImage::fromData(held->bytes) : QImage();
                    picture = image.size() == QSize(40, 20) && image.pixelColor(5, 5) == QColor(Qt::red);
                }
            }
        }
        QVERIFY(bold && red && link && picture && bullets && numbers);
        QVERIFY(table);
        QCOMPARE(table->rows(), 2);
        QCOMPARE(table->cellAt(0, 0).columnSpan(), 2);
        QCOMPARE(table->cellAt(1, 1).firstCursorPosition().block().text().trimmed(), QString("b"));
    }
};

QTEST_MAIN(DocxWriterTest)
#include "test_docxwriter.moc"
