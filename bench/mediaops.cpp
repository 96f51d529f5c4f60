// Wall time of each audio and video tool operation against the same ffmpeg command lines run
// directly (the runner's fixed prefix and the operation's own arguments, written to a plain
// file), on lavfi sources made in the folder given. Runs alternate between the two sides over
// ROUNDS rounds (default 5); prints the medians, their ratio and whether the operation keeps
// within 5 % or 150 ms of ffmpeg alone.
// Usage: bench_mediaops DIR [CASE-REGEX]

#include "core/converterror.h"
#include "core/job.h"
#include "core/output.h"
#include "engines/media/toolargs.h"
#include "tools/audio/bleep/bleepwork.h"
#include "tools/audio/channels/audiochannelswork.h"
#include "tools/audio/normalize/normalizework.h"
#include "tools/audio/trim/trimaudiowork.h"
#include "tools/audio/visualizer/visualizerwork.h"
#include "tools/video/crop/cropvideowork.h"
#include "tools/video/join/joinwork.h"
#include "tools/video/redact/redactvideowork.h"
#include "tools/video/snapshots/snapshotswork.h"
#include "tools/video/speed/speedwork.h"
#include "tools/video/split/splitvideowork.h"
#include "tools/video/trim/trimvideowork.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

QString dir;
// The video the video cases work on: FILM_SIZE (1280x720) and FILM_SECONDS (8).
const QStringList filmSize =
    qEnvironmentVariable("FILM_SIZE", QStringLiteral("1280x720")).split(QLatin1Char('x'));
const int filmWidth = filmSize.value(0).toInt(), filmHeight = filmSize.value(1).toInt();
const int filmSeconds = qEnvironmentVariableIntValue("FILM_SECONDS") > 0
                            ? qEnvironmentVariableIntValue("FILM_SECONDS")
                            : 8;

QString at(const QString& name)
{
    return QDir(dir).filePath(name);
}

bool ffmpeg(const QStringList& args)
{
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(QStringLiteral("ffmpeg"), QStringList{"-hide_banner", "-nostdin", "-y", "-loglevel", "error",
                                                  "-progress", "pipe:1", "-nostats"} +
                                          args);
    return p.waitForFinished(-1) && p.exitCode() == 0;
}

// The measuring pass of peak normalize, run as the operation runs it, without the prefix.
double measuredPeak(const QString& source)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), NormalizeWork::measureArgs(source));
    p.waitForFinished(-1);
    const auto m = QRegularExpression(R"(max_volume:\s*(-?[\d.]+) dB)").match(p.readAllStandardError());
    return m.captured(1).toDouble();
}

void removeAll(const QStringList& paths)
{
    for (const QString& path : paths)
        if (QFileInfo(path).isDir())
            QDir(path).removeRecursively();
        else
            QFile::remove(path);
}

struct Case
{
    QString name;
    std::function<QStringList(Job&)> ours; // the operation; returns what it wrote
    std::function<QStringList()> theirs;   // ffmpeg alone; returns what it wrote
};

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

QString out(const QString& name)
{
    return at(QStringLiteral("direct ") + name);
}

