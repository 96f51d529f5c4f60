#include "engines/media/ffmpegdescription.h"
#include "engines/media/media.h"

#include "core/job.h"
#include "core/settings.h"
#include "engines/converter.h"

#include "../../support/enginefixtures_a.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <csignal>
#include <future>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace Fixture;

namespace {

// Puts an executable script named ffmpeg first on the runner's search path.
bool fakeFfmpeg(const QTemporaryDir& bin, const QByteArray& body)
{
    if (!write(bin.filePath("ffmpeg"), "#!/bin/bash\n" + body)) return false;
    QFile(bin.filePath("ffmpeg")).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    qputenv("TOLVANE_SEARCH_PATH", bin.path().toUtf8() + ":/usr/bin:/bin");
    return true;
}

// The results opened for reading alone in `folder` while `work` ran: each name once. ffmpeg
// opens a result to write it.
QStringList readBack(const QString& folder, const std::function<void()>& work)
{
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch < 0 || ::inotify_add_watch(watch, QFile::encodeName(folder).constData(), IN_CLOSE_NOWRITE) < 0)
        return {"<no inotify>"};
    work();
    QStringList names;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t got; (got = ::read(watch, buffer, sizeof buffer)) > 0;)
        for (char* at = buffer; at < buffer + got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            const QString name = event->len ? QFile::decodeName(event->name) : QString();
            if (name.startsWith(".tolvane-") && !names.contains(name)) names << name;
            at += sizeof(inotify_event) + event->len;
        }
    ::close(watch);
    return names;
}

// Words of ffmpeg's own that a user should never be shown.
bool isPlain(const QString& message)
{
    return !message.contains("@ 0x") && !message.contains("Last message repeated") &&
           !message.contains(".tolvane-") && !message.contains("failed:");
}

} // namespace

class MediaResultsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QTemporaryDir m_config;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A copy of a fixture alone in `folder`.
    QString copy(const QString& name, const QTemporaryDir& folder)
    {
        QFile::copy(path(name), folder.filePath(name));
        return folder.filePath(name);
    }

  private slots:
    void initTestCase()
    {
        // The save-location setting changes below must never reach anyone else's settings.
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x240:r=25:d=2", "-f", "lavfi", "-i", "sine=d=2",
                        "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac",
                        path("clip.mkv")}));
        QVERIFY(ffmpeg({"-i", path("clip.mkv"), "-c", "copy", path("clip.mp4")}));
        // An AVI film's copy is made by the ffmpeg program, started on a guess.
        QVERIFY(
            ffmpeg({"-i", path("clip.mkv"), "-c", "copy", "-bsf:v", "h264_mp4toannexb", path("clip.avi")}));
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "sine=d=4", path("tone.wav")}));
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=64x48:d=1", "-c:v", "ffv1", path("silent.mkv")}));
        QVERIFY(write(path("broken.mp4"), QByteArray(5000, '\x17')));
        // Songs whose sound starts late: an audiobook whose first second is an empty edit, and an
        // Opus stream cut from a longer one, as a radio recording is.
        QVERIFY(write(path("chapters.txt"), ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1500\n"
                                            "title=Intro\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=1500\nEND=4000\n"
                                            "title=Main\n"));
        QVERIFY(
            ffmpeg({"-f", "lavfi", "-i", "sine=d=4", "-f", "ffmetadata", "-i", path("chapters.txt"), "-map",
                    "0", "-map_chapters", "1", "-c:a", "aac", "-output_ts_offset", "1", path("late.m4a")}));
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "sine=d=4", "-c:a", "libopus", "-output_ts_offset", "2.5",
                        path("late.opus")}));
    }

    void cleanup()
    {
        qunsetenv("TOLVANE_SEARCH_PATH");
        Settings::shared().setSaveLocation(SaveLocation::besideOriginal);
    }

    // A full disk: ffmpeg 5.1 exits 0 when only its trailer finds no room (the webm), 1 when
    // a packet does (the copy to mp4). Neither may pass for a result, and nothing may stay behind.
    void fullDisk()
    {
        for (const QString target : {"webm", "mp4", "mov"}) {
            QTemporaryDir disk;
            const QByteArray mountPoint = QFile::encodeName(disk.path());
            if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=32k") != 0)
                QSKIP("mounting a small tmpfs needs root");
            const auto unmount = qScopeGuard([&] { ::umount(mountPoint.constData()); });
            Settings::shared().setOutputFolder(disk.path());
            Settings::shared().setSaveLocation(SaveLocation::folder);
            const ConvertError e = failure([&] { convert(path("clip.mkv"), target); });
            QCOMPARE(e.message(), QString("The disk is full"));
            QVERIFY2(e.details().contains("No space left on device"), qPrintable(e.details()));
            QCOMPARE(entries(disk.path()), QStringList());
        }
    }

    // ffmpeg that exits 0 with half of its output: cut short on disk, as by a disk that fills
    // up (the header may still claim the full length), or stopped half way through its input.
    void truncatedResult_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QByteArray>("fake"); // the script, after the real ffmpeg's path in $real
        QTest::addColumn<QString>("why");     // what the message says after "The result is incomplete: "
        const QByteArray halfTheBytes =
            "\"$real\" \"$@\" || exit\n"
            "truncate -s \"$(( $(stat -c %s \"${@: -1}\") / 2 ))\" \"${@: -1}\"\n";
        // Nothing says the disk is full: the message tells what the result holds.
        const QString halfWritten = R"(it holds [01]\.\d s of the (1\.9|2\.\d|4\.0) s ffmpeg wrote)";
        const auto row = [](const char* name, const char* source, const char* target, const QByteArray& fake,
                            const QString& why) {
            QTest::newRow(name) << QString(source) << QString(target) << fake << why;
        };
        row("copy cut on disk", "clip.avi", "mkv", halfTheBytes, halfWritten);
        row("re-encode cut on disk", "clip.mkv", "avi", halfTheBytes, halfWritten);
        row("sound cut on disk", "tone.wav", "flac", halfTheBytes, halfWritten);
        row("gif cut on disk", "clip.mkv", "gif", halfTheBytes, halfWritten);
        row("sound stopped half way", "tone.wav", "mp3",
            "exec \"$real\" \"${@:1:$#-1}\" -t 1.5 \"${@: -1}\"\n", R"(its sound lasts 1\.5 s of 4\.0 s)");
        // ffmpeg's time is the picture's, which goes on to the end.
        row("sound stopped beside the picture", "clip.mp4", "avi",
            "exec \"$real\" \"${@:1:$#-1}\" -af atrim=end=0.5 \"${@: -1}\"\n",
            R"(its sound lasts 0\.5 s of 2\.0 s)");
        // Read as what was asked for, not as whatever the bytes resemble.
        // Sound that starts late lets no result half written pass.
        row("late sound cut on disk", "late.m4a", "flac", halfTheBytes,
            R"(it holds [12]\.\d s of the 5\.0 s ffmpeg wrote)");
        row("another format than asked", "tone.wav", "flac",
            "exec \"$real\" \"${@:1:$#-1}\" -f ogg \"${@: -1}\"\n",
            R"(it holds 2\.0 s of the 4\.0 s ffmpeg wrote)");
    }
    void truncatedResult()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(QByteArray, fake);
        QFETCH(QString, why);
        QTemporaryDir bin, folder;
        QVERIFY(fakeFfmpeg(bin, "real='" + QStandardPaths::findExecutable("ffmpeg").toUtf8() + "'\n" + fake));
        const ConvertError e = failure([&] { convert(copy(source, folder), target); });
        QVERIFY2(QRegularExpression("^The result is incomplete: " + why + "$").match(e.message()).hasMatch(),
                 qPrintable(e.message()));
        QCOMPARE(entries(folder.path()), QStringList{source});
    }

    // A half-downloaded source converts as far as it goes and says so; a whole 12 s clip reaches
    // every video target (ASF states no start, so its end was once measured from the seek).
    void shortSourcesAndLongClips()
    {
        QTemporaryDir folder;
        const QString clip = folder.filePath("long.mkv");
        QVERIFY(
            ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=64x48:r=10:d=12", "-f", "lavfi", "-i", "sine=d=12",
                    "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac", clip}));
        for (const QString target : {"mp4", "mov", "webm", "avi", "wmv", "gif"})
            QVERIFY2(convert(clip, target).size() == 1, qPrintable(target));

        for (const QString name : {"cut.mp3", "cut.flac", "cut.mp4"}) {
            const QString whole = folder.filePath("whole." + QFileInfo(name).suffix());
            QVERIFY(ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=64x48:r=10:d=20", "-f", "lavfi", "-i",
                            "sine=d=20", "-shortest", "-movflags", "+faststart", whole}));
            QFile in(whole);
            QVERIFY(in.open(QIODevice::ReadOnly));
            QVERIFY(write(folder.filePath(name), in.read(in.size() / 2)));
            Job job({}, {}, 0);
            const QStringList out = Converter::convert(
                folder.filePath(name), name.endsWith(".mp4") ? "mp3" : "m4a", job, [](double) {});
            QCOMPARE(out.size(), 1);
            const QStringList notes = job.notes();
            QVERIFY2(notes.size() == 1 &&
                         QRegularExpression("^The file is cut short: ([5-9]|1[0-4]) s of 20 s "
                                            "converted$")
                             .match(notes.value(0))
                             .hasMatch(),
                     qPrintable(notes.join('|')));
        }
    }

    // A Matroska or WebM film with sound, and a WAVE file whose header promises more than its
    // data, broken off after 60 % of their bytes, convert as far as they go and say so; ffmpeg
    // stopping short of what the source holds (a re-encode) still fails.
    void cutSourcesAreNoted()
    {
        QTemporaryDir folder, wholes;
        const QStringList film{"-f",       "lavfi",  "-i", "testsrc2=s=64x48:r=25:d=7",
                               "-f",       "lavfi",  "-i", "sine=d=7",
                               "-pix_fmt", "yuv420p"};
        const struct
        {
            const char* name;
            QStringList made;
            const char* target;
        } sources[] = {{"cut.mkv", film + QStringList{"-c:v", "libx264", "-c:a", "aac"}, "mp4"},
                       {"cut.webm",
                        film + QStringList{"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8"},
                        "mkv"},
                       {"cut.wav", {"-f", "lavfi", "-i", "sine=d=7"}, "mp3"}};
        for (const auto& s : sources) {
            const QString whole = wholes.filePath(s.name);
            QVERIFY(ffmpeg(s.made + QStringList{whole}));
            QFile in(whole);
            QVERIFY(in.open(QIODevice::ReadOnly));
            QVERIFY(write(folder.filePath(s.name), in.read(in.size() * 6 / 10)));
            Job job({}, {}, 0);
            QCOMPARE(Converter::convert(folder.filePath(s.name), s.target, job, {}).size(), 1);
            QVERIFY2(QRegularExpression("^The file is cut short: [3-5] s of 7 s converted$")
                         .match(job.notes().join('|'))
                         .hasMatch(),
                     qPrintable(s.name + (": " + job.notes().join('|'))));
        }

        QTemporaryDir bin;
        QVERIFY(fakeFfmpeg(bin, "exec /usr/bin/ffmpeg \"${@:1:$#-1}\" -t 1 \"${@: -1}\"\n"));
        QTemporaryDir stopped;
        QVERIFY(QFile::copy(folder.filePath("cut.mkv"), stopped.filePath("cut.mkv")));
        const QString stoppedEarly = failure([&] { convert(stopped.filePath("cut.mkv"), "avi"); }).message();
        QVERIFY2(QRegularExpression(R"(^The result is incomplete: its picture lasts 1\.\d s of 7\.0 s$)")
                     .match(stoppedEarly)
                     .hasMatch(),
                 qPrintable(stoppedEarly));
        QCOMPARE(entries(stopped.path()), QStringList{"cut.mkv"});
    }

    // A song whose sound starts late converts whole, without being called incomplete or cut
    // short: ffmpeg counts its time from the file's zero, and an Ogg Opus stream states where it
    // ends rather than how long it lasts. The result plays as long as a player of the source hears
    // it: the book's second of silence before its 4 s of sound, the stream's 4 s from its first
    // page.
    void lateSoundIsWhole()
    {
        for (const auto& [source, targets, seconds] :
             {std::tuple{"late.m4a", QStringList{"mp3", "flac", "wav", "opus"}, 5.0},
              {"late.opus", QStringList{"mp3", "flac", "wav", "m4a"}, 4.0}})
            for (const QString& target : targets) {
                QTemporaryDir folder;
                Job job({}, {}, 0);
                const QStringList out = Converter::convert(copy(source, folder), target, job, {});
                const QString row = QString("%1 to %2").arg(source, target);
                QVERIFY2(out.size() == 1, qPrintable(row));
                const QStringList notes = job.notes().filter(QRegularExpression("cut short|incomplete"));
                QVERIFY2(notes.isEmpty(), qPrintable(row + ": " + notes.join('|')));
                // Decoded, as a player hears it: 8000 samples a second of two bytes each.
                QProcess decode;
                decode.start("ffmpeg", {"-v", "error", "-i", out.value(0), "-map", "0:a:0", "-ac", "1", "-ar",
                                        "8000", "-f", "s16le", "-"});
                QVERIFY(decode.waitForFinished(30000));
                const double length = decode.readAllStandardOutput().size() / 16000.0;
                QVERIFY2(std::abs(length - seconds) < 0.1, qPrintable(row + ": " + QString::number(length)));
            }
    }

    // What a user reads when ffmpeg refuses: plain words, with a piece of ffmpeg's own words kept
    // aside.
    void plainFailures()
    {
        for (const auto& [source, target, message, detail] :
             {std::tuple{"broken.mp4", "mov", "The file can’t be read: it may be damaged or not a media file",
                         "Invalid data found"},
              {"tone.wav", "mp4", "tone.wav can’t be converted to MP4", ""},
              {"silent.mkv", "mp3", "The file has no sound or picture this format can hold",
               "does not contain any stream"}}) {
            QTemporaryDir folder;
            const ConvertError e = failure([&] { convert(copy(source, folder), target); });
            QCOMPARE(e.message(), QString(message));
            QVERIFY2(e.details().contains(detail), qPrintable(e.details()));
            QCOMPARE(entries(folder.path()), QStringList{source});
        }
    }

    // A conversion reads its source once, in this process, while ffmpeg runs: no ffprobe starts,
    // whether ffmpeg's report vouches for the result, the result is read back (a line break in a
    // name could pose as a line of ffmpeg's description), or the source's side streams call for
    // another run than the first, which starts on a guess.
    void readsItsSourceOnceInProcess()
    {
        QTemporaryDir bin, folder;
        const QString marker = bin.filePath("ffprobe ran");
        QVERIFY(write(bin.filePath("ffprobe"),
                      "#!/bin/bash\ntouch '" + marker.toUtf8() + "'\nexec /usr/bin/ffprobe \"$@\"\n"));
        QFile(bin.filePath("ffprobe")).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        qputenv("TOLVANE_SEARCH_PATH", bin.path().toUtf8() + ":/usr/bin:/bin");
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "sine=d=1", "-f", "lavfi", "-i", "color=red:s=64x64:d=0.04",
                        "-map", "0", "-map", "1", "-c:v", "png", "-disposition:v", "attached_pic",
                        folder.filePath("song.mp3")}));
        QVERIFY(write(bin.filePath("lines.srt"), "1\n00:00:00,200 --> 00:00:01,500\nHello\n"));
        QVERIFY(ffmpeg({"-i", path("clip.mkv"), "-i", bin.filePath("lines.srt"), "-map", "0", "-map", "1",
                        "-c", "copy", folder.filePath("subtitled.mkv")}));
        for (const auto& [source, target] : {std::pair{"tone.wav", "mp3"},
                                             {"tone.wav", "flac"},
                                             {"clip.mkv", "gif"},
                                             {"clip.mkv", "mp4"},
                                             {"clip.mkv", "avi"}})
            QVERIFY2(convert(copy(source, folder), target).size() == 1, source);
        for (const auto& [source, target] : {std::pair{"song.mp3", "m4a"}, {"subtitled.mkv", "mp4"}})
            QVERIFY2(convert(folder.filePath(source), target).size() == 1, source);
        // An Opus result's chapters are written as comments of its own, placed from the reading.
        const QString book = convert(copy("late.m4a", folder), "opus").value(0);
        QVERIFY(QFile::copy(path("tone.wav"), folder.filePath("two\n  lines.wav")));
        QCOMPARE(convert(folder.filePath("two\n  lines.wav"), "mp3").size(), 1);
        QVERIFY(!QFile::exists(marker));
        // The side streams the reading found went along, as ffprobe sees them.
        const auto described = [](const QString& file) {
            QProcess p;
            p.start("ffprobe", {"-v", "error", "-show_entries", "stream=codec_name:disposition=attached_pic",
                                "-of", "csv=p=0", file});
            return p.waitForFinished(30000) ? QString::fromUtf8(p.readAllStandardOutput()).split('\n')
                                            : QStringList();
        };
        QVERIFY(described(folder.filePath("song.m4a")).contains("png,1"));
        QVERIFY(described(folder.filePath("subtitled.mp4")).contains("mov_text,0"));
        QProcess chapters;
        chapters.start("ffprobe", {"-v", "error", "-show_entries", "chapter=start_time:chapter_tags=title",
                                   "-of", "csv=p=0", book});
        QVERIFY(chapters.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(chapters.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
                 (QStringList{"0.000000,Intro", "1.500000,Main"}));
        // Where ffmpeg's libraries are missing ffprobe reads instead: the marker would show it.
        QVERIFY(Media::probeWithFfprobe(path("tone.wav")).audioCodec);
        QVERIFY(QFile::exists(marker));
    }

    // A copy is decoded back at its end as well as at its start: one whose last second gives no
    // picture (its last key frame garbled) is not handed back as it is.
    // A copy is decoded back at its end as well as at its start: one whose last key frame gives no
    // picture in its new container is made again by re-encoding, not handed back as it is. The
    // stand-in garbles the last key frame of each copy it writes (the copy of a film that carries
    // subtitles is the ffmpeg program's).
    void copyUnplayableAtItsEnd()
    {
        QTemporaryDir bin, folder;
        const QString source = folder.filePath("film.mkv");
        QVERIFY(write(bin.filePath("lines.srt"), "1\n00:00:00,200 --> 00:00:01,500\nHello\n"));
        QVERIFY(ffmpeg({"-f",       "lavfi",
                        "-i",       "testsrc2=s=160x120:r=25:d=3",
                        "-f",       "lavfi",
                        "-i",       "sine=d=3",
                        "-i",       bin.filePath("lines.srt"),
                        "-c:v",     "libx264",
                        "-preset",  "ultrafast",
                        "-g",       "25",
                        "-pix_fmt", "yuv420p",
                        "-c:a",     "aac",
                        source}));
        QVERIFY(fakeFfmpeg(
            bin, "if [[ \" $* \" == *' -c copy '* ]]; then\n"
                 "  exec /usr/bin/ffmpeg \"${@:1:$#-1}\" -bsf:v 'noise=amount=key*gte(pts*tb\\,1.9)' "
                 "\"${@: -1}\"\n"
                 "fi\nexec /usr/bin/ffmpeg \"$@\"\n"));
        const QStringList out = convert(source, "mp4");
        QCOMPARE(out.size(), 1);
        QProcess end;
        end.start("ffmpeg", {"-v", "error", "-nostdin", "-sseof", "-1", "-i", out[0], "-f", "null", "-"});
        QVERIFY(end.waitForFinished(30000));
        const QString errors = QString::fromUtf8(end.readAllStandardError());
        QVERIFY2(errors.isEmpty(), qPrintable(errors));
    }

    // A whole result that ffmpeg's own report vouches for is handed back without being read back
    // in this process, unless it was copied: what a copy holds is decoded back.
    void wholeReportReadsNoResultBack()
    {
        QTemporaryDir folder;
        for (const auto& [source, target] :
             {std::pair{"tone.wav", "mp3"}, {"tone.wav", "flac"}, {"clip.mkv", "gif"}, {"clip.mkv", "avi"}}) {
            const QString copied = copy(source, folder);
            QCOMPARE(readBack(folder.path(), [&] { QCOMPARE(convert(copied, target).size(), 1); }),
                     QStringList());
        }
        // A copy is decoded back; a line break in a name could pose as a line of the description.
        const QString film = copy("clip.mp4", folder);
        QCOMPARE(readBack(folder.path(), [&] { QCOMPARE(convert(film, "mkv").size(), 1); }).size(), 1);
        QVERIFY(QFile::copy(path("tone.wav"), folder.filePath("two\n  lines.wav")));
        QCOMPARE(readBack(folder.path(),
                          [&] { QCOMPARE(convert(folder.filePath("two\n  lines.wav"), "mp3").size(), 1); })
                     .size(),
                 1);
    }

    // A tag's name may hold a line break, and what follows it reaches standard error untagged at
    // the left margin: only lines ffmpeg tagged itself are read as its description.
    void untaggedLinesAreNotRead()
    {
        QTemporaryDir folder;
        const QString tagged = folder.filePath("tagged.mp3");
        QVERIFY(ffmpeg({"-i", path("tone.wav"), "-metadata", "x\nOutput file #0 (forged):=v", tagged}));
        QStringList lines;
        Media::ffmpeg(
            {"-i", tagged, "-f", "null", "-"}, [] { return 0.0; }, nullptr, {},
            [&](const QString& line) { lines << line; });
        QVERIFY2(lines.filter(QRegularExpression("^Output file #0 \\(")).size() == 1,
                 qPrintable(lines.join('\n')));
        QVERIFY2(lines.filter("forged").isEmpty(), qPrintable(lines.join('\n')));
    }

    // Standard error tagged with levels: only errors are kept for the user, with the name of the
    // part that wrote them; an untagged line goes with the line before.
    void logLevels()
    {
        const auto [errors, info] =
            Media::splitLog("Killed\n[info] Input #0, wav, from 'a.wav':\n[info]   Duration: 00:00:05.00, "
                            "bitrate: 1411 kb/s\n"
                            "[warning] Guessed Channel Layout for Input Stream #0.0 : stereo\n"
                            "[mp3 @ 0x55d0] [error] Error writing trailer: No space left on device\n"
                            "    Last message repeated 1 times\n[info] video:0kB audio:32kB\n");
        QCOMPARE(errors, QString("Killed\n[mp3 @ 0x55d0] Error writing trailer: No space left on device\n"
                                 "    Last message repeated 1 times"));
        QCOMPARE(info, QString("Input #0, wav, from 'a.wav':\n  Duration: 00:00:05.00, bitrate: 1411 kb/s\n"
                               "video:0kB audio:32kB"));
    }

    // ffmpeg's lines as it writes them, to the reason shown; the first matching cause wins.
    void failureTexts_data()
    {
        QTest::addColumn<QString>("errors");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing said") << "" << 1 << "ffmpeg couldn’t process the file";
        QTest::newRow("killed") << "" << 137 << "ffmpeg stopped unexpectedly";
        QTest::newRow("full disk before the trailer")
            << "[mp4 @ 0x55d0c2f4a240] Error writing trailer of /x/.tolvane-1F0C9A3B.mp4: No space left on "
               "device\nError closing file /x/.tolvane-1F0C9A3B.mp4: No space left on device"
            << 1 << "The disk is full";
        QTest::newRow("container refuses a stream")
            << "[mp4 @ 0x5601] Could not find tag for codec pcm_s24le in stream #2, codec not currently "
               "supported in container\n    Last message repeated 1 times\nCould not write header for output "
               "file #0"
            << 1 << "This format can’t hold the file’s streams";
    }
    void failureTexts()
    {
        QFETCH(QString, errors);
        QFETCH(int, status);
        const ConvertError e = Media::ffmpegFailure(errors, status);
        QTEST(e.message(), "message");
        QVERIFY(isPlain(e.message()));
        QCOMPARE(e.details(), errors.isEmpty() ? QString("exit %1").arg(status) : errors);
    }

    // A copy is decoded back once ffmpeg reports its end, before it has exited: a result that
    // changes after that is decoded again, and found unplayable here, is made again as a
    // re-encode.
    void copyChangedAfterItsEnd()
    {
        QTemporaryDir bin, folder;
        QVERIFY(ffmpeg({"-i", path("clip.mkv"), "-c", "copy", "-bsf:v", "filter_units=remove_types=5",
                        bin.filePath("keyless.mkv")}));
        const QString runs = bin.filePath("runs");
        QVERIFY(fakeFfmpeg(bin, "out=\"${@: -1}\"; echo run >> '" + runs.toUtf8() + "'\ncp '" +
                                    path("clip.mkv").toUtf8() +
                                    "' \"$out\"\necho progress=end\nsleep 0.5\ncp '" +
                                    bin.filePath("keyless.mkv").toUtf8() + "' \"$out\"\n"));
        QCOMPARE(convert(copy("clip.avi", folder), "mkv").size(), 1);
        QCOMPARE(read(runs), QString("run\nrun\n"));
    }

    // A plain stream copy of a Matroska or QuickTime film is made in this process: no ffmpeg
    // starts, though one must be installed, and the user's cancel stops it at the next packet
    // with nothing left. An AVI film's copy, a copy that carries subtitles, and one that can't be
    // made here (a transport stream named .mkv) still run ffmpeg.
    void plainCopiesStartNoFfmpeg()
    {
        QTemporaryDir bin, folder;
        const QString runs = bin.filePath("runs");
        QVERIFY(fakeFfmpeg(bin, "echo run >> '" + runs.toUtf8() + "'\nexec /usr/bin/ffmpeg \"$@\"\n"));
        QVERIFY(write(bin.filePath("lines.srt"), "1\n00:00:00,200 --> 00:00:01,500\nHello\n"));
        QVERIFY(ffmpeg({"-i", path("clip.mkv"), "-i", bin.filePath("lines.srt"), "-map", "0", "-map", "1",
                        "-c", "copy", folder.filePath("subtitled.mkv")}));
        QVERIFY(
            ffmpeg({"-i", path("clip.mkv"), "-c", "copy", "-f", "mpegts", folder.filePath("transport.mkv")}));
        for (const auto& [source, target, started] : {std::tuple{"clip.mkv", "mp4", false},
                                                      {"clip.mkv", "mov", false},
                                                      {"clip.mp4", "mkv", false},
                                                      {"clip.avi", "mkv", true},
                                                      {"subtitled.mkv", "mp4", true},
                                                      {"transport.mkv", "mp4", true}}) {
            QFile::remove(runs);
            const QString from = QFile::exists(path(source)) ? copy(source, folder) : folder.filePath(source);
            QList<double> shown;
            QVERIFY2(convert(from, target, [&](double done) { shown << done; }).size() == 1, source);
            QVERIFY2(QFile::exists(runs) == started, source);
            // Progress rises with the time copied, to near the whole.
            QVERIFY2(std::is_sorted(shown.begin(), shown.end()) && shown.value(shown.size() - 1) > 0.9 &&
                         shown.value(shown.size() - 1) <= 1,
                     qPrintable(QString("%1: %2").arg(source).arg(shown.size())));
        }

        QFile::remove(runs);
        QTemporaryDir cancelled;
        Job job({}, {}, 0);
        int reports = 0;
        const ConvertError e = failure([&] {
            Converter::convert(copy("clip.mkv", cancelled), "mp4", job, [&](double) {
                ++reports;
                job.cancel();
            });
        });
        QVERIFY(e.isCancelled());
        QCOMPARE(reports, 1);
        QCOMPARE(entries(cancelled.path()), QStringList{"clip.mkv"});
        QVERIFY(!QFile::exists(runs));

        QTemporaryDir missing;
        qputenv("TOLVANE_SEARCH_PATH", missing.path().toUtf8());
        const ConvertError none = failure([&] { convert(copy("clip.mkv", missing), "mp4"); });
        QCOMPARE(none.kind(), ConvertError::Kind::missingTool);
        QCOMPARE(entries(missing.path()), QStringList{"clip.mkv"});
    }

    // The first run starts before the source is read, and under a job of its own: the user's
    // cancel must still end it.
    void cancelReachesTheFirstRun()
    {
        QTemporaryDir bin;
        const QString pidFile = bin.filePath("pid");
        QVERIFY(fakeFfmpeg(bin, "echo $$ > '" + pidFile.toUtf8() + "'\nexec sleep 60\n"));
        Job job(QString(), QString(), 0);
        auto work = std::async(std::launch::async, [&] {
            return failure([&] { Converter::convert(path("tone.wav"), "mp3", job, {}); }).isCancelled();
        });
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(pidFile).size() > 0, 10000);
        job.cancel();
        QVERIFY(work.wait_for(std::chrono::seconds(10)) == std::future_status::ready);
        QVERIFY(work.get());
        QCOMPARE(::kill(read(pidFile).trimmed().toInt(), 0), -1);
        QCOMPARE(entries(m_dir.path()),
                 (QStringList{"broken.mp4", "chapters.txt", "clip.avi", "clip.mkv", "clip.mp4", "late.m4a",
                              "late.opus", "silent.mkv", "tone.wav"}));
    }
};

QTEST_GUILESS_MAIN(MediaResultsTest)
#include "test_mediaresults.moc"
