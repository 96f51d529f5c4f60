// What every audio tool's work shares, run for real on lavfi clips: cover pictures kept, and a
// missing ffmpeg named as such.

#include "tools/audio/bleep/bleepwork.h"
#include "tools/audio/channels/audiochannelswork.h"
#include "tools/audio/normalize/normalizework.h"
#include "tools/audio/trim/trimaudiowork.h"

#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "../../support/audioclips.h"

using namespace AudioClips;

class AudioWorkTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    Job m_job{{}, {}, 0};

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        for (const QString name : {"Tone.wav", "Cover.mp3", "Cover.m4a", "Cover.flac"})
            QVERIFY(!make(m_dir.path(), name).isEmpty());
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

QTEST_GUILESS_MAIN(AudioWorkTest)
#include "test_audiowork.moc"
