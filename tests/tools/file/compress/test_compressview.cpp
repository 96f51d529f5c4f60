// The Compress tool: its texts and audio routes, the window's estimate (started again on each
// change of the picture's settings, a superseded or orphaned one stopped, no scratch file left)
// and the whole road from the window to "Compressed" copies.

#include "core/job.h"
#include "engines/media/media.h"
#include "toolkit/toolwindow.h"
#include "tools/file/compress/compressview.h"
#include "tools/file/compress/compresswork.h"
#include "tools/toolwindows.h"

#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include "../../../support/toolharness.h"

namespace {

QImage noisy(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(3);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(int(random.bounded(256)), (x + y) % 256, int(random.bounded(256))));
    return image;
}

QStringList estimateFiles()
{
    return QDir::temp().entryList({"tolvane-est-*"}, QDir::Files);
}

bool run(const QString& program, const QStringList& args, const QString& folder = {})
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(program, args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QByteArray head(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(4) : QByteArray();
}

} // namespace

class CompressViewTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void textsAndRoutes()
    {
        QCOMPARE(CompressWork::estimateText(520, 1000, 1), QStringLiteral("1 KB (−48%)"));
        QCOMPARE(CompressWork::estimateText(310000, 800000, 2), QStringLiteral("310 KB each (−61%)"));
        QCOMPARE(CompressWork::estimateText(1120, 1000, 1), QStringLiteral("1 KB (+12%)"));
        QCOMPARE(CompressWork::estimateText(1000, 1000, 1), QStringLiteral("1 KB (−0%)"));
        QCOMPARE(CompressWork::targetText(950), QStringLiteral("950 KB"));
        QCOMPARE(CompressWork::targetText(1000), QStringLiteral("1.0 MB"));
        QCOMPARE(CompressWork::targetText(1500), QStringLiteral("1.5 MB"));
        QCOMPARE(CompressWork::percentText(55.9), QStringLiteral("55%"));

        using CompressWork::Kind;
        QCOMPARE(CompressWork::resultExtension(Kind::image, "a/Old.BMP"), QStringLiteral("png"));
        QCOMPARE(CompressWork::resultExtension(Kind::audio, "a/take.aif"), QStringLiteral("flac"));
        QCOMPARE(CompressWork::resultExtension(Kind::audio, "a/take.WAV"), QStringLiteral("flac"));
        QCOMPARE(CompressWork::resultExtension(Kind::video, "a/clip.MOV"), QStringLiteral("mov"));
        QCOMPARE(CompressWork::kind("notes.unknownext"), Kind::pdf);
        QCOMPARE(CompressWork::title(CompressWork::kind("x.mp3")), QStringLiteral("Compress Audio"));

        const Media::Probe probe;
        // The covers kept are copied as covers.
        ToolArgs::Extras cover;
        cover.copied << ToolArgs::Extras::Copied{1, "copy", ToolArgs::Extras::Copied::As::cover, {}, {}};
        cover.pictures = 0;
        QCOMPARE(
            CompressWork::audioArgs("in.wav", "t.flac", 128, probe, cover),
            (QStringList{"-i", "in.wav", "-map", "0:a", "-map", "0:1", "-c:v:0", "copy", "-disposition:v:0",
                         "attached_pic", "-map_metadata", "0", "-af", "aresample=async=1:first_pts=0", "-c:a",
                         "flac", "-compression_level", "12", "t.flac"}));
        QCOMPARE(CompressWork::audioArgs("in.mp3", "t.mp3", 192, probe).mid(8),
                 (QStringList{"-c:a", "libmp3lame", "-b:a", "192k", "t.mp3"}));
        QCOMPARE(CompressWork::audioArgs("in.m4a", "t.m4a", 96, probe).mid(8, 4),
                 Media::audioArgs("m4a", probe, 96));
        QCOMPARE(CompressWork::audioArgs("in.wav", "t.ogg", 96, probe).mid(0, 6),
                 (QStringList{"-i", "in.wav", "-map", "0:a", "-map_metadata", "0"}));
    }

    // The window is named after the kind of its first file; an unknown kind is a PDF's.
    void titleNamesTheKind()
    {
        QVERIFY(noisy({40, 30}).save(path("small.png")));
        const std::pair<QString, QString> rows[] = {
            {"small.png", "Compress Images"}, {"tune.mp3", "Compress Audio"}, {"film.mp4", "Compress Video"},
            {"paper.pdf", "Compress PDF"},    {"notes.xyz", "Compress PDF"},
        };
        ToolHarness harness;
        for (const auto& [name, title] : rows) {
            QFile file(path(name));
            if (!file.exists()) QVERIFY(file.open(QIODevice::WriteOnly));
            file.close();
            auto* view = harness.open<CompressView>(ToolID::compress, {path(name), path("small.png")});
            QVERIFY(view);
            QCOMPARE(view->title(), title);
        }
    }

    void estimateFollowsThePictureSettings()
    {
        QVERIFY(noisy({2400, 1600}).save(path("big.jpg"), "jpg", 95));
        ToolHarness harness;
        auto* view = harness.open<CompressView>(ToolID::compress, {path("big.jpg"), path("big.jpg")});
        QVERIFY(view);
        QCOMPARE(view->estimatesStarted(), 1);
        QVERIFY2(view->sizeText()->text().contains(" each (−"), qPrintable(view->sizeText()->text()));

        // Three changes in a row: each starts an estimate, the one running stops part-way, and
        // the last one's answer is shown.
        ImageCompressSettings s = view->choices().image;
        s.mode = ImageCompressMode::target;
        for (double kb : {900.0, 400.0, 150.0}) {
            s.targetKB = kb;
            view->setImageSettings(s);
        }
        QCOMPARE(view->estimatesStarted(), 4);
        QVERIFY(QTest::qWaitFor([view] { return view->estimate() && *view->estimate() != "…"; }, 60000));
        QCOMPARE(view->estimatesStopped(), 1);
        const QString shown = *view->estimate();
        const qint64 kb = shown.section(' ', 0, 0).toLongLong();
        QVERIFY2(shown.contains(" KB") && kb <= 150 * 1.024 + 1, qPrintable(shown));

        // The same settings again start nothing.
        view->setImageSettings(s);
        QCOMPARE(view->estimatesStarted(), 4);

        // Closed in the middle of an estimate: it stops part-way and leaves no scratch file.
        s.targetKB = 60;
        view->setImageSettings(s);
        QVERIFY(QTest::qWaitFor([] { return !estimateFiles().isEmpty(); }, 60000));
        const std::shared_ptr<const std::atomic<int>> stopped = view->stoppedCount();
        ToolWindows::openWindows().first()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(
            QTest::qWaitFor([&stopped] { return stopped->load() == 2 && estimateFiles().isEmpty(); }, 60000));
    }

    void videoAndPdfWindows()
    {
        QFile notes(path("notes.unknownext"));
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("plain words") > 0);
        notes.close();
        ToolHarness harness;
        auto* pdf = harness.open<CompressView>(ToolID::compress, {path("notes.unknownext")});
        QVERIFY(pdf);
        QCOMPARE(pdf->kind(), CompressWork::Kind::pdf);
        QVERIFY(pdf->note()->text().startsWith("Images inside"));
        pdf->setLevel(CompressLevel::small);
        QVERIFY(pdf->note()->text().startsWith("Smallest turns each page"));
        QCOMPARE(pdf->estimatesStarted(), 0);
        QVERIFY(!pdf->estimate());
    }

    // A copy that comes out no smaller than its source is not kept, whatever the kind: nothing
    // is left beside the source, and the job ends done with a note instead of a result.
    void noSmallerCopyIsKept()
    {
        QTemporaryDir dir;
        const auto in = [&dir](const QString& name) { return dir.filePath(name); };
        // Files other programs wrote that are as small as they get: text set by LibreOffice, a
        // PDF that only wraps a JPEG, a JPEG already at a low quality, a tightly packed PNG, a low-rate
        // MP3.
        QFile html(in("letter.html"));
        QVERIFY(html.open(QIODevice::WriteOnly) && html.write("<p>Dear reader, a short letter.</p>") > 0);
        html.close();
        QVERIFY(run("soffice", {"--headless", "-env:UserInstallation=file://" + in("profile"), "--convert-to",
                                "pdf", "--outdir", dir.path(), in("letter.html")}));
        QVERIFY(noisy({400, 300}).save(in("photo.jpg"), "jpg", 40));
        QVERIFY(run("/usr/bin/convert", {"-size", "300x200", "gradient:navy-orange", "-depth", "8", "-strip",
                                         "-define", "png:compression-level=9", in("sky.png")}));
        QVERIFY(run("img2pdf", {"-o", in("photos.pdf"), in("photo.jpg")}));
        QVERIFY(run("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=duration=1", "-b:a", "48k",
                               in("song.mp3")}));
        QDir(in("profile")).removeRecursively();
        QFile::remove(in("letter.html"));
        // img2pdf's own file packs a little tighter; that copy is as tight as it gets.
        Job packing("", "", 0);
        CompressWork::Choices high;
        high.level = CompressLevel::high;
        QCOMPARE(CompressWork::compressFile(in("photos.pdf"), CompressWork::Kind::pdf, high, packing,
                                            [](double) {}),
                 QStringList{in("photos Compressed.pdf")});

        using CompressWork::Kind;
        CompressWork::Choices smallest, loud;
        smallest.level = CompressLevel::small;
        high.image.level = CompressLevel::high;
        loud.bitrate = 192;
        const std::tuple<QString, Kind, CompressWork::Choices, QString> rows[] = {
            {"letter.pdf", Kind::pdf, smallest, "letter.pdf is already as small as this level makes it"},
            {"photos Compressed.pdf", Kind::pdf, high,
             "photos Compressed.pdf is already as small as this level makes it"},
            {"photo.jpg", Kind::image, high, "photo.jpg is already as small as this level makes it"},
            {"sky.png", Kind::image, high, "sky.png is already as small as this level makes it"},
            {"song.mp3", Kind::audio, loud, "song.mp3 is already as small as this bitrate makes it"},
        };
        const QStringList sources = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        for (const auto& [name, kind, choices, note] : rows) {
            Job job("", "", 0);
            const QStringList kept = CompressWork::compressFile(in(name), kind, choices, job, [](double) {});
            QVERIFY2(kept.isEmpty(), qPrintable(name));
            QCOMPARE(job.notes(), QStringList{note});
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), sources);
        }

        // Through the window: both files dropped, the job is done with their notes and no result.
        ToolHarness harness;
        auto* view =
            harness.open<CompressView>(ToolID::compress, {in("photos Compressed.pdf"), in("letter.pdf")});
        QVERIFY(view);
        view->setLevel(CompressLevel::small);
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job && job->state().phase == Job::Phase::done);
        QCOMPARE(job->results(), QStringList());
        QCOMPARE(job->detail(), QStringLiteral("0 of 2 saved"));
        QCOMPARE(job->notes().size(), 2);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), sources);
    }

    void windowWritesCompressedCopies()
    {
        QVERIFY(noisy({300, 200}).save(path("scan.bmp")));
        QVERIFY(QProcess::execute("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=duration=1",
                                             path("take.wav")}) == 0);
        ToolHarness harness;
        for (const QString& number : {QString(), QStringLiteral(" 2")}) {
            auto* view = harness.open<CompressView>(ToolID::compress, {path("scan.bmp")});
            QVERIFY(view);
            const std::shared_ptr<Job> job = harness.apply(*view);
            QVERIFY(job && job->state().phase == Job::Phase::done);
            QCOMPARE(job->results(), QStringList{path("scan Compressed" + number + ".png")});
            QCOMPARE(head(job->results()[0]), QByteArray("\x89PNG"));
        }
        auto* audio = harness.open<CompressView>(ToolID::compress, {path("take.wav")});
        QVERIFY(audio);
        const std::shared_ptr<Job> job = harness.apply(*audio);
        QVERIFY(job && job->state().phase == Job::Phase::done);
        QCOMPARE(job->results(), QStringList{path("take Compressed.flac")});
        QCOMPARE(head(job->results()[0]), QByteArray("fLaC"));
    }
};

QTEST_MAIN(CompressViewTest)
#include "test_compressview.moc"
