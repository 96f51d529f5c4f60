// Damaged and sound PDFs through every PDF target, every Compress level and Split PDF, judged by
// what a user gets: a whole result without a note, a result with notes naming the right pages, or
// a failure that keeps nothing; never an empty result under a ✓, never a note on a sound file.

#include "engines/compress/heavy/pdfcompressor.h"
#include "engines/heavy/pdfconvert.h"
#include "engines/instant/instanttools.h"
#include "engines/pdftext/pdftextmodule.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/output.h"
#include "core/settings.h"

#include "../../support/damagedpdfs.h"
#include "../../support/programoutput.h"

#include <QTemporaryDir>
#include <QtTest>
#include <numeric>

namespace {

struct Expected
{
    QString failure;       // every target fails with it; else each writes a result
    QStringList pageNotes; // of the targets that draw the pages (pictures, slides, Compress)
    QStringList textNotes; // of the targets that read the text
    QList<int> pages;      // the pages (from 1) the results hold
    QStringList words;     // what the text of every result holds
};

// Page pictures can't hold a comment: the smallest Compress level's notes beside the page notes.
const QMap<QString, QStringList> smallestNotes{
    {"remark.pdf", {"1 comment was left out: page pictures can’t hold comments"}},
    {"archived.pdf", {"1 comment was left out: page pictures can’t hold comments"}}};

// Whole lines the Markdown holds: the heading, the bullets and the last line, each in its place.
const QMap<QString, QStringList> markdownLines{
    {"mixed.pdf",
     {"# Reading list", "- First bullet about books", "- Second bullet about reading",
      DamagedPdfs::rightToLeft[2]}}};

const QStringList textTargets{"txt", "md", "docx", "epub", "xlsx"};
const QStringList pageTargets{"png", "jpg", "pptx", "high", "balanced", "small", "split"};

QString withoutTags(const QString& xml)
{
    return QString(xml).replace(QRegularExpression("<[^>]*>"), " ").simplified();
}

// pdftotext's text in reading order: it wraps right-to-left words in embedding marks and takes
// the space after them on the page into the start of the embedding.
QString readingOrder(QString text)
{
    static const QRegularExpression embedded(
        QString::fromUtf8("[\u202A\u202B]( *)([^\u202A-\u202C]*)\u202C"));
    for (int depth = 0; depth < 2; ++depth)
        text.replace(embedded, "\\2\\1");
    return text;
}

// The text a result holds, read by other programs than the one that wrote it.
QString textOf(const QString& result, const QString& target)
{
    if (target == "txt" || target == "md") return Fixture::read(result).simplified();
    if (target == "docx") return withoutTags(programOutput("unzip", {"-p", result, "word/document.xml"}));
    if (target == "epub") return withoutTags(programOutput("unzip", {"-p", result, "OEBPS/*.xhtml"}));
    if (target == "xlsx") return withoutTags(programOutput("unzip", {"-p", result, "xl/worksheets/*.xml"}));
    if (target == "split") {
        QString text;
        for (const QString& name : QDir(result).entryList(QDir::Files, QDir::Name))
            text += readingOrder(programOutput("pdftotext", {result + "/" + name, "-"})) + " ";
        return text.simplified();
    }
    return readingOrder(programOutput("pdftotext", {result, "-"})).simplified();
}

// The pages a result holds, by their number in the source, as far as the result names them.
QList<int> pagesOf(const QString& result, const QString& target, bool single)
{
    QList<int> pages;
    if ((target == "png" || target == "jpg") && single) {
        if (QFileInfo(result).isFile() && !QImage(result).isNull()) pages << 1;
    } else if (target == "png" || target == "jpg") {
        for (const QString& name : QDir(result).entryList(QDir::Files, QDir::Name))
            if (!QImage(result + "/" + name).isNull()) pages << name.mid(5, 3).toInt();
    } else if (target == "split") {
        for (const QString& name : QDir(result).entryList(QDir::Files, QDir::Name))
            if (QRegularExpression("Pages:\\s+(\\d+)")
                    .match(programOutput("pdfinfo", {result + "/" + name}))
                    .captured(1) == "1")
                pages << name.section(" Page ", -1).left(3).toInt();
    } else if (target == "xlsx") {
        const QString book = programOutput("unzip", {"-p", result, "xl/workbook.xml"});
        for (auto it = QRegularExpression("name=\"Page (\\d+)\"").globalMatch(book); it.hasNext();)
            pages << it.next().captured(1).toInt();
    } else if (target == "pptx") {
        const QString listing = programOutput("unzip", {"-Z1", result});
        for (auto it = QRegularExpression("ppt/slides/slide(\\d+)\\.xml").globalMatch(listing); it.hasNext();)
            pages << it.next().captured(1).toInt();
    } else {
        const QString info = programOutput("pdfinfo", {result});
        const int count = QRegularExpression("Pages:\\s+(\\d+)").match(info).captured(1).toInt();
        for (int n = 1; n <= count; ++n)
            pages << n;
    }
    return pages;
}

bool removed(const QString& result)
{
    return QFileInfo(result).isDir() ? QDir(result).removeRecursively() : QFile::remove(result);
}

} // namespace

