#include "core/converterror.h"
#include "core/job.h"
#include "engines/instant/instanttools.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <archive.h>
#include <archive_entry.h>

namespace {

QString run(const QString& program, const QStringList& args, int* status = nullptr)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    if (status) *status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardOutput());
}

// A PDF of `pages` pages with a document title, written by Qt.
void writePDF(const QString& path, int pages, const QString& title)
{
    QPdfWriter writer(path);
    writer.setTitle(title);
    QPainter painter(&writer);
    for (int i = 0; i < pages; ++i) {
        if (i > 0) writer.newPage();
        painter.drawText(100, 100, QStringLiteral("Page %1").arg(i + 1));
    }
}

// What pdfinfo says: "Pages", "Title", "Page    1 size"…
QString pdfInfo(const QString& path, const QString& field)
{
    const QString out = run("pdfinfo", {"-f", "1", "-l", "99", path});
    const QRegularExpressionMatch m =
        QRegularExpression("^" + QRegularExpression::escape(field) + ":\\s*(.*)$",
                           QRegularExpression::MultilineOption)
            .match(out);
    return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

QStringList hiddenLeftovers(const QString& folder)
{
    return QDir(folder).entryList({".tolvane-*"}, QDir::AllEntries | QDir::Hidden);
}

void writeArchive(const QString& path, const QList<std::pair<QByteArray, QByteArray>>& members)
{
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    archive_write_open_filename(a, QFile::encodeName(path).constData());
    for (const auto& [name, data] : members) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name.constData());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, data.size());
        archive_write_header(a, e);
        archive_write_data(a, data.constData(), size_t(data.size()));
        archive_entry_free(e);
    }
    archive_write_free(a);
}

const std::function<void(double)> ignored = [](double) {};

} // namespace

class InstantToolsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString file(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    // The audio goes, the video is copied, and a second run takes the next name.
    void muteKeepsOnlyVideo()
    {
        int status = 0;
        run("ffmpeg",
            {"-v", "error", "-f", "lavfi", "-i", "testsrc2=d=1:s=160x120", "-f", "lavfi", "-i", "sine=d=1",
             "-shortest", "-c:v", "libx264", "-c:a", "aac", file("clip.mov")},
            &status);
        QCOMPARE(status, 0);
        Job job({}, {}, 0);
        QList<double> progress;
        const QStringList first = InstantTools::mute(file("clip.mov"), job, [&](double p) { progress << p; });
        QCOMPARE(first, QStringList{file("clip Muted.mov")});
        const QString streams =
            run("ffprobe", {"-v", "error", "-show_entries", "stream=codec_type", "-of", "csv=p=0", first[0]});
        QCOMPARE(streams.trimmed(), QString("video"));
        QCOMPARE(InstantTools::mute(file("clip.mov"), job, ignored), QStringList{file("clip Muted 2.mov")});
        QVERIFY(hiddenLeftovers(m_dir.path()).isEmpty());
    }

    void pageNames_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("name");
        QTest::newRow("first") << 1 << "Report Page 001.pdf";
        QTest::newRow("seventh") << 7 << "Report Page 007.pdf";
        QTest::newRow("past 999 the number grows") << 1000 << "Report Page 1000.pdf";
    }

    void pageNames()
    {
        QFETCH(int, number);
        QTEST(InstantTools::pageFileName("Report", number), "name");
    }

    // One page a file, in a folder named after the source; the document title travels along.
    void splitNamesPagesAndFolders()
    {
        writePDF(file("Report.pdf"), 3, "Quarterly");
        Job job({}, {}, 0);
        const QStringList first = InstantTools::splitPDF(file("Report.pdf"), job, ignored);
        QCOMPARE(first, QStringList{file("Report Pages")});
        QCOMPARE(QDir(first[0]).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"Report Page 001.pdf", "Report Page 002.pdf", "Report Page 003.pdf"}));
        for (const QString& page : QDir(first[0]).entryList(QDir::Files)) {
            QCOMPARE(pdfInfo(QDir(first[0]).filePath(page), "Pages"), QString("1"));
            QCOMPARE(pdfInfo(QDir(first[0]).filePath(page), "Title"), QString("Quarterly"));
        }
        QCOMPARE(InstantTools::splitPDF(file("Report.pdf"), job, ignored),
                 QStringList{file("Report Pages 2")});
    }

    // Cancelled after the first page: neither the folder nor its hidden beginning remains.
    void cancelledSplitLeavesNothing()
    {
        QTemporaryDir dir;
        const QString pdf = dir.filePath("Long.pdf");
        writePDF(pdf, 5, {});
        Job job({}, {}, 0);
        try {
            InstantTools::splitPDF(pdf, job, [&](double) { job.cancel(); });
            QFAIL("the split went on after the cancel");
        } catch (const ConvertError& e) {
            QVERIFY(e.isCancelled());
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"Long.pdf"});
    }

    void splitRefusals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("locked") << "Locked.pdf"
                                << "Locked.pdf is password-protected";
        QTest::newRow("not a PDF") << "Fake.pdf"
                                   << "Couldn’t open Fake.pdf";
    }

    void splitRefusals()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        writePDF(dir.filePath("open.pdf"), 1, {});
        QFile(dir.filePath("Fake.pdf")).open(QIODevice::WriteOnly);
        run("qpdf", {"--encrypt", "user", "owner", "256", "--", dir.filePath("open.pdf"),
                     dir.filePath("Locked.pdf")});
        Job job({}, {}, 0);
        try {
            InstantTools::splitPDF(dir.filePath(name), job, ignored);
            QFAIL("split");
        } catch (const ConvertError& e) {
            QTEST(e.message(), "message");
        }
        QVERIFY(!QFileInfo::exists(dir.filePath(QFileInfo(name).completeBaseName() + " Pages")));
        QVERIFY(hiddenLeftovers(dir.path()).isEmpty());
    }

    // Pages in drop order, each pixels × 72 / dpi points: a PNG at 144 dpi gives half its pixels, a
    // JPEG that states no resolution counts as 72 dpi, others as they state it.
    void createPDFSizesPagesByResolution()
    {
        QImage wide(200, 100, QImage::Format_RGB32);
        wide.fill(Qt::darkCyan);
        wide.setDotsPerMeterX(5669);
        wide.setDotsPerMeterY(5669);
        QVERIFY(wide.save(file("beach.png")));
        int status = 0;
        run("ffmpeg",
            {"-v", "error", "-f", "lavfi", "-i", "testsrc2=s=90x120", "-frames:v", "1", file("cliff.jpg")},
            &status);
        QCOMPARE(status, 0);
        QImage tall(300, 600, QImage::Format_RGB32);
        tall.fill(Qt::white);
        tall.setDotsPerMeterX(11811); // 300 dpi
        tall.setDotsPerMeterY(11811);
        QVERIFY(tall.save(file("dune.jpg")));
        // 96 dpi, which Qt also assumes for pictures that state nothing.
        QImage square(96, 96, QImage::Format_RGB32);
        square.fill(Qt::gray);
        square.setDotsPerMeterX(3780);
        square.setDotsPerMeterY(3780);
        QVERIFY(square.save(file("sky.png")));

        Job job({}, {}, 0);
        QList<double> progress;
        const QStringList made =
            InstantTools::createPDF({file("beach.png"), file("cliff.jpg"), file("dune.jpg"), file("sky.png")},
                                    job, [&](double p) { progress << p; });
        QCOMPARE(made, QStringList{file("beach and 3 more.pdf")});
        QCOMPARE(pdfInfo(made[0], "Pages"), QString("4"));
        QCOMPARE(pdfInfo(made[0], "Page    1 size"), QString("100 x 50 pts"));
        QCOMPARE(pdfInfo(made[0], "Page    2 size"), QString("90 x 120 pts"));
        QCOMPARE(pdfInfo(made[0], "Page    3 size"), QString("72 x 144 pts"));
        QCOMPARE(pdfInfo(made[0], "Page    4 size"), QString("72 x 72 pts"));
        QCOMPARE(progress.last(), 1.0);
        QCOMPARE(InstantTools::createPDF({file("beach.png")}, job, ignored), QStringList{file("beach.pdf")});
    }

    // One picture that cannot be decoded fails the whole PDF, and no part of it is left; so does a
    // cancel between pictures.
    void createPDFFailuresLeaveNothing()
    {
        QTemporaryDir dir;
        QImage image(20, 20, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(dir.filePath("a.png")));
        QFile bad(dir.filePath("b.png"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("not a picture");
        bad.close();
        const QStringList files{dir.filePath("a.png"), dir.filePath("b.png")};
        const QStringList before =
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

        Job job({}, {}, 0);
        QVERIFY_THROWS_EXCEPTION(ConvertError, InstantTools::createPDF(files, job, ignored));
        QVERIFY_THROWS_EXCEPTION(ConvertError, InstantTools::createPDF({}, job, ignored));
        Job cancelled({}, {}, 0);
        QVERIFY_THROWS_EXCEPTION(ConvertError, InstantTools::createPDF({files[0], files[0]}, cancelled,
                                                                       [&](double) { cancelled.cancel(); }));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
    }

    // Each archive into a folder of its own, numbered when the name is taken; a hostile one and a
    // file that is no archive leave nothing.
    void extractIntoNumberedFolders()
    {
        QTemporaryDir dir;
        const QString zip = dir.filePath("photos.zip");
        writeArchive(zip, {{"a.txt", "one"}, {"sub/b.txt", "two"}});
        const QStringList first = InstantTools::extractArchive(zip);
        QCOMPARE(first, QStringList{dir.filePath("photos Extracted")});
        QFile inner(dir.filePath("photos Extracted/sub/b.txt"));
        QVERIFY(inner.open(QIODevice::ReadOnly));
        QCOMPARE(inner.readAll(), QByteArray("two"));
        QCOMPARE(InstantTools::extractArchive(zip), QStringList{dir.filePath("photos Extracted 2")});

        writeArchive(dir.filePath("evil.zip"), {{"fine.txt", "x"}, {"../escaped.txt", "x"}});
        QVERIFY_THROWS_EXCEPTION(ConvertError, InstantTools::extractArchive(dir.filePath("evil.zip")));
        QFile(dir.filePath("notes.txt")).open(QIODevice::WriteOnly);
        try {
            InstantTools::extractArchive(dir.filePath("notes.txt"));
            QFAIL("extracted a text file");
        } catch (const ConvertError& e) {
            QCOMPARE(e.message(), QString("Not an archive"));
        }
        QCOMPARE(
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            (QStringList{"evil.zip", "notes.txt", "photos Extracted", "photos Extracted 2", "photos.zip"}));
        QVERIFY(!QFileInfo::exists(QFileInfo(dir.path()).dir().filePath("escaped.txt")));
    }
};

QTEST_MAIN(InstantToolsTest)
#include "test_instanttools.moc"
