#include "engines/instant/instanttools.h"

#include "../../support/enginefixtures_b.h"

#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QtTest>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString output(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

bool ffmpeg(const QStringList& args)
{
    return QProcess::execute("ffmpeg", QStringList{"-v", "error", "-f", "lavfi", "-i"} + args) == 0;
}

// A PDF of `pages` pages with a document title, written by Qt.
void writePDF(const QString& path, int pages, const QString& title)
{
    QPdfWriter writer(path);
    writer.setTitle(title);
    QPainter painter(&writer);
    for (int i = 1; i < pages; ++i)
        writer.newPage();
}

// What pdfinfo says by field: "Pages", "Title", "Page    1 size"…
QMap<QString, QString> pdfInfo(const QString& path)
{
    QMap<QString, QString> fields;
    for (const QString& line : output("pdfinfo", {"-f", "1", "-l", "99", path}).split('\n'))
        fields.insert(line.section(':', 0, 0), line.section(':', 1).trimmed());
    return fields;
}

// A picture of `size` that states `dotsPerMeter` as its resolution.
bool savePicture(const QString& path, QSize size, int dotsPerMeter)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    return image.save(path);
}

const std::function<void(double)> ignored = [](double) {};

} // namespace

class InstantToolsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString file(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    // The tool table in core routes a drop without loading this module: it must name exactly
    // the tools that have a row here, or a drop would open a missing window or run nothing.
    void coreKnowsTheWindowlessTools()
    {
        for (ToolID tool : allToolIds())
            QVERIFY2(isWindowless(tool) == (InstantTools::find(tool) != nullptr), qPrintable(rawValue(tool)));
    }

    // The audio goes, the video is copied. (How results are named: see test_tool.)
    void muteKeepsOnlyVideo()
    {
        QVERIFY(ffmpeg({"testsrc2=d=1:s=160x120", "-f", "lavfi", "-i", "sine=d=1", "-shortest", "-c:v",
                        "libx264", "-c:a", "aac", file("clip.mov")}));
        Job job({}, {}, 0);
        const QStringList first = InstantTools::mute(file("clip.mov"), job, ignored);
        QCOMPARE(first, QStringList{file("clip Muted.mov")});
        QCOMPARE(output("ffprobe",
                        {"-v", "error", "-show_entries", "stream=codec_type", "-of", "csv=p=0", first[0]}),
                 "video\n");
    }

    // One page a file, in a folder named after the source; the document title travels along.
    void splitNamesPagesAndFolders()
    {
        writePDF(file("Report.pdf"), 3, "Quarterly");
        Job job({}, {}, 0);
        const QStringList first = InstantTools::splitPDF(file("Report.pdf"), job, ignored);
        QCOMPARE(first, QStringList{file("Report Pages")});
        QCOMPARE(entries(first[0]),
                 (QStringList{"Report Page 001.pdf", "Report Page 002.pdf", "Report Page 003.pdf"}));
        for (const QString& page : entries(first[0])) {
            const QMap<QString, QString> info = pdfInfo(first[0] + "/" + page);
            QCOMPARE(info["Pages"] + " " + info["Title"], "1 Quarterly");
        }
        QCOMPARE(InstantTools::pageFileName("Report", 1000), "Report Page 1000.pdf");
    }

    // Pages in drop order, each pixels × 72 / dpi points: a PNG at 144 dpi gives half its pixels, a
    // JPEG that states no resolution counts as 72 dpi, others as they state it. Pages fill the
    // first 80 % of the bar.
    void createPDFSizesPagesByResolution()
    {
        QVERIFY(savePicture(file("beach.png"), {200, 100}, 5669));
        QVERIFY(ffmpeg({"testsrc2=s=90x120", "-frames:v", "1", file("cliff.jpg")}));
        QVERIFY(savePicture(file("dune.jpg"), {300, 600}, 11811)); // 300 dpi
        // 96 dpi, which Qt also assumes for pictures that state nothing.
        QVERIFY(savePicture(file("sky.png"), {96, 96}, 3780));
        Job job({}, {}, 0);
        QList<double> progress;
        const QStringList made =
            InstantTools::createPDF({file("beach.png"), file("cliff.jpg"), file("dune.jpg"), file("sky.png")},
                                    job, [&](double p) { progress << p; });
        QCOMPARE(made, QStringList{file("beach and 3 more.pdf")});
        QMap<QString, QString> info = pdfInfo(made[0]);
        QCOMPARE(info["Pages"], "4");
        QCOMPARE(QStringList({info["Page    1 size"], info["Page    2 size"], info["Page    3 size"],
                              info["Page    4 size"]}),
                 QStringList({"100 x 50 pts", "90 x 120 pts", "72 x 144 pts", "72 x 72 pts"}));
        QCOMPARE(progress.size(), 4);
        for (qsizetype i = 0; i < progress.size(); ++i)
            QCOMPARE(progress[i], 0.2 * double(i + 1));
        QCOMPARE(InstantTools::createPDF({file("beach.png")}, job, ignored), QStringList{file("beach.pdf")});
    }

    // Splitting a locked PDF or a file that is no PDF, a PDF of a picture that cannot be decoded or
    // of none, and a cancel in either tool leave nothing behind, not even a hidden beginning.
    void failuresLeaveNothing()
    {
        QTemporaryDir dir;
        const auto path = [&](const QString& name) { return dir.filePath(name); };
        writePDF(path("Long.pdf"), 5, {});
        QCOMPARE(QProcess::execute(
                     "qpdf", {"--encrypt", "u", "o", "256", "--", path("Long.pdf"), path("Locked.pdf")}),
                 0);
        QVERIFY(savePicture(path("a.png"), {20, 20}, 3780));
        writeFile(path("b.png"), "not a picture");
        Job job({}, {}, 0);
        QCOMPARE(message([&] { InstantTools::splitPDF(path("Locked.pdf"), job, ignored); }),
                 "Locked.pdf is password-protected");
        QCOMPARE(message([&] { InstantTools::splitPDF(writeFile(path("Fake.pdf")), job, ignored); }),
                 "Couldn’t open Fake.pdf");
        QVERIFY(failure([&] { InstantTools::createPDF({path("a.png"), path("b.png")}, job, ignored); }));
        QVERIFY(failure([&] { InstantTools::createPDF({}, job, ignored); }));
        // A photo whose download was cut short, or whose data were damaged, decodes with grey where
        // the picture is missing.
        QVERIFY(ffmpeg({"testsrc2=s=320x240", "-frames:v", "1", path("whole.jpg")}));
        QByteArray photo = readAll(path("whole.jpg"));
        writeFile(path("cut.jpg"), photo.left(photo.size() / 2));
        writeFile(path("broken.jpg"), photo.replace(photo.size() / 2, 64, QByteArray(64, '\xFF')));
        QCOMPARE(message([&] {
                     InstantTools::createPDF({path("a.png"), path("cut.jpg")}, job, ignored);
                 }),
                 "cut.jpg is damaged: its lower part is missing, so no PDF was made");
        const QString broken = message([&] { InstantTools::createPDF({path("broken.jpg")}, job, ignored); });
        QVERIFY2(broken.startsWith("broken.jpg is damaged: ") && broken.endsWith(", so no PDF was made"),
                 qPrintable(broken));
        for (const QString name : {"whole.jpg", "cut.jpg", "broken.jpg"})
            QVERIFY(QFile::remove(path(name)));
        const auto cancelled = [](const std::function<void(Job&)>& work) {
            Job job({}, {}, 0);
            const auto error = failure([&] { work(job); });
            return error && error->isCancelled();
        };
        QVERIFY(cancelled(
            [&](Job& j) { InstantTools::splitPDF(path("Long.pdf"), j, [&](double) { j.cancel(); }); }));
        QVERIFY(cancelled([&](Job& j) {
            InstantTools::createPDF({path("a.png"), path("a.png")}, j, [&](double) { j.cancel(); });
        }));
        // A pipe is refused before anything reads it: reading one never ends.
        QCOMPARE(::mkfifo(QFile::encodeName(path("live.mp4")).constData(), 0600), 0);
        const std::function<void()> tools[] = {
            [&] { InstantTools::mute(path("live.mp4"), job, ignored); },
            [&] { InstantTools::splitPDF(path("live.mp4"), job, ignored); },
            [&] { InstantTools::createPDF({path("live.mp4")}, job, ignored); }};
        for (const auto& tool : tools) {
            auto refused = std::async(std::launch::async, [&] { return message(tool); });
            if (refused.wait_for(std::chrono::seconds(30)) != std::future_status::ready)
                ::close(::open(QFile::encodeName(path("live.mp4")).constData(), O_WRONLY | O_NONBLOCK));
            QCOMPARE(refused.get(), QString("live.mp4 is a pipe, not a file"));
        }
        QVERIFY(QFile::remove(path("live.mp4")));
        QCOMPARE(entries(dir.path()), QStringList({"Fake.pdf", "Locked.pdf", "Long.pdf", "a.png", "b.png"}));
    }

    // The tool on the wheel unpacks like the archive engine's own tool: an archive's one top
    // folder is unwrapped, never doubled.
    void extractFromTheWheelUnwrapsTheTopFolder()
    {
        QTemporaryDir dir;
        const QString zip = writeArchive(dir.filePath("Photos.zip"), {{"Photos/a.txt", "one"}});
        QVERIFY(InstantTools::run(ToolID::extractArchive, {zip}, std::nullopt));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(dir.filePath("Photos Extracted/a.txt")), 10000);
        QCOMPARE(readAll(dir.filePath("Photos Extracted/a.txt")), "one");
    }
};

QTEST_MAIN(InstantToolsTest)
#include "test_instanttools.moc"