Q_DECLARE_METATYPE(Expected)

class DamagedPdfsTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_sources;

    QString source(const QString& name) const { return m_sources.filePath(name); }

    // The result of `target` (a conversion, or a Compress level) on `pdf`.
    static QStringList run(const QString& pdf, const QString& target, Job& job)
    {
        const QMap<QString, CompressLevel> levels{{"high", CompressLevel::high},
                                                  {"balanced", CompressLevel::balanced},
                                                  {"small", CompressLevel::small}};
        if (levels.contains(target))
            return {Output::write(
                Output::result(pdf, " Compressed", QString("pdf")),
                [&](const QString& temporary) {
                    Compressor::pdf(pdf, levels[target], temporary, job, [](double) {});
                },
                &job)};
        if (target == "split") return InstantTools::splitPDF(pdf, job, [](double) {});
        // txt goes through the light module first, as the command line's conversion does.
        if (target == "txt") return Modules::entries<PDFTextModule>().convertToText(pdf, job, [](double) {});
        return PDFEngine::convert(pdf, target, job, [](double) {});
    }

  private slots:
    void initTestCase()
    {
        Settings::shared().setPdfDPI(36);
        const auto made = [&](const QString& name, bool written) { QVERIFY2(written, qPrintable(name)); };
        made("sound.pdf", DamagedPdfs::writeCompressed(source("sound.pdf")));
        made("blank page.pdf", DamagedPdfs::writeCompressed(source("blank page.pdf")) &&
                                   DamagedPdfs::spoil(source("blank page.pdf"), {2}));
        made("all spoiled.pdf", DamagedPdfs::writeCompressed(source("all spoiled.pdf")) &&
                                    DamagedPdfs::spoil(source("all spoiled.pdf"), {1, 2, 3}));
        made("cut download.pdf", DamagedPdfs::writeCutDownload(source("cut download.pdf")));
        made("lost tree.pdf", DamagedPdfs::writeLostTree(source("lost tree.pdf")));
        made("lost page.pdf", DamagedPdfs::writeLostPage(source("lost page.pdf")));
        made("scan.pdf", DamagedPdfs::writeScan(source("scan.pdf")));
        made("zeroed scan.pdf", DamagedPdfs::writeZeroedScan(source("zeroed scan.pdf")));
        made("garbled scan.pdf", DamagedPdfs::writeGarbledScan(source("garbled scan.pdf")));
        made("spoiled Flate.pdf", DamagedPdfs::writeSpoiledFlateScan(source("spoiled Flate.pdf")));
        made("no pages.pdf", DamagedPdfs::writeNoPages(source("no pages.pdf"), false));
        made("pikepdf no pages.pdf", DamagedPdfs::writeNoPages(source("pikepdf no pages.pdf"), true));
        made("long count.pdf", DamagedPdfs::writeLongCount(source("long count.pdf")));
        if (!Shell::find("soffice")) return;
        made("LibreOffice's",
             DamagedPdfs::writeOfficePdfs(m_sources.path()) &&
                 DamagedPdfs::writeDamagedFont(source("letter.pdf"), source("letter font.pdf")) &&
                 DamagedPdfs::writeFontPastItsEnd(source("letter.pdf"), source("letter glyph.pdf")));
        // The comment comes as an annotation whose popup has no place on the page.
        for (const QString file : {"remark.pdf", "archived.pdf"})
            QVERIFY2(DamagedPdfs::bytes(source(file)).contains("/Subtype /Popup"), qPrintable(file));
    }

    void everyTarget_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<Expected>("expected");
        const QList<int> three{1, 2, 3};
        const QStringList numbers{"Page number 1 says hello", "Page number 3 says hello"};
        const QString none = "%1 is damaged: none of its pages could be read";
        QTest::newRow("sound") << "sound.pdf" << Expected{{}, {}, {}, three, numbers};
        QTest::newRow("LibreOffice, a comment")
            << "remark.pdf" << Expected{{}, {}, {}, {1}, {"A sound letter"}};
        QTest::newRow("LibreOffice, PDF/A-2")
            << "archived.pdf" << Expected{{}, {}, {}, {1}, {"A sound letter"}};
        const QStringList rtl = DamagedPdfs::rightToLeft;
        QTest::newRow("LibreOffice, Hebrew, English, Arabic")
            << "right to left.pdf" << Expected{{}, {}, {}, {1}, rtl};
        QTest::newRow("LibreOffice, a heading, right to left, bullets")
            << "mixed.pdf"
            << Expected{{},
                        {},
                        {},
                        {1},
                        {rtl[0], "The word שלום means peace in Hebrew.", rtl[2], "First bullet about books"}};
        QTest::newRow("LibreOffice, plain") << "letter.pdf" << Expected{{}, {}, {}, {1}, {"A sound letter"}};
        QTest::newRow("scan") << "scan.pdf" << Expected{{}, {}, {}, {1}, {"first line", "last line"}};
        QTest::newRow("blank page 2") << "blank page.pdf"
                                      << Expected{{},
                                                  {"Page 2 of %1 is damaged: it came out blank"},
                                                  {"Page 2 of %1 is damaged: no text could be read from it"},
                                                  three,
                                                  numbers};
        QTest::newRow("every page spoiled") << "all spoiled.pdf" << Expected{none, {}, {}, {}, {}};
        QTest::newRow("cut download") << "cut download.pdf" << Expected{none, {}, {}, {}, {}};
        QTest::newRow("lost page tree") << "lost tree.pdf" << Expected{none, {}, {}, {}, {}};
        QTest::newRow("no pages, qpdf") << "no pages.pdf" << Expected{"%1 has no pages", {}, {}, {}, {}};
        QTest::newRow("no pages, pikepdf")
            << "pikepdf no pages.pdf" << Expected{"%1 has no pages", {}, {}, {}, {}};
        const QString third = "Page 3 of %1 is damaged: it could not be read";
        QTest::newRow("page tree counts 3 of 2")
            << "long count.pdf" << Expected{{}, {third}, {third}, {1, 2}, {"Page number 1 says hello"}};
        QTest::newRow("lost page 2") << "lost page.pdf"
                                     << Expected{{},
                                                 {"Page 2 of %1 is damaged: it could not be read"},
                                                 {"Page 2 of %1 is damaged: it could not be read"},
                                                 {1, 3},
                                                 numbers};
        const QString partly = "Page 1 of %1 is damaged: part of it may be missing";
        QTest::newRow("damaged font")
            << "letter font.pdf" << Expected{{}, {partly}, {}, {1}, {"A sound letter"}};
        QTest::newRow("last glyph past the font's end")
            << "letter glyph.pdf" << Expected{{}, {partly}, {}, {1}, {"A sound letter"}};
        const QString someText = "Page 1 of %1 is damaged: some of its text may be missing";
        QTest::newRow("zeroed JPEG") << "zeroed scan.pdf"
                                     << Expected{{}, {partly}, {someText}, {1}, {"first line"}};
        QTest::newRow("garbled JPEG")
            << "garbled scan.pdf" << Expected{{}, {partly}, {someText}, {1}, {"first line"}};
        QTest::newRow("Flate picture spoiled")
            << "spoiled Flate.pdf" << Expected{{}, {partly}, {someText}, {1}, {"first line"}};
    }

    // Every target of every input: the failure, or a result holding what the source holds, with
    // the notes the damage calls for and no others. Each target that goes wrong is told.
    void everyTarget()
    {
        QFETCH(QString, file);
        QFETCH(Expected, expected);
        if (!QFile::exists(source(file))) QSKIP("LibreOffice is not installed");
        QTemporaryDir dir;
        const QString pdf = dir.filePath(file);
        QVERIFY(QFile::copy(source(file), pdf));
        // A copy holds the text layer the source holds; a scan has none.
        const bool layered = programOutput("pdftotext", {pdf, "-"}).contains(expected.words.value(0, "-"));
        QStringList wrong;
        for (const QString& target : textTargets + pageTargets) {
            Job job({}, {}, 0);
            if (!expected.failure.isEmpty()) {
                const QString said = Fixture::failure([&] { run(pdf, target, job); }).message();
                if (said != expected.failure.arg(file)) wrong << target + ": " + said;
                for (const QString& kept : Fixture::entries(dir.path()))
                    if (kept != file) {
                        wrong << target + " kept " + kept;
                        QVERIFY(removed(dir.filePath(kept)));
                    }
                continue;
            }
            QStringList results;
            try {
                results = run(pdf, target, job);
            } catch (const ConvertError& e) {
                wrong << target + " failed: " + e.message();
                continue;
            }
            const bool pictures = pageTargets.contains(target);
            QStringList notes = pictures ? expected.pageNotes : expected.textNotes;
            for (QString& note : notes)
                note = note.arg(file);
            if (target == "small") notes += smallestNotes.value(file);
            if (job.notes() != notes) wrong << target + " notes: " + job.notes().join(" | ");
            // Slides and the pages of the smallest level are counted; pictures and sheets are named.
            const bool counted = target == "pptx" || target == "small";
            QList<int> pages = expected.pages;
            if (counted) std::iota(pages.begin(), pages.end(), 1);
            if ((counted || target == "png" || target == "jpg" || target == "xlsx" || target == "split") &&
                pagesOf(results.value(0), target, expected.pages == QList<int>{1}) != pages)
                wrong << target + ": not the pages expected";
            if (!pictures || ((target == "high" || target == "balanced" || target == "split") && layered)) {
                const QString text = textOf(results.value(0), target);
                for (const QString& words : expected.words)
                    if (!text.contains(words, Qt::CaseInsensitive)) wrong << target + " lacks " + words;
            }
            const QStringList lines = Fixture::read(results.value(0)).split('\n');
            for (const QString& line : markdownLines.value(file))
                if (target == "md" && !lines.contains(line)) wrong << "md lacks the line " + line;
            for (const QString& result : results)
                QVERIFY(removed(result));
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(file + ":\n  " + wrong.join("\n  ")));
    }
};

QTEST_MAIN(DamagedPdfsTest)
#include "test_damagedpdfs.moc"
