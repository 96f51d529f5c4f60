// The audio tool operations run for real on lavfi sources and read back with ffprobe: names,
// lengths, channels, loudness, and the failures that ffmpeg itself would report as success.

#include "../../support/enginefixtures_a.h"
#include "core/job.h"
#include "engines/media/toolops.h"
#include "engines/media/toolrun.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <functional>
#include <thread>
#include <tuple>

namespace {

// ffprobe's reading of a file: its format and first stream of each kind.
struct Probed
{
    double duration = 0;
    int channels = 0, sampleRate = 0, width = 0, height = 0;
    QString video, audio;
};

Probed ffprobe(const QString& path)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-print_format", "json", "-show_format", "-show_streams", path});
    p.waitForFinished(60000);
    const QJsonObject top = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    Probed out;
    out.duration = top["format"].toObject()["duration"].toString().toDouble();
    for (const QJsonValue& v : top["streams"].toArray()) {
        const QJsonObject s = v.toObject();
        if (s["codec_type"] == "audio" && out.audio.isEmpty()) {
            out.audio = s["codec_name"].toString();
            out.channels = s["channels"].toInt();
            out.sampleRate = s["sample_rate"].toString().toInt();
        } else if (s["codec_type"] == "video" && out.video.isEmpty()) {
            out.video = s["codec_name"].toString();
            out.width = s["width"].toInt();
            out.height = s["height"].toInt();
        }
    }
    return out;
}

// The loudest peak and the integrated loudness ffmpeg measures, in dB and LUFS.
std::pair<double, double> levels(const QString& path, const QString& from = {}, const QString& to = {})
{
    QProcess p;
    QStringList args{"-hide_banner", "-nostats"};
    if (!from.isEmpty()) args << "-ss" << from << "-to" << to;
    p.start("ffmpeg", args + QStringList{"-i", path, "-af", "volumedetect,ebur128", "-f", "null", "-"});
    p.waitForFinished(60000);
    const QString err = p.readAllStandardError();
    const auto number = [&](const char* pattern) {
        const auto m = QRegularExpression(pattern).match(err, 0);
        return m.hasMatch() ? m.captured(1).toDouble() : qQNaN();
    };
    return {number(R"(max_volume:\s*(-?[\d.]+) dB)"), number(R"(Summary:[\s\S]*I:\s*(-?[\d.]+) LUFS)")};
}

// The peak of one channel of `path` between two times, in dB.
double channelPeak(const QString& path, int channel, const QString& from, const QString& to)
{
    QProcess p;
    p.start("ffmpeg", {"-hide_banner", "-nostats", "-ss", from, "-to", to, "-i", path, "-af",
                       QString("pan=mono|c0=c%1,volumedetect").arg(channel), "-f", "null", "-"});
    p.waitForFinished(60000);
    const auto m = QRegularExpression(R"(max_volume:\s*(-?[\d.]+) dB)").match(p.readAllStandardError());
    return m.hasMatch() ? m.captured(1).toDouble() : qQNaN();
}

// How many picture streams of `path` are marked as attached (cover) pictures.
int coverPictures(const QString& path)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-select_streams", "v", "-show_entries",
                        "stream_disposition=attached_pic", "-of", "csv=p=0", path});
    p.waitForFinished(60000);
    return int(QString(p.readAllStandardOutput()).split('\n').filter("1").size());
}

QStringList hiddenIn(const QString& folder)
{
    return QDir(folder).entryList({".tolvane-*"}, QDir::AllEntries | QDir::Hidden);
}

} // namespace

class AudioOpsTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    Job m_job{{}, {}, 0};

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString make(const QString& name, const QStringList& args)
    {
        if (!Fixture::ffmpeg(args + QStringList{path(name)})) return {};
        return path(name);
    }

  private slots:
    void initTestCase()
    {
        // A 440 Hz tone from 1 s to 3 s of 5 s, stereo, at −7.5 dB; a mono tone; a 5.1 tone whose
        // only sound is in the centre.
        const QString wave = "0.42*if(between(t,1,3),sin(2*PI*440*t),0)";
        const QString tone = "aevalsrc='" + wave + "|" + wave + "':d=5:s=44100";
        QVERIFY(!make("Song.MP3", {"-f", "lavfi", "-i", tone, "-c:a", "libmp3lame"}).isEmpty());
        QVERIFY(!make("Talk.m4a", {"-f", "lavfi", "-i", "sine=f=300:d=4:r=48000", "-ac", "1"}).isEmpty());
        QVERIFY(!make("Tone.wav", {"-f", "lavfi", "-i", tone}).isEmpty());
        QVERIFY(!make("Centre.flac", {"-f", "lavfi", "-i", "sine=f=500:d=3:r=48000", "-af",
                                      "pan=5.1|FL=0*c0|FR=0*c0|FC=c0|LFE=0*c0|BL=0*c0|BR=0*c0"})
                     .isEmpty());
        QVERIFY(!make("Picture.mp4", {"-f", "lavfi", "-i", "testsrc2=s=320x240:d=1", "-pix_fmt", "yuv420p"})
                     .isEmpty());
        QVERIFY(!make("bg.png", {"-f", "lavfi", "-i", "color=red:s=800x600", "-frames:v", "1"}).isEmpty());
        QVERIFY(QFile::rename(path("bg.png"), path("bg 100%d.png")));
        // The same song with a cover picture, as a tagger leaves it: PNG in MP3 and FLAC, JPEG in M4A.
        QVERIFY(!make("cover.png", {"-f", "lavfi", "-i", "testsrc2=s=64x64", "-frames:v", "1"}).isEmpty());
        QVERIFY(!make("cover.jpg", {"-f", "lavfi", "-i", "testsrc2=s=64x64", "-frames:v", "1"}).isEmpty());
        for (const auto& [name, picture, codec] :
             {std::tuple{"Cover.mp3", "cover.png", "libmp3lame"}, std::tuple{"Cover.m4a", "cover.jpg", "aac"},
              std::tuple{"Cover.flac", "cover.png", "flac"}})
            QVERIFY(
                !make(name, {"-f", "lavfi", "-i", "sine=d=2.5", "-i", path(picture), "-map", "0:a", "-map",
                             "1:v", "-c:a", codec, "-c:v", "copy", "-disposition:v", "attached_pic"})
                     .isEmpty());
    }

    void trimNamesAndRange()
    {
        for (const QString suffix : {"", " 2", " 3"}) {
            const QStringList r = ToolOps::trimAudio(path("Talk.m4a"), 0.5, 2.5, m_job, {});
            QCOMPARE(r, QStringList{path("Talk Trimmed" + suffix + ".m4a")});
        }
        QCOMPARE(ffprobe(path("Talk Trimmed.m4a")).channels, 1);
        QVERIFY(qAbs(ffprobe(path("Talk Trimmed.m4a")).duration - 2.0) < 0.1);
        const QStringList mp3 = ToolOps::trimAudio(path("Song.MP3"), 1, 3, m_job, {});
        QCOMPARE(mp3, QStringList{path("Song Trimmed.mp3")});

        // Past the end ffmpeg writes an empty file and exits 0; that file must not be delivered.
        const ConvertError e =
            Fixture::failure([&] { ToolOps::trimAudio(path("Talk.m4a"), 7, 9, m_job, {}); });
        QCOMPARE(e.message(), "The chosen range lies past the end of Talk.m4a");
        QVERIFY(!QFile::exists(path("Talk Trimmed 4.m4a")));
        QVERIFY(hiddenIn(m_dir.path()).isEmpty());
    }

    // ffmpeg asked for a range past the end writes a file without a moment of sound and exits 0.
    void emptyResultIsRefused()
    {
        QVERIFY(Fixture::ffmpeg({"-i", path("Talk.m4a"), "-ss", "7", "-to", "9", path("empty.m4a")}));
        QVERIFY(QFileInfo(path("empty.m4a")).size() > 0);
        QVERIFY(Fixture::ffmpeg(
            {"-f", "lavfi", "-i", "sine", "-t", "0", path("empty.wav")})); // a stream, no sound
        for (const QString name : {"empty.m4a", "empty.wav"})
            QCOMPARE(Fixture::failure([&] { ToolRun::requireContent(path(name), "empty"); }).message(),
                     "empty");
        ToolRun::requireContent(path("Talk.m4a"), "empty");
        QVERIFY(QFile::remove(path("empty.m4a")) && QFile::remove(path("empty.wav")));
    }

    void channelsFollowEachFile()
    {
        // A mono file made stereo fills both sides; a 5.1 file made mono keeps its centre.
        const QString stereo = ToolOps::channels(path("Talk.m4a"), true, 100, 100, m_job, {}).value(0);
        QCOMPARE(stereo, path("Talk Stereo.m4a"));
        QCOMPARE(ffprobe(stereo).channels, 2);
        QVERIFY(levels(stereo, "0", "4").first > -20);
        QProcess right;
        right.start("ffmpeg", {"-hide_banner", "-nostats", "-i", stereo, "-af", "pan=mono|c0=c1,volumedetect",
                               "-f", "null", "-"});
        right.waitForFinished();
        QVERIFY(!right.readAllStandardError().contains("max_volume: -91"));

        // Surround sound is mixed down the standard way: the centre (a tone at −18 dB) reaches
        // each side, and mono, 3 dB down.
        const QString mono = ToolOps::channels(path("Centre.flac"), false, 100, 100, m_job, {}).value(0);
        QCOMPARE(mono, path("Centre Mono.flac"));
        QCOMPARE(ffprobe(mono).channels, 1);
        const QString both = ToolOps::channels(path("Centre.flac"), true, 100, 100, m_job, {}).value(0);
        QCOMPARE(ffprobe(both).channels, 2);
        for (const auto& [file, channel] : {std::pair{mono, 0}, std::pair{both, 0}, std::pair{both, 1}}) {
            const double peak = channelPeak(file, channel, "0", "3");
            QVERIFY2(qAbs(peak + 21.1) < 0.5,
                     qPrintable(QString("%1 c%2: %3").arg(file).arg(channel).arg(peak)));
        }
    }

    void bleepSilencesTheRanges()
    {
        const QList<BleepRange> ranges{{QUuid::createUuid(), 2.0, 2.5}, {QUuid::createUuid(), 1.2, 1.6}};
        const QString out = ToolOps::bleep(path("Tone.wav"), ranges, m_job, {}).value(0);
        QCOMPARE(out, path("Tone Bleeped.wav"));
        QVERIFY(qAbs(ffprobe(out).duration - 5.0) < 0.1);
        // Inside a range only the tone (amplitude 0.3, −10.5 dB) is left; outside, the source.
        QVERIFY(qAbs(levels(out, "1.25", "1.55").first + 10.5) < 0.6);
        QVERIFY(qAbs(levels(out, "2.6", "2.9").first + 7.5) < 0.6);
        QVERIFY_THROWS_EXCEPTION(ConvertError, ToolOps::bleep(path("Tone.wav"), {}, m_job, {}));

        // Every channel of surround sound is silenced and sounds the tone, the centre's own
        // tone gone.
        const QString surround =
            ToolOps::bleep(path("Centre.flac"), {{QUuid::createUuid(), 1.0, 2.0}}, m_job, {}).value(0);
        QCOMPARE(ffprobe(surround).channels, 6);
        for (int channel = 0; channel < 6; ++channel) {
            const double peak = channelPeak(surround, channel, "1.1", "1.9");
            QVERIFY2(qAbs(peak + 10.5) < 0.6, qPrintable(QString("c%1: %2").arg(channel).arg(peak)));
        }
    }

    // Each audio tool keeps the cover picture of an MP3, M4A or FLAC file.
    void coversAreKept()
    {
        const QList<BleepRange> bleeps{{QUuid::createUuid(), 1.0, 1.5}};
        const QList<std::pair<QString, std::function<QStringList(const QString&)>>> tools{
            {"trim", [&](const QString& f) { return ToolOps::trimAudio(f, 0.5, 2, m_job, {}); }},
            {"channels", [&](const QString& f) { return ToolOps::channels(f, false, 100, 100, m_job, {}); }},
            {"bleep", [&](const QString& f) { return ToolOps::bleep(f, bleeps, m_job, {}); }},
            {"normalize",
             [&](const QString& f) { return ToolOps::normalize(f, LoudnessTarget::peak, m_job, {}); }}};
        for (const QString name : {"Cover.mp3", "Cover.m4a", "Cover.flac"}) {
            QCOMPARE(coverPictures(path(name)), 1);
            for (const auto& [tool, run] : tools) {
                const QString out = run(path(name)).value(0);
                QVERIFY2(coverPictures(out) == 1, qPrintable(name + " " + tool));
                QVERIFY(!ffprobe(out).audio.isEmpty());
                QVERIFY(QFile::remove(out));
            }
        }
    }

    void normalizeEveryContainer_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("result");
        QTest::newRow("m4a") << "Talk.m4a"
                             << "Talk Normalized.m4a";
        QTest::newRow("wav") << "Tone.wav"
                             << "Tone Normalized.wav";
        QTest::newRow("flac") << "Centre.flac"
                              << "Centre Normalized.flac";
        QTest::newRow("mp3") << "Song.MP3"
                             << "Song Normalized.mp3";
    }
    void normalizeEveryContainer()
    {
        QFETCH(QString, source);
        QFETCH(QString, result);
        const Probed before = ffprobe(path(source));
        const QString out = ToolOps::normalize(path(source), LoudnessTarget::streaming, m_job, {}).value(0);
        QCOMPARE(out, path(result));
        const Probed after = ffprobe(out);
        QCOMPARE(after.sampleRate, before.sampleRate);
        QCOMPARE(after.channels, before.channels);
        QVERIFY(QFile::remove(out));
    }

    void normalizePeak()
    {
        const QString out = ToolOps::normalize(path("Tone.wav"), LoudnessTarget::peak, m_job, {}).value(0);
        QVERIFY2(qAbs(levels(out).first + 1.0) < 0.2, qPrintable(QString::number(levels(out).first)));
        // A file whose peak can't be measured fails instead of getting a guessed gain: one without
        // sound, and one whose sound lasts no time, which ffmpeg would "normalize" without a word.
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "sine", "-t", "0", path("Empty.wav")}));
        for (const QString name : {"Empty.wav", "Picture.mp4"}) {
            const ConvertError e =
                Fixture::failure([&] { ToolOps::normalize(path(name), LoudnessTarget::peak, m_job, {}); });
            QVERIFY2(e.message().startsWith("Couldn’t measure the loudest peak of " + name),
                     qPrintable(e.message()));
        }
        QVERIFY(!QFile::exists(path("Picture Normalized.mp4")) &&
                !QFile::exists(path("Empty Normalized.wav")));
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
        const QString duet = make("Duet.mp3", {"-f", "lavfi", "-i", "sine=f=440:d=1.5", "-ac", "2"});
        const QString bars = ToolOps::visualize(duet, VisualShape::square, VisualStyle::bars, "38D9F5",
                                                std::nullopt, m_job, {})
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

    void missingFfmpeg()
    {
        QTemporaryDir empty;
        qputenv("TOLVANE_SEARCH_PATH", empty.path().toUtf8());
        const ConvertError e =
            Fixture::failure([&] { ToolOps::normalize(path("Tone.wav"), LoudnessTarget::peak, m_job, {}); });
        qunsetenv("TOLVANE_SEARCH_PATH");
        QCOMPARE(e.kind(), ConvertError::Kind::missingTool);
    }
};

QTEST_GUILESS_MAIN(AudioOpsTest)
#include "test_audioops.moc"
