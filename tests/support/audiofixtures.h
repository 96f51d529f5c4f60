// Audio the tests make with ffmpeg, and a private sound server to play it into.

#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Writes `path` from ffmpeg's lavfi source `source` (for example "sine=f=440:d=5"), with
// `extra` output options; false when ffmpeg fails.
inline bool makeAudio(const QString& path, const QString& source, const QStringList& extra = {})
{
    QProcess p;
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(QStringLiteral("ffmpeg"),
            QStringList{"-v", "error", "-y", "-f", "lavfi", "-i", source} + extra + QStringList{path});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A temporary folder of this test's own as the process's temporary folder, so that counting
// preview files there sees no other test's. Restored when it goes.
class PrivateTemp
{
  public:
    PrivateTemp() : m_previous(qgetenv("TMPDIR")) { qputenv("TMPDIR", m_dir.path().toUtf8()); }
    ~PrivateTemp() { qputenv("TMPDIR", m_previous); }
    bool isValid() const { return m_dir.isValid() && QDir::tempPath() == m_dir.path(); }

  private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
};

// A PulseAudio server with one null sink, in a folder of its own, that this process plays
// into: start() before anything asks for a sound device. It runs as root too (CI's container),
// where the server only warns. Stopped when it goes.
class PulseSink
{
  public:
    ~PulseSink()
    {
        if (m_server.state() == QProcess::NotRunning) return;
        m_server.terminate();
        if (!m_server.waitForFinished(10000)) m_server.kill();
        m_server.waitForFinished(10000);
    }

    // False (with why()) when the server did not come up within the limit.
    bool start()
    {
        if (!m_dir.isValid()) return false;
        const QString socket = m_dir.filePath(QStringLiteral("native"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_dir.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        m_server.setProcessEnvironment(env);
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.setStandardInputFile(QProcess::nullDevice());
        m_server.start(
            QStringLiteral("pulseaudio"),
            {"--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "-n", "--disable-shm=yes", "-L",
             "module-null-sink sink_name=null", "-L",
             QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=%1").arg(socket)});
        if (!m_server.waitForStarted(10000)) return false;
        qputenv("PULSE_SERVER", QStringLiteral("unix:%1").arg(socket).toUtf8());
        return QTest::qWaitFor(
                   [&] { return QFile::exists(socket) || m_server.state() == QProcess::NotRunning; },
                   30000) &&
               QFile::exists(socket);
    }

    // What the server said, for a failed start.
    QString why() { return QString::fromUtf8(m_server.readAll()); }

  private:
    QTemporaryDir m_dir{QDir::temp().filePath(QStringLiteral("pulse-XXXXXX"))};
    QProcess m_server;
};
