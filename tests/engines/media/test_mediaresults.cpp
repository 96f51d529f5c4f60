#include "engines/converter.h"
#include "engines/media/media.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/settings.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <future>
#include <sys/mount.h>

namespace {

bool ffmpeg(const QStringList& args)
{
    QProcess p;
    p.start("ffmpeg", QStringList{"-v", "error", "-y", "-nostdin"} + args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Puts an executable script named ffmpeg first on the runner's search path.
bool fakeFfmpeg(const QTemporaryDir& bin, const QByteArray& body)
{
    QFile script(bin.filePath("ffmpeg"));
    if (!script.open(QIODevice::WriteOnly) || script.write("#!/bin/bash\n" + body) < 0) return false;
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    qputenv("TOLVANE_SEARCH_PATH", bin.path().toUtf8() + ":/usr/bin:/bin");
    return true;
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

    // The error a conversion ends with; fails the test when there is none.
    ConvertError failure(const QString& source, const QString& target)
    {
        Job job(QString(), QString(), 0);
        try {
            Converter::convert(source, target, job, {});
        } catch (const ConvertError& e) {
            return e;
        }
        return ConvertError::failed("(no error)");
    }

  private slots:
    void initTestCase()
    {
        // The save-location setting changes below must never reach anyone else's settings.
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x240:r=25:d=2", "-f", "lavfi", "-i", "sine=d=2",
                        "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac",
                        path("clip.mkv")}));
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "sine=d=4", path("tone.wav")}));
    }

    void cleanup()
    {
        qunsetenv("TOLVANE_SEARCH_PATH");
        Settings::shared().setSaveLocation(SaveLocation::besideOriginal);
    }

    // A full disk: ffmpeg 5.1 exits 0 when only its trailer finds no room (the webm), 1 when
    // a packet does (the copy). Neither may pass for a result, and nothing may stay behind.
    void fullDisk_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("encode that fills the disk at its trailer") << "webm";
        QTest::newRow("copy that fills it on the way") << "mp4";
    }

    void fullDisk()
    {
        QFETCH(QString, target);
        QTemporaryDir disk;
        const QByteArray mountPoint = QFile::encodeName(disk.path());
        if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=32k") != 0)
            QSKIP("mounting a small tmpfs needs root");
        const auto unmount = qScopeGuard([&] { ::umount(mountPoint.constData()); });
        Settings::shared().setOutputFolder(disk.path());
        Settings::shared().setSaveLocation(SaveLocation::folder);
        const ConvertError e = failure(path("clip.mkv"), target);
        QCOMPARE(e.message(), QString("The result is incomplete: the disk is full"));
        QVERIFY2(e.details().contains("No space left on device"), qPrintable(e.details()));
        QCOMPARE(filesIn(disk.path()), QStringList());
    }

    // ffmpeg that exits 0 with half of its output: cut short on disk, as by a disk that fills
    // up (the header may still claim the full length), or stopped half way through its input.
    void truncatedResult_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QByteArray>("fake"); // the script, after the real ffmpeg's path in $real
        const QByteArray halfTheBytes =
            "\"$real\" \"$@\" || exit\n"
            "truncate -s \"$(( $(stat -c %s \"${@: -1}\") / 2 ))\" \"${@: -1}\"\n";
        const QByteArray halfTheTime = "exec \"$real\" \"${@:1:$#-1}\" -t 1.5 \"${@: -1}\"\n";
        QTest::newRow("copy cut on disk") << "clip.mkv"
                                          << "mp4" << halfTheBytes;
        QTest::newRow("re-encode cut on disk") << "clip.mkv"
                                               << "avi" << halfTheBytes;
        QTest::newRow("sound cut on disk") << "tone.wav"
                                           << "flac" << halfTheBytes;
        QTest::newRow("gif cut on disk") << "clip.mkv"
                                         << "gif" << halfTheBytes;
        QTest::newRow("sound stopped half way") << "tone.wav"
                                                << "mp3" << halfTheTime;
    }

    void truncatedResult()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(QByteArray, fake);
        QTemporaryDir bin, folder;
        const QByteArray real = QStandardPaths::findExecutable("ffmpeg").toUtf8();
        QVERIFY(fakeFfmpeg(bin, "real='" + real + "'\n" + fake));
        const QString copy = folder.filePath(source);
        QVERIFY(QFile::copy(path(source), copy));
        const ConvertError e = failure(copy, target);
        QCOMPARE(e.message(), QString("The result is incomplete: the disk may be full or the file damaged"));
        QCOMPARE(filesIn(folder.path()), QStringList{source});
    }

    // What a user reads when ffmpeg refuses: plain words, with ffmpeg's own lines kept aside.
    void plainFailures_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("detail"); // a piece of ffmpeg's own words
        QTest::newRow("damaged") << "broken.mp4"
                                 << "mov"
                                 << "The file can’t be read: it may be damaged or not a media file"
                                 << "Invalid data found";
        QTest::newRow("no picture") << "tone.wav"
                                    << "mp4"
                                    << "The file has no picture to make a video from"
                                    << "matches no streams";
        QTest::newRow("no sound") << "silent.mkv"
                                  << "mp3"
                                  << "The file has no sound or picture this format can hold"
                                  << "does not contain any stream";
    }

    void plainFailures()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QTemporaryDir folder;
        QFile broken(folder.filePath("broken.mp4"));
        QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write(QByteArray(5000, '\x17')) == 5000);
        broken.close();
        QVERIFY(ffmpeg(
            {"-f", "lavfi", "-i", "testsrc2=s=64x48:d=1", "-c:v", "ffv1", folder.filePath("silent.mkv")}));
        QVERIFY(QFile::copy(path("tone.wav"), folder.filePath("tone.wav")));
        const ConvertError e = failure(folder.filePath(source), target);
        QTEST(e.message(), "message");
        QFETCH(QString, detail);
        QVERIFY2(e.details().contains(detail), qPrintable(e.details()));
        QVERIFY(isPlain(e.message()));
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
            << 1 << "The result is incomplete: the disk is full";
        QTest::newRow("container refuses a stream")
            << "[mp4 @ 0x5601] Could not find tag for codec pcm_s24le in stream #2, codec not currently "
               "supported "
               "in container\n    Last message repeated 1 times\nCould not write header for output file #0"
            << 1 << "This format can’t hold the file’s streams";
        QTest::newRow("no encoder") << "Unknown encoder 'libfdk_aac'" << 1
                                    << "This ffmpeg lacks an encoder the format needs";
        QTest::newRow("unknown container")
            << "[NULL @ 0x5613] Unable to find a suitable output format for '/x/.tolvane-ABCDEF01.xyz'" << 1
            << "ffmpeg can’t write this format";
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

    // The first run starts before the source is read, and under a job of its own: the user's
    // cancel must still end it.
    void cancelReachesTheFirstRun()
    {
        QTemporaryDir bin;
        const QString pidFile = bin.filePath("pid");
        QVERIFY(fakeFfmpeg(bin, "echo $$ > '" + pidFile.toUtf8() + "'\nexec sleep 60\n"));
        Job job(QString(), QString(), 0);
        auto work = std::async(std::launch::async, [&] {
            try {
                Converter::convert(path("tone.wav"), "mp3", job, {});
            } catch (const ConvertError& e) {
                return e.isCancelled();
            }
            return false;
        });
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(pidFile).size() > 0, 10000);
        job.cancel();
        QVERIFY(work.wait_for(std::chrono::seconds(10)) == std::future_status::ready);
        QVERIFY(work.get());
        QFile f(pidFile);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(::kill(f.readAll().trimmed().toInt(), 0), -1);
        QCOMPARE(filesIn(m_dir.path()), (QStringList{"clip.mkv", "tone.wav"}));
    }
};

QTEST_GUILESS_MAIN(MediaResultsTest)
#include "test_mediaresults.moc"
