#include "engines/converter.h"
#include "engines/document/reader.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/scratchfolder.h"
#include "core/shell.h"
#include "core/zip.h"
#include "engines/package/epub.h"
#include "engines/text/markdown.h"

#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <poppler-qt6.h>

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

    QString file(const QString& name, const QByteArray& bytes)
    {
        QFile f(path(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("can't write %s", qPrintable(name));
        return f.fileName();
    }

    QString text(const QString& name)
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString("(missing)");
    }

    QStringList convert(const QString& source, const QString& target, QList<double>* progress = nullptr)
    {
        Job job({}, {}, 0);
        return Converter::convert(source, target, job, [&](double p) {
            if (progress) *progress << p;
        });
    }

    QString failure(const QString& source, const QString& target, Job* job = nullptr)
    {
        Job own({}, {}, 0);
        try {
            Converter::convert(source, target, job ? *job : own, [](double) {});
        } catch (const ConvertError& e) {
            return e.description();
        }
        return "no failure";
    }

    QStringList hidden() const
    {
        return QDir(m_dir.path()).entryList({".tolvane-*"}, QDir::AllEntries | QDir::Hidden);
    }

    // Runs the program with `args`: its exit status and standard output.
    static std::pair<int, QString> tolvane(const QStringList& args)
    {
        QProcess p;
        p.start(TOLVANE_BIN, args);
        if (!p.waitForFinished(120000)) return {-1, "did not finish"};
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()).trimmed()};
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
        const ScratchFolder docx = Zip::extract(path("notes.docx"));
        QFile xml(docx.file("word/document.xml"));
        QVERIFY(xml.open(QIODevice::ReadOnly));
        const QByteArray document = xml.readAll();
        QVERIFY(document.contains("<w:pStyle w:val=\"Heading1\"/>") && document.contains(">emphasis</w:t>"));

        QCOMPARE(convert(md, "epub"), QStringList{path("notes.epub")});
        QVERIFY(EPUB::readHTML(path("notes.epub")).contains("<h1>Notes</h1>"));

        // One page: one picture of a Letter page (the C locale has no region) at 200 dpi.
        QCOMPARE(convert(md, "png"), QStringList{path("notes.png")});
        QCOMPARE(QImageReader(path("notes.png")).size(), QSize(1700, 2200));
        QVERIFY(hidden().isEmpty());
    }

    // Plain text of any line ends: paragraphs at blank lines, line breaks within them.
    void plainTextTargets()
    {
        const QString txt = file("memo.txt", "a\r\nb\r\n\r\nc & d");
        convert(txt, "html");
        QCOMPARE(text("memo.html"), Doc::standalonePage("memo", "<p>a<br/>b</p>\n<p>c &amp; d</p>"));
        convert(file("old.txt", "a\rb\r\rc & d"), "md");
        QCOMPARE(text("old.md"), QString("a\nb\n\nc & d"));
    }

    // Markdown keeps the words around a picture and leaves out the picture's placeholder.
    void htmlToMarkdown()
    {
        convert(file("page.html", "<h2>Trip</h2><p>Before <img src=\"none.png\"> after <b>bold</b></p>"),
                "md");
        QCOMPARE(text("page.md"), QString("## Trip\n\nBefore  after **bold**\n"));
    }

    void refusalsAndNames()
    {
        const QString md = file("report.md", "# Report\n");
        QCOMPARE(failure(md, "xlsx"), QString("Can’t make XLSX from this document"));
        QCOMPARE(failure(md, "pages"), QString("Can’t make PAGES from this document"));
        file("report.pdf", "taken");
        QCOMPARE(convert(md, "pdf"), QStringList{path("report 2.pdf")});
        Job cancelled({}, {}, 0);
        cancelled.cancel();
        QCOMPARE(failure(md, "docx", &cancelled), QString("Cancelled"));
        QVERIFY(!QFile::exists(path("report.docx")));
        QVERIFY(hidden().isEmpty());
    }

    // Several pages give a folder of pictures, with progress after reading and after each page.
    void pageImagesProgress()
    {
        QByteArray long_;
        for (int i = 0; i < 100; ++i)
            long_ += "A line of the long text.\n\n";
        QList<double> progress;
        QCOMPARE(convert(file("long.txt", long_), "jpg", &progress), QStringList{path("long")});
        const QStringList pages = QDir(path("long")).entryList(QDir::Files);
        QVERIFY(pages.size() > 1);
        QCOMPARE(pages.first(), QString("Page 001.jpg"));
        QList<double> expected{0.3};
        for (int k = 1; k <= pages.size(); ++k)
            expected << 0.4 + 0.6 * k / pages.size();
        QCOMPARE(progress.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i)
            QVERIFY(qFuzzyCompare(progress[i], expected[i]));
    }

    void commandLine()
    {
        const QString md = file("cli notes.md", notes);
        QCOMPARE(tolvane({"--convert", "pdf", md}).first, 0);
        QVERIFY(pdfText(path("cli notes.pdf")).contains("Notes"));

        QString pages;
        for (int i = 0; i <= 5001; ++i)
            pages += "<p style=\"page-break-before:always\">page</p>";
        const auto [status, out] = tolvane({"--convert", "pdf", file("huge.html", pages.toUtf8())});
        QCOMPARE(status, 1);
        QCOMPARE(out,
                 QString("✗ huge.html → pdf: This document is too long to convert (more than 5,001 pages)"));
        QVERIFY(!QFile::exists(path("huge.pdf")));
        QVERIFY(hidden().isEmpty());
    }

    // A document LibreOffice made, read back through LibreOffice: its text and a title of ours.
    void wordDocumentToHtml()
    {
        const auto soffice = Shell::find("soffice");
        if (!soffice) QSKIP("LibreOffice is not installed");
        const ScratchFolder profile;
        file("report.html", "<html><head><title>Quarterly</title></head><body><h1>Results &amp; plans</h1>"
                            "<p>Revenue rose in <b>every</b> region.</p></body></html>");
        QDir().mkpath(path("word"));
        Shell::run(*soffice,
                   {"--headless", "--norestore",
                    "-env:UserInstallation=" + QUrl::fromLocalFile(profile.path()).toString(), "--convert-to",
                    "docx:MS Word 2007 XML", "--outdir", path("word"), path("report.html")},
                   std::nullopt, nullptr, {}, std::chrono::minutes(3));
        QVERIFY(QFile::exists(path("word/report.docx")));

        const auto [status, out] = tolvane({"--convert", "html", path("word/report.docx")});
        QVERIFY2(status == 0, qPrintable(out));
        const QString html = text("word/report.html");
        QCOMPARE(html.count("<title>"), 1);
        QVERIFY(html.contains("<title>report</title>"));
        auto read = Doc::attributed(html);
        QCOMPARE(read->toPlainText().trimmed(), QString("Results & plans\nRevenue rose in every region."));

        // A rich-text package is read through the text file inside it.
        QDir().mkpath(path("letter.rtfd"));
        file("letter.rtfd/TXT.rtf",
             "{\\rtf1\\ansi{\\fonttbl\\f0 Helvetica;}\\f0 Hello {\\b bold} w\\'f6rld\\par Second}");
        QCOMPARE(convert(path("letter.rtfd"), "txt"), QStringList{path("letter.txt")});
        QCOMPARE(text("letter.txt").trimmed(), QString("Hello bold wörld\nSecond"));
    }
};

QTEST_MAIN(DocConvertTest)
#include "test_docconvert.moc"
