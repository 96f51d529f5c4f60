#include "engines/compress/heavy/pdfcompressor.h"
#include "engines/heavy/pdfconvert.h"
#include "engines/image/jpegcheck.h"
#include "engines/pdf/fontcheck.h"
#include "engines/pdf/layouttext.h"
#include "engines/pdf/pdfengine.h"
#include "engines/pdftext/pdftextmodule.h"
#include "engines/pdftext/readerrors.h"
#include "engines/pdftext/textlayer.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/settings.h"

#include "../../support/damagedpdfs.h"
#include "../../support/enginefixtures_a.h"
#include "../../support/programoutput.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

using DamagedPdfs::spoil;
using DamagedPdfs::writeCompressed;

// Three pages of text; page 2 also sets its square's colour with an operator no reader knows,
// and page 1 carries a comment whose popup has no place on the page, which every reader
// complains of and draws nothing for. qpdf mends the cross-reference table.
bool writeOddPages(const QString& path)
{
    QByteArray data = DamagedPdfs::plainPages(3);
    data.replace("2 says hello) Tj ET\n0 0 1 rg", "2 says hello) Tj ET\n0 0 1 zz");
    data.replace("/Rotate 0 /Contents 4 0 R",
                 "/Rotate 0 /Annots [<< /Type /Annot /Subtype /Popup >>] /Contents 4 0 R");
    if (!Fixture::write(path + ".edited", data)) return false;
    const int status = QProcess::execute("qpdf", {path + ".edited", path});
    return QFile::remove(path + ".edited") && (status == 0 || status == 3) && data.contains(" zz") &&
           data.contains("/Popup");
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

} // namespace

