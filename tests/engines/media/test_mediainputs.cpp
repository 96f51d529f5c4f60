// Every input of every ffmpeg and ffprobe run is read only with the file protocol and the media
// demuxers: the real programs run behind a wrapper that writes down their arguments.

#include "engines/image/videoframe.h"
#include "engines/instant/instanttools.h"
#include "engines/media/media.h"
#include "engines/media/waveform.h"

#include "../../support/enginefixtures_a.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace Fixture;

namespace {

// Demuxers that read other files or addresses, or run what they are given.
const QStringList reachingOut{"concat", "hls",  "dash",   "imf", "image2",     "lavfi",
                              "sdp",    "rtsp", "rtp",    "tee", "ffmetadata", "mpjpeg",
                              "srt",    "ass",  "webvtt", "tty", "data",       "bin"};

// Why the options of the input whose path ends `options` don't hold the guard; empty when they do.
QString unguarded(const QStringList& options)
{
    const qsizetype formats = options.lastIndexOf("-format_whitelist");
    const qsizetype protocols = options.lastIndexOf("-protocol_whitelist");
    if (protocols < 0 || options.value(protocols + 1) != "file") return "no -protocol_whitelist file";
    if (formats < 0) return "no -format_whitelist";
    const QStringList demuxers = options.value(formats + 1).split(',');
    if (demuxers != Media::mediaDemuxers()) return "demuxers " + demuxers.join(',');
    for (const QString& name : reachingOut)
        if (demuxers.contains(name)) return name + " is allowed";
    return {};
}

// The inputs of one run without the guard before them, each with the reason.
QStringList unguardedInputs(const QString& program, const QStringList& args)
{
    QStringList found;
    if (program == "ffprobe") {
        if (const QString why = unguarded(args.mid(0, args.size() - 1)); !why.isEmpty())
            found << args.last() + ": " + why;
        return found;
    }
    qsizetype from = 0;
    for (qsizetype i = 0; i + 1 < args.size(); ++i) {
        if (args[i] != "-i") continue;
        const QStringList options = args.mid(from, i - from);
        if (!(options.size() >= 2 && options[options.size() - 2] == "-f"))
            if (const QString why = unguarded(options); !why.isEmpty()) found << args[i + 1] + ": " + why;
        from = i + 2;
    }
    return found;
}

} // namespace

class MediaInputsTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir, m_bin, m_calls;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Each run of the programs so far: the program's name and its arguments.
    QList<std::pair<QString, QStringList>> calls() const
    {
        QList<std::pair<QString, QStringList>> out;
        for (const QString& name : entries(m_calls.path())) {
            QFile f(m_calls.filePath(name));
            if (!f.open(QIODevice::ReadOnly)) continue;
            QStringList args;
            for (const QByteArray& arg : f.readAll().split('\0'))
                args << QString::fromUtf8(arg);
            args.removeLast(); // after the last NUL
            out.append({name.section('.', 0, 0), args});
        }
        return out;
    }

  private slots:
    void initTestCase()
    {
        const QStringList sources{"-f", "lavfi", "-i", "testsrc2=s=160x120:r=25:d=1",
                                  "-f", "lavfi", "-i", "sine=d=1"};
        const QStringList x264{"-c:v",    "libx264", "-preset", "ultrafast", "-pix_fmt",
                               "yuv420p", "-c:a",    "aac",     "-shortest"};
        QVERIFY(ffmpeg(sources + x264 << path("clip.mkv")));
        // A second audio track that MP4 can't hold: the stream copy fails and is redone.
        QVERIFY(
            ffmpeg(sources +
                   QStringList{"-f", "lavfi", "-i", "sine=f=220:d=1", "-map", "0", "-map", "1", "-map", "2"} +
                   x264 + QStringList{"-c:a:1", "pcm_s16le", path("two.mkv")}));
        for (const QString program : {"ffmpeg", "ffprobe"}) {
            const QString real = QStandardPaths::findExecutable(program);
            QVERIFY(!real.isEmpty());
            QVERIFY(write(m_bin.filePath(program),
                          QString("#!/bin/sh\nprintf '%s\\0' \"$@\" > '%1/%2.'$$\nexec '%3' \"$@\"\n")
                              .arg(m_calls.path(), program, real)
                              .toUtf8()));
            QVERIFY(QFile::setPermissions(m_bin.filePath(program), QFile::ReadOwner | QFile::ExeOwner));
        }
        qputenv("TOLVANE_SEARCH_PATH", m_bin.path().toUtf8());
    }

    void cleanupTestCase() { qunsetenv("TOLVANE_SEARCH_PATH"); }

    // Conversions (a copy, a copy redone as an encode, audio alone), the muted copy, the waveform,
    // a still and ffprobe's reading: each input carries the guard.
    void everyInputIsGuarded()
    {
        QCOMPARE(convert(path("clip.mkv"), "mp4").size(), 1);
        QCOMPARE(convert(path("two.mkv"), "mp4").size(), 1);
        QCOMPARE(convert(path("clip.mkv"), "mp3").size(), 1);
        Job job({}, {}, 0);
        QCOMPARE(InstantTools::mute(path("clip.mkv"), job, {}).size(), 1);
        QVERIFY(!Media::waveform(path("clip.mkv"), 10).isEmpty());
        QVERIFY(!Media::frame(path("clip.mkv"), 0.5, 64).isNull());
        QVERIFY(Media::probeWithFfprobe(path("clip.mkv")).videoCodec == "h264");

        QStringList failures, roads;
        const QList<std::pair<QString, QStringList>> runs = calls();
        for (const auto& [program, args] : runs) {
            for (const QString& failure : unguardedInputs(program, args))
                failures << program + " " + failure;
            if (program == "ffprobe") roads << "probe";
            if (!args.contains("-i")) continue;
            const QString output = args.last();
            roads << (args.contains("f32le")        ? "waveform"
                      : args.contains("image2pipe") ? "frame"
                      : args.contains("0:V")        ? "mute"
                                                    : QFileInfo(output).suffix());
        }
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join('\n')));
        roads.sort();
        roads.removeDuplicates();
        QCOMPARE(roads, (QStringList{"frame", "mp3", "mp4", "mute", "probe", "waveform"}));
        // The copy of two.mkv failed and was done again: two runs, both guarded.
        QVERIFY(std::count_if(runs.cbegin(), runs.cend(),
                              [&](const auto& call) { return call.second.contains(path("two.mkv")); }) >= 2);
    }

    // Each input of one run gets its own guard; an input of a named format made by ffmpeg itself
    // (lavfi) needs none.
    void guardPerInput()
    {
        const QStringList args = Media::guardedInputs(
            {"-i", path("clip.mkv"), "-f", "lavfi", "-i", "color=red", "-i", path("two.mkv"), "out.mkv"});
        QCOMPARE(unguardedInputs("ffmpeg", args), QStringList());
        QCOMPARE(args.count("-format_whitelist"), 2);
    }
};

QTEST_GUILESS_MAIN(MediaInputsTest)
#include "test_mediainputs.moc"
