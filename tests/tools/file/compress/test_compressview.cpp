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
        QCOMPARE(CompressWork::audioArgs("in.wav", "t.flac", 128, probe),
                 (QStringList{"-i", "in.wav", "-vn", "-map_metadata", "0", "-c:a", "flac",
                              "-compression_level", "12", "t.flac"}));
        QCOMPARE(CompressWork::audioArgs("in.mp3", "t.mp3", 192, probe).mid(5),
                 (QStringList{"-c:a", "libmp3lame", "-b:a", "192k", "t.mp3"}));
        QCOMPARE(CompressWork::audioArgs("in.m4a", "t.m4a", 96, probe).mid(5, 4),
                 Media::audioArgs("m4a", probe, 96));
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
