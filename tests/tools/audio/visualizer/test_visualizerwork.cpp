// The Audio Visualizer's work: its filter graph and arguments under two locales, and videos made
// for real from lavfi clips, read back with ffprobe and by their pixels.

#include "tools/audio/visualizer/visualizerwork.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>
#include <optional>
#include <thread>

#include "../../../support/audioclips.h"

using namespace AudioClips;

class VisualizerWorkTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    Job m_job{{}, {}, 0};

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        for (const QString name : {"Song.MP3", "Talk.m4a", "bg 100%d.png"})
            QVERIFY(!make(m_dir.path(), name).isEmpty());
    }

    void arguments_data() { decimalLocaleRows(); }
    void arguments()
    {
        const RowLocale locale;
        QVERIFY2(locale.isSet(), QTest::currentDataTag());
        QCOMPARE(VisualizerWork::graph(VisualShape::landscape, VisualStyle::bars, "38D9F5", 1, false),
                 "color=black:s=1920x1080:r=30[bg];[0:a]aresample=async=1:first_pts=0,asplit[shown][a];"
                 "[shown]showfreqs=s=1920x360:mode=bar:ascale=sqrt:fscale=log:"
                 "colors=0x38D9F5:win_size=2048:overlap=0,fps=30,format=rgba,colorkey=black:0.01:0.0[w];"
                 "[bg][w]overlay=0:(H-h)/2:shortest=1,format=yuv420p[v]");
        QVERIFY(VisualizerWork::graph(VisualShape::square, VisualStyle::bars, "FF5200", 2, false)
                    .contains(":colors=0xFF5200|0xFF5200:"));
        const QStringList visual = VisualizerWork::args("/m/s.mp3", VisualShape::portrait, VisualStyle::wave,
                                                        "FF5200", 2, "/t/bg.png", 61.5, "o");
        QVERIFY(visual.join(' ').contains("-f png_pipe -i /t/bg.png"));
        QVERIFY(visual.join(' ').contains("-shortest -t 61.500 "));
    }

    void visualize()
    {
        const QString square = ToolOps::visualize(path("Song.MP3"), VisualShape::square, VisualStyle::wave,
                                                  "FF5200", std::nullopt, m_job, {})
                                   .value(0);
        QCOMPARE(square, path("Song Visualizer.mp4"));
        const Probed s = ffprobe(square);
        QCOMPARE(QSize(s.width, s.height), QSize(1080, 1080));
        QCOMPARE(s.video, "h264");
        QCOMPARE(s.audio, "aac");
        QVERIFY(qAbs(s.duration - 5.0) < 0.2);

        // A background whose name ffmpeg would take for a numbered sequence reaches it as a PNG.
        const QString portrait =
            ToolOps::visualize(path("Song.MP3"), VisualShape::portrait, VisualStyle::bars, "FFFFFF",
                               path("bg 100%d.png"), m_job, {})
                .value(0);
        const Probed p = ffprobe(portrait);
        QCOMPARE(QSize(p.width, p.height), QSize(1080, 1920));

        // Bars of a stereo song are drawn in the chosen colour on both channels, none in white.
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "sine=f=440:d=1.5", "-ac", "2", path("Duet.mp3")}));
        const QString bars = ToolOps::visualize(path("Duet.mp3"), VisualShape::square, VisualStyle::bars,
                                                "38D9F5", std::nullopt, m_job, {})
                                 .value(0);
        QVERIFY(Fixture::ffmpeg({"-ss", "1", "-i", bars, "-frames:v", "1", path("frame.png")}));
        const QImage frame(path("frame.png"));
        QCOMPARE(frame.size(), QSize(1080, 1080));
        int chosen = 0, white = 0;
        for (int y = 360; y < 720; ++y)
            for (int x = 0; x < frame.width(); ++x) {
                const QColor c = frame.pixelColor(x, y);
                if (c.value() > 180 && c.hsvSaturation() < 40) ++white;
                // The edges of bars come out paler, where the colour is shared with the black.
                else if (c.value() > 96 && c.hsvSaturation() > 96 && qAbs(c.hsvHue() - 191) < 15)
                    ++chosen;
            }
        QVERIFY2(chosen > 500 && white < chosen / 100, qPrintable(QString("%1 %2").arg(chosen).arg(white)));

        for (const QString bad : {"red", "FF520", "FF5200:x", "0xFF5200", "FF5200[v]"})
            QCOMPARE(Fixture::failure([&] {
                         ToolOps::visualize(path("Song.MP3"), VisualShape::square, VisualStyle::line, bad,
                                            std::nullopt, m_job, {});
                     }).kind(),
                     ConvertError::Kind::unsupported);
        const ConvertError unreadable = Fixture::failure([&] {
            ToolOps::visualize(path("Song.MP3"), VisualShape::square, VisualStyle::line, "FFFFFF",
                               path("Talk.m4a"), m_job, {});
        });
        QCOMPARE(unreadable.message(), "Couldn’t read the background picture Talk.m4a");
        QVERIFY(hiddenIn(m_dir.path()).isEmpty());
    }

    // A song's cover, and subtitles an MKA holds, are named; the film keeps its full length.
    void namesWhatTheFilmLeavesOut()
    {
        for (const QString name : {"Cover.mp3", "Cover.ogg"}) {
            QVERIFY(!make(m_dir.path(), name).isEmpty());
            Job job({}, {}, 0);
            const QString film = ToolOps::visualize(path(name), VisualShape::square, VisualStyle::line,
                                                    "FFFFFF", std::nullopt, job, {})
                                     .value(0);
            QCOMPARE(job.notes(),
                     QStringList{
                         "The cover picture was left out: the video holds the drawing and the sound only"});
            QVERIFY2(qAbs(ffprobe(film).duration - 6.0) < 0.2, qPrintable(name));
        }
        QFile cues(path("words.srt"));
        QVERIFY(cues.open(QIODevice::WriteOnly) &&
                cues.write("1\n00:00:00,500 --> 00:00:01,500\nLa la\n") > 0);
        cues.close();
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "sine=d=2", "-i", path("words.srt"), "-map", "0",
                                 "-map", "1", "-metadata:s:s:0", "title=Lyrics", "-c:a", "libopus", "-c:s",
                                 "srt", path("Words.mka")}));
        Job job({}, {}, 0);
        ToolOps::visualize(path("Words.mka"), VisualShape::square, VisualStyle::wave, "FFFFFF", std::nullopt,
                           job, {});
        QCOMPARE(job.notes(),
                 QStringList{
                     "The subtitles “Lyrics” were left out: the video holds the drawing and the sound only"});

        Job plain({}, {}, 0);
        ToolOps::visualize(path("Song.MP3"), VisualShape::square, VisualStyle::wave, "FFFFFF", std::nullopt,
                           plain, {});
        QCOMPARE(plain.notes(), QStringList());
    }

    void cancelLeavesNothing()
    {
        QTemporaryDir dir;
        const QString longSong = dir.filePath("Long.mp3");
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "sine=d=120", longSong}));
        Job job({}, {}, 0);
        std::optional<ConvertError> error;
        std::thread worker([&] {
            error = Fixture::failure([&] {
                ToolOps::visualize(longSong, VisualShape::landscape, VisualStyle::wave, "FFFFFF",
                                   std::nullopt, job, [&](double) { job.cancel(); });
            });
        });
        worker.join();
        QVERIFY(error && error->isCancelled());
        QCOMPARE(Fixture::entries(dir.path()), QStringList{"Long.mp3"});
    }
};

QTEST_GUILESS_MAIN(VisualizerWorkTest)
#include "test_visualizerwork.moc"