QList<Case> cases()
{
    const QString song = at("Song.mp3"), film = at("Film.mp4"), quiet = at("Quiet.mov"),
                  bg = at("Backdrop.png");
    const auto run = [](const QStringList& args, const QString& result) {
        if (!ffmpeg(args)) throw ConvertError::failed("direct ffmpeg failed: " + result);
        return QStringList{result};
    };
    const QRectF box(0.1, 0.1, 0.3, 0.3);
    // What the audio tools keep beside the sound of a song without a cover: nothing.
    ToolArgs::Extras soundOnly;
    soundOnly.pictures = 0;
    return {
        {"trim audio 60 s mp3", [=](Job& j) { return ToolOps::trimAudio(song, 5, 45, j, {}); },
         [=] { return run(TrimAudioWork::args(song, 5, 45, "mp3", soundOnly, out("t.mp3")), out("t.mp3")); }},
        {"channels mono", [=](Job& j) { return ToolOps::channels(song, false, 100, 80, j, {}); },
         [=] {
             return run(AudioChannelsWork::args(song, ToolOps::channelFilter(false, 2, 100, 80), "mp3",
                                                soundOnly, out("c.mp3")),
                        out("c.mp3"));
         }},
        {"bleep",
         [=](Job& j) {
             return ToolOps::bleep(song, {{QUuid::createUuid(), 2, 4}}, j, {});
         },
         [=] {
             return run(
                 BleepWork::args(song, {{QUuid::createUuid(), 2, 4}}, 2, "mp3", soundOnly, out("b.mp3")),
                 out("b.mp3"));
         }},
        {"normalize streaming",
         [=](Job& j) { return ToolOps::normalize(song, LoudnessTarget::streaming, j, {}); },
         [=] {
             return run(NormalizeWork::args(song,
                                            NormalizeWork::loudnessFilter(LoudnessTarget::streaming, 44100),
                                            "mp3", soundOnly, out("n.mp3")),
                        out("n.mp3"));
         }},
        {"normalize peak", [=](Job& j) { return ToolOps::normalize(song, LoudnessTarget::peak, j, {}); },
         [=] {
             const QString filter = NormalizeWork::peakFilter(measuredPeak(song));
             return run(NormalizeWork::args(song, filter, "mp3", soundOnly, out("p.mp3")), out("p.mp3"));
         }},
        {"visualize wave",
         [=](Job& j) {
             return ToolOps::visualize(at("Short.mp3"), VisualShape::square, VisualStyle::wave, "FF5200",
                                       std::nullopt, j, {});
         },
         [=] {
             return run(VisualizerWork::args(at("Short.mp3"), VisualShape::square, VisualStyle::wave,
                                             "FF5200", 2, std::nullopt, 10, out("v.mp4")),
                        out("v.mp4"));
         }},
        {"visualize bars+bg",
         [=](Job& j) {
             return ToolOps::visualize(at("Short.mp3"), VisualShape::portrait, VisualStyle::bars, "FFFFFF",
                                       bg, j, {});
         },
         [=] {
             // ffmpeg alone reads the picture itself, as a first build would have handed it over.
             QStringList args = VisualizerWork::args(at("Short.mp3"), VisualShape::portrait,
                                                     VisualStyle::bars, "FFFFFF", 2, bg, 10, out("w.mp4"));
             args.removeAt(args.indexOf("-protocol_whitelist") + 1);
             args.removeOne("-protocol_whitelist");
             args.removeAt(args.indexOf("png_pipe") - 1);
             args.removeOne("png_pipe");
             return run(args, out("w.mp4"));
         }},
        {"trim video",
         [=](Job& j) {
             return ToolOps::trimVideo(film, {1, 6}, false, j, {});
         },
         [=] {
             return run(ToolArgs::trimVideo(film, {1, 6}, false, "mp4", out("t.mp4")), out("t.mp4"));
         }},
        {"trim video fast",
         [=](Job& j) {
             return ToolOps::trimVideo(film, {1, 6}, true, j, {});
         },
         [=] {
             return run(ToolArgs::trimVideo(film, {1, 6}, true, "mp4", out("f.mp4")), out("f.mp4"));
         }},
        {"split video 2 parts",
         [=](Job& j) {
             return ToolOps::splitVideo(film, {{0, 2}, {2, 4}}, false, j, {});
         },
         [=] {
             run(ToolArgs::trimVideo(film, {0, 2}, false, "mp4", out("s1.mp4")), {});
             return run(ToolArgs::trimVideo(film, {2, 4}, false, "mp4", out("s2.mp4")), out("s1.mp4")) +
                    QStringList{out("s2.mp4")};
         }},
        {"crop video", [=](Job& j) { return ToolOps::cropVideo(film, box, j, {}); },
         [=] { return run(CropVideoWork::args(film, box, "mp4", out("c.mp4")), out("c.mp4")); }},
        {"speed 2x", [=](Job& j) { return ToolOps::speed(film, 2, true, "2x", j, {}); },
         [=] { return run(SpeedWork::args(film, 2, true, 44100, "mp4", out("x.mp4")), out("x.mp4")); }},
        {"snapshots 2",
         [=](Job& j) {
             return ToolOps::snapshots(film, {1, 5}, j, {});
         },
         [=] {
             run(SnapshotsWork::args(film, 1, out("1.png")), {});
             return run(SnapshotsWork::args(film, 5, out("2.png")), out("2.png")) + QStringList{out("1.png")};
         }},
        {"join",
         [=](Job& j) {
             return ToolOps::join({film, quiet}, j, {});
         },
         [=] {
             return run(JoinWork::args({{film, filmWidth, filmHeight, 30, true, double(filmSeconds)},
                                        {quiet, 640, 480, 25, false, 3}},
                                       out("j.mp4")),
                        out("j.mp4"));
         }},
        {"redact blur",
         [=](Job& j) { return ToolOps::redactVideo(film, {box}, RedactStyle::blur, std::nullopt, j, {}); },
         [=] {
             return run(RedactVideoWork::args(film, {box}, RedactStyle::blur, std::nullopt,
                                              QSize(filmWidth, filmHeight), "mp4", out("r.mp4")),
                        out("r.mp4"));
         }},
    };
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_mediaops DIR [CASE-REGEX]\n");
        return 2;
    }
    dir = QString::fromLocal8Bit(argv[1]);
    const QRegularExpression only(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("."));
    const int rounds =
        qEnvironmentVariableIntValue("ROUNDS") > 0 ? qEnvironmentVariableIntValue("ROUNDS") : 5;

    std::printf("making the sources…\n");
    std::fflush(stdout);
    const bool made =
        ffmpeg({"-f", "lavfi", "-i", "sine=f=440:d=60", "-f", "lavfi", "-i", "sine=f=660:d=60",
                "-filter_complex", "[0:a][1:a]join=inputs=2:channel_layout=stereo", "-c:a", "libmp3lame",
                "-b:a", "192k", at("Song.mp3")}) &&
        ffmpeg({"-f", "lavfi", "-i", "sine=f=440:d=10", "-ac", "2", "-c:a", "libmp3lame", at("Short.mp3")}) &&
        ffmpeg({"-f", "lavfi", "-i",
                QStringLiteral("testsrc2=s=%1x%2:r=30:d=%3").arg(filmWidth).arg(filmHeight).arg(filmSeconds),
                "-f", "lavfi", "-i", QStringLiteral("sine=d=%1:r=44100").arg(filmSeconds), "-c:v", "libx264",
                "-preset", "veryfast", "-pix_fmt", "yuv420p", "-c:a", "aac", at("Film.mp4")}) &&
        ffmpeg({"-f", "lavfi", "-i", "testsrc=s=640x480:r=25:d=3", "-c:v", "libx264", "-preset", "veryfast",
                "-pix_fmt", "yuv420p", at("Quiet.mov")}) &&
        ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=1600x1200", "-frames:v", "1", at("Backdrop.png")});
    if (!made) {
        std::fprintf(stderr, "could not make the sources\n");
        return 1;
    }

    int over = 0;
    for (const Case& c : cases()) {
        if (!only.match(c.name).hasMatch()) continue;
        QList<double> ours, theirs;
        try {
            for (int round = 0; round < rounds; ++round) {
                for (int side = 0; side < 2; ++side) {
                    const bool mine = (side == 0) == (round % 2 == 0);
                    QElapsedTimer clock;
                    clock.start();
                    QStringList written;
                    if (mine) {
                        Job job({}, {}, 0);
                        written = c.ours(job);
                    } else {
                        written = c.theirs();
                    }
                    (mine ? ours : theirs) << clock.nsecsElapsed() / 1e9;
                    removeAll(written);
                }
            }
        } catch (const ConvertError& e) {
            std::printf("%-22s FAILED: %s\n", qPrintable(c.name), qPrintable(e.description()));
            ++over;
            continue;
        }
        const double a = median(ours), b = median(theirs);
        const bool ok = a <= std::max(b * 1.05, b + 0.150);
        over += ok ? 0 : 1;
        std::printf("%-22s tolvane %8.1f ms  ffmpeg %8.1f ms  ratio %5.2f  %+7.1f ms  %s\n",
                    qPrintable(c.name), a * 1000, b * 1000, a / b, (a - b) * 1000,
                    ok ? "within 5 % or 150 ms" : "OVER");
        std::fflush(stdout);
    }
    return over ? 1 : 0;
}
