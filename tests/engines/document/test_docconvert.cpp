#include "engines/document/reader.h"

#include "core/zip.h"
#include "engines/package/epub.h"
#include "engines/text/markdown.h"

#include "../../support/enginefixtures_a.h"

#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>
#include <poppler-qt6.h>

using namespace Fixture;

namespace {

const QByteArray notes = "# Notes\n\nSome *emphasis* & **bold** text.\n\n- one\n- two\n";

QString pdfText(const QString& path)
{
    const std::unique_ptr<Poppler::Document> pdf = Poppler::Document::load(path);
    QString text;
    for (int i = 0; pdf && i < pdf->numPages(); ++i)
        text += pdf->page(i)->text(QRectF());
    return text;
}

} // namespace

// Documents converted as the wheel and the command line convert them.
class DocConvertTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString text(const QString& name) const { return read(path(name)); }

    QString file(const QString& name, const QByteArray& bytes)
    {
        if (!write(path(name), bytes)) qFatal("can't write %s", qPrintable(name));
        return path(name);
    }

    QStringList hidden() const
    {
        return QDir(m_dir.path()).entryList({".tolvane-*"}, QDir::AllEntries | QDir::Hidden);
    }

  private slots:
    void markdownTargets()
    {
        const QString md = file("notes.md", notes);
        QCOMPARE(convert(md, "html"), QStringList{path("notes.html")});
        QCOMPARE(text("notes.html"), Doc::standalonePage("notes", Markdown::html(QString::fromUtf8(notes))));
        QCOMPARE(convert(md, "txt"), QStringList{path("notes.txt")});
        QCOMPARE(text("notes.txt"), QString("Notes\nSome emphasis & bold text.\none\ntwo"));
        QCOMPARE(convert(md, "pdf"), QStringList{path("notes.pdf")});
        QVERIFY(pdfText(path("notes.pdf")).contains("Some emphasis & bold text."));
        QCOMPARE(convert(md, "docx"), QStringList{path("notes.docx")});
        const QString document = read(Zip::extract(path("notes.docx")).file("word/document.xml"));
        QVERIFY(document.contains("<w:pStyle w:val=\"Heading1\"/>") && document.contains(">emphasis</w:t>"));
        QCOMPARE(convert(md, "epub"), QStringList{path("notes.epub")});
        QVERIFY(EPUB::readHTML(path("notes.epub")).contains("<h1>Notes</h1>"));
        // One page: one picture of a Letter page (the C locale has no region) at 200 dpi.
        QCOMPARE(convert(md, "png"), QStringList{path("notes.png")});
        QCOMPARE(QImageReader(path("notes.png")).size(), QSize(1700, 2200));
        QVERIFY(hidden().isEmpty());
    }

    // Plain text of any line ends: paragraphs at blank lines, line breaks within them. Markdown
    // keeps the words around a picture and leaves out the picture's placeholder. A rich-text
    // package is read through the text file inside it.
    void textTargets()
    {
        convert(file("memo.txt", "a\r\nb\r\n\r\nc & d"), "html");
        QCOMPARE(text("memo.html"), Doc::standalonePage("memo", "<p>a<br/>b</p>\n<p>c &amp; d</p>"));
        convert(file("old.txt", "a\rb\r\rc & d"), "md");
        QCOMPARE(text("old.md"), QString("a\nb\n\nc & d"));
        convert(file("page.html", "<h2>Trip</h2><p>Before <img src=\"none.png\"> after <b>bold</b></p>"),
                "md");
        QCOMPARE(text("page.md"), QString("## Trip\n\nBefore  after **bold**\n"));
        QDir().mkpath(path("letter.rtfd"));
        file("letter.rtfd/TXT.rtf",
             "{\\rtf1\\ansi{\\fonttbl\\f0 Helvetica;}\\f0 Hello {\\b bold} w\\'f6rld\\par Second}");
        QCOMPARE(convert(path("letter.rtfd"), "txt"), QStringList{path("letter.txt")});
        QCOMPARE(text("letter.txt").trimmed(), QString("Hello bold wörld\nSecond"));
    }

    void refusalsAndNames()
    {
        const QString md = file("report.md", "# Report\n");
        QCOMPARE(failure([&] { convert(md, "xlsx"); }).message(),
                 QString("report.md can’t be converted to XLSX"));
        file("report.pdf", "taken");
        QCOMPARE(convert(md, "pdf"), QStringList{path("report 2.pdf")});
        Job cancelled({}, {}, 0);
        cancelled.cancel();
        QVERIFY(failure([&] { Converter::convert(md, "docx", cancelled, [](double) {}); }).isCancelled());
        QVERIFY(!QFile::exists(path("report.docx")));
        QVERIFY(hidden().isEmpty());
    }

    // Several pages give a folder of pictures, with progress after reading and after each page.
    void pageImagesProgress()
    {
        QList<double> progress;
        QCOMPARE(convert(file("long.txt", QByteArray("A line of the long text.\n\n").repeated(100)), "jpg",
                         [&](double p) { progress << p; }),
                 QStringList{path("long")});
        const QStringList pages = QDir(path("long")).entryList(QDir::Files);
        QVERIFY(pages.size() > 1);
        QCOMPARE(pages.first(), QString("Page 001.jpg"));
        QCOMPARE(progress.size(), pages.size() + 1);
        QVERIFY(std::is_sorted(progress.cbegin(), progress.cend()) && progress.first() > 0);
        QCOMPARE(progress.last(), 1.0);
    }

    // From the command line, in a name with a space; a document past the page limit is refused
    // whole, leaving nothing behind.
    void commandLine()
    {
        QString pages;
        for (int i = 0; i <= 5001; ++i)
            pages += "<p style=\"page-break-before:always\">page</p>";
        const auto [status, out] =
            tolvane({"--convert", "pdf", file("cli notes.md", notes), file("huge.html", pages.toUtf8())});
        QCOMPARE(status, 1);
        QVERIFY2(
            out.endsWith("\n✗ huge.html → pdf: This document is too long to convert (more than 5,001 pages)"),
            qPrintable(out));
        QVERIFY(pdfText(path("cli notes.pdf")).contains("Notes"));
        QVERIFY(!QFile::exists(path("huge.pdf")));
        QVERIFY(hidden().isEmpty());
    }

    // A document LibreOffice made, read back through LibreOffice: its text and a title of ours.
    void wordDocumentToHtml()
    {
        file("report.html", "<html><head><title>Quarterly</title></head><body><h1>Results &amp; plans</h1>"
                            "<p>Revenue rose in <b>every</b> region.</p></body></html>");
        if (soffice(path("report.html"), "docx:MS Word 2007 XML", path("word")) < 0)
            QSKIP("LibreOffice is not installed");
        QCOMPARE(convert(path("word/report.docx"), "html"), QStringList{path("word/report.html")});
        const QString html = text("word/report.html");
        QCOMPARE(html.count("<title>"), 1);
        QVERIFY(html.contains("<title>report</title>"));
        QCOMPARE(Doc::attributed(html)->toPlainText().trimmed(),
                 QString("Results & plans\nRevenue rose in every region."));
    }
};

QTEST_MAIN(DocConvertTest)
#include "test_docconvert.moc"