// PDFs damaged inside: what can be read comes out, the damage is said, and nothing comes out
// of a file none of whose pages can be read.
class PdfDamageTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // txt goes through the light module first, as the command line's conversion does.
    QStringList convert(const QString& source, const QString& target, Job& job)
    {
        if (target == "txt")
            return Modules::entries<PDFTextModule>().convertToText(source, job, [](double) {});
        return PDFEngine::convert(source, target, job, [](double) {});
    }

  private slots:
    void init()
    {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        Settings::shared().setPdfDPI(36);
    }

    void spoiledPage_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("note");
        const QString text = "Page 2 of report.pdf is damaged: no text could be read from it";
        const QString picture = "Page 2 of report.pdf is damaged: it came out blank";
        QTest::newRow("txt") << "txt" << text;
        QTest::newRow("md") << "md" << text;
        QTest::newRow("xlsx") << "xlsx" << text;
        QTest::newRow("png") << "png" << picture;
        QTest::newRow("jpg") << "jpg" << picture;
        QTest::newRow("pptx") << "pptx" << picture;
    }

    void spoiledPage()
    {
        QFETCH(QString, target);
        QFETCH(QString, note);
        QVERIFY(writeCompressed(path("report.pdf")));
        QVERIFY(spoil(path("report.pdf"), {2}));
        Job job({}, {}, 0);
        const QStringList results = convert(path("report.pdf"), target, job);
        QCOMPARE(results.size(), 1);
        QCOMPARE(job.notes(), QStringList{note});
        if (target == "txt") {
            const QString text = Fixture::read(results[0]);
            QVERIFY2(text.contains("Page number 1") && text.contains("Page number 3"), qPrintable(text));
        }
        if (target == "png") QCOMPARE(entries(results[0]).size(), 3);
    }

    void nothingReadable()
    {
        QVERIFY(writeCompressed(path("report.pdf")));
        QVERIFY(spoil(path("report.pdf"), {1, 2, 3}));
        QVERIFY(writeCompressed(path("single.pdf"), 1));
        QVERIFY(spoil(path("single.pdf"), {1}));
        const QStringList targets{"txt", "md", "docx", "epub", "xlsx", "png", "jpg", "pptx"};
        for (const QString source : {"report.pdf", "single.pdf"})
            for (const QString& target : targets) {
                Job job({}, {}, 0);
                try {
                    convert(path(source), target, job);
                    QFAIL(qPrintable(source + " → " + target + " was written"));
                } catch (const ConvertError& error) {
                    QCOMPARE(error.message(), source + " is damaged: none of its pages could be read");
                }
                QCOMPARE(entries(m_dir.path()), (QStringList{"report.pdf", "single.pdf"}));
            }
    }

    // The smallest compression draws every page: a spoiled one is said, and a document none of
    // whose pages can be read is refused.
    void compressedToPictures()
    {
        QVERIFY(writeCompressed(path("report.pdf")));
        QVERIFY(spoil(path("report.pdf"), {2}));
        Job job({}, {}, 0);
        Compressor::pdf(path("report.pdf"), CompressLevel::small, path("small.pdf"), job, [](double) {});
        QCOMPARE(job.notes(), QStringList{"Page 2 of report.pdf is damaged: it came out blank"});
        QVERIFY(QFileInfo(path("small.pdf")).size() > 0);

        QVERIFY(writeCompressed(path("gone.pdf"), 2));
        QVERIFY(spoil(path("gone.pdf"), {1, 2}));
        Job none({}, {}, 0);
        try {
            Compressor::pdf(path("gone.pdf"), CompressLevel::small, path("gone small.pdf"), none,
                            [](double) {});
            QFAIL("a PDF of spoiled pages was compressed");
        } catch (const ConvertError& error) {
            QCOMPARE(error.message(), QString("gone.pdf is damaged: none of its pages could be read"));
        }
    }

    // Each of Poppler's front ends, reading alone (the first document open takes Poppler's one
    // complaint callback), has its complaints counted on the thread that reads: an operator no
    // reader knows is counted, a comment's popup without a place is not.
    void everyReaderCounts_data()
    {
        QTest::addColumn<QString>("reader");
        QTest::newRow("Qt") << "Qt";
        QTest::newRow("GLib") << "GLib";
        QTest::newRow("C++") << "C++";
    }

    void everyReaderCounts()
    {
        QFETCH(QString, reader);
        QVERIFY(writeOddPages(path("odd.pdf")));
        const auto complaints = [&](int page) {
            const PDFEngine::ReadErrors errors;
            QString text;
            if (reader == "Qt")
                text = std::unique_ptr<Poppler::Page>(PDFEngine::open(path("odd.pdf"))->page(page))->text({});
            else if (reader == "GLib")
                text = PDFEngine::TextLayer(path("odd.pdf")).text(page);
            else
                text = PDFEngine::LayoutText(path("odd.pdf")).page(page).value_or(QString());
            return text.contains("Page number " + QString::number(page + 1)) ? errors.count() : 1000;
        };
        QCOMPARE(complaints(0), 0u);
        QCOMPARE(complaints(1), 1u);
        QCOMPARE(complaints(2), 0u);
    }

    // Poppler's own words, as its front ends hand them on: what loses content counts, what lies
    // over the page or beside it doesn't, even where it names an object, a font or a stream.
    void complaintsThatLoseContent()
    {
        for (const char* lost :
             {"Error (796): Unknown compression method in flate stream",
              "Syntax error at position 617: Unknown operator 'zz'",
              "poppler/error: Kid object (page 2) is wrong type (null)",
              "Error: xref num 55 not found but needed, try to reconstruct<0a>",
              "Error: Couldn't create a font for 'BAAAAA+DejaVuSerif'", "Error (1201): Bad image parameters",
              "Error: Bad color space (fill)", "Error (90): Missing 'endstream' or incorrect stream length",
              "Error (410): No current point in lineto", "Error: Bad form bounding box",
              "Error (77): Illegal character <29> in hex string"})
            QVERIFY2(PDFEngine::ReadErrors::losesContent(QString(lost)), lost);
        for (const char* aside :
             {"Error: Bad bounding box for annotation",
              "Error: Invalid or missing AS value in annotation containing one or more "
              "appearance subdictionaries",
              "Error: Invalid Font Weight", "Error: MarkInfo object is wrong type (null)",
              "Error: Invalid least number of objects reading page offset hints table",
              "Error: Form field child is not a dictionary", "Error: Bad annotation destination",
              "Error: Illegal file spec", "Error (12): Restoring state when no valid states to pop",
              "Error: May not be a PDF file (continuing anyway)"})
            QVERIFY2(!PDFEngine::ReadErrors::losesContent(QString(aside)), aside);
    }

    // A page whose text layer reads, with a complaint, is said to be damaged by every text target.
    void textLayerWithComplaints()
    {
        QVERIFY(writeOddPages(path("odd.pdf")));
        for (const QString target : {"txt", "md", "docx", "xlsx", "png"}) {
            Job job({}, {}, 0);
            const QStringList results = convert(path("odd.pdf"), target, job);
            QCOMPARE(results.size(), 1);
            QCOMPARE(job.notes(),
                     QStringList{target == "png"
                                     ? "Page 2 of odd.pdf is damaged: part of it may be missing"
                                     : "Page 2 of odd.pdf is damaged: some of its text may be missing"});
            if (target == "txt") QVERIFY(Fixture::read(results[0]).contains("Page number 2 says hello"));
        }
    }

    // A page tree that holds more pages than it counts, in a file of our own and in one qpdf
    // wrote: Poppler reads only the counted ones, and every target says that the others could not
    // be read. The text holds what pdftotext reads of the counted pages, and the pages named are
    // the rest of those qpdf finds in the tree.
    void treeCountsTooFew()
    {
        QVERIFY(DamagedPdfs::writeEdited(path("short count.pdf"), "] /Count 3", "] /Count 1"));
        QVERIFY(DamagedPdfs::writeShortCount(path("qpdf count.pdf"), 2));
        const QMap<QString, QString> notes{
            {"short count.pdf", "Pages 2 and 3 of short count.pdf are damaged: they could not be read"},
            {"qpdf count.pdf", "Pages 3, 4 and 5 of qpdf count.pdf are damaged: they could not be read"}};
        const QMap<QString, QString> trees{{"short count.pdf", "3"}, {"qpdf count.pdf", "5"}};
        for (const QString file : {"short count.pdf", "qpdf count.pdf"}) {
            const QString shown = programOutput("pdfinfo", {path(file)});
            const QString counted = QRegularExpression("Pages:\\s+(\\d+)").match(shown).captured(1);
            QCOMPARE(programOutput("qpdf", {"--show-npages", path(file)}).trimmed(), counted);
            QCOMPARE(QString::number(programOutput("qpdf", {"--show-pages", path(file)}).count("page ")),
                     trees[file]);
            const QString text = programOutput("pdftotext", {"-f", "1", "-l", counted, path(file), "-"});
            for (const QString target : {"txt", "png", "pptx", "xlsx", "md"}) {
                Job job({}, {}, 0);
                const QStringList results = convert(path(file), target, job);
                QCOMPARE(results.size(), 1);
                QCOMPARE(job.notes(), QStringList{notes[file]});
                if (target != "txt") continue;
                QCOMPARE(Fixture::read(results[0]).simplified(), text.simplified());
                QVERIFY(text.contains("Page number " + counted + " says hello"));
            }
            // Where qpdf can't be found to count the tree, the text is read as the other targets
            // read it.
            qputenv("TOLVANE_SEARCH_PATH", QFile::encodeName(m_dir.path()));
            Job job({}, {}, 0);
            const QStringList results = convert(path(file), "txt", job);
            qunsetenv("TOLVANE_SEARCH_PATH");
            QCOMPARE(job.notes(), QStringList{notes[file]});
            QCOMPARE(Fixture::read(results.value(0)).simplified(), text.simplified());
        }
    }

    // Fonts and pictures as a PDF embeds them: whole as their programs wrote them, damaged where
    // 20 bytes are changed in the tables a reader follows or the coded data are cut, zeroed or
    // changed. A change where nothing leads (a name) is not seen, and loses nothing.
    void embeddedFontsAndPictures()
    {
        const QByteArray font = DamagedPdfs::bytes("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
        QVERIFY(font.size() > 100000);
        const auto table = [&](const char* tag) {
            const qsizetype at = font.indexOf(tag);
            return at > 0 && at < 12 + 16 * 40 ? qFromBigEndian<quint32>(font.constData() + at + 8) : 0;
        };
        const auto changed = [&](qsizetype at) {
            QByteArray damaged = font;
            for (qsizetype i = at; i < at + 20; ++i)
                damaged[i] = char(damaged[i] ^ 0x5A);
            return damaged;
        };
        QVERIFY(FontCheck::trueTypeWhole(font));
        QVERIFY(!FontCheck::trueTypeWhole(changed(12)));                 // the table directory
        QVERIFY(!FontCheck::trueTypeWhole(changed(table("loca") + 40))); // where glyphs lie
        QVERIFY(!FontCheck::trueTypeWhole(changed(table("head"))));      // its magic number
        QVERIFY(!FontCheck::trueTypeWhole(font.left(font.size() / 2)));  // cut short
        QVERIFY(FontCheck::trueTypeWhole(changed(table("name") + 100)));

        const auto magick = [&](const QStringList& args) {
            return QProcess::execute("convert", args + QStringList{path("picture.jpg")}) == 0
                       ? DamagedPdfs::bytes(path("picture.jpg"))
                       : QByteArray();
        };
        const QStringList photo{"-size", "320x240", "plasma:fractal", "-seed", "3"};
        for (const QStringList& options :
             {QStringList{}, QStringList{"-interlace", "Plane"}, QStringList{"-colorspace", "CMYK"},
              QStringList{"-define", "jpeg:restart-interval=2"}}) {
            const QByteArray jpeg = magick(photo + options);
            QVERIFY(!jpeg.isEmpty());
            QVERIFY2(JpegCheck::whole(jpeg), qPrintable(options.join(' ')));
            QVERIFY2(!JpegCheck::whole(jpeg.left(jpeg.size() * 2 / 3)), qPrintable(options.join(' ')));
        }
    }

    // A PDF LibreOffice wrote reads without a complaint.
    void soundFile()
    {
        QFile text(path("letter.txt"));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("A sound letter\fwith a second page\n") > 0);
        text.close();
        const int status = Fixture::soffice(path("letter.txt"), "pdf", m_dir.path());
        if (status == -1) QSKIP("LibreOffice is not installed");
        QCOMPARE(status, 0);
        for (const QString target : {"txt", "png", "md"}) {
            Job job({}, {}, 0);
            QCOMPARE(convert(path("letter.pdf"), target, job).size(), 1);
            QCOMPARE(job.notes(), QStringList());
        }
    }
};

QTEST_MAIN(PdfDamageTest)
#include "test_pdfdamage.moc"
