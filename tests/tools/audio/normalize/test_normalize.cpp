// The Normalize Volume window: its subject line, the targets and their lines, and the road to
// "Normalized" copies of m4a, wav and flac recordings.

#include "engines/media/media.h"
#include "toolkit/primarybutton.h"
#include "toolkit/segmented.h"
#include "toolkit/toolwindow.h"
#include "tools/audio/normalize/normalizeview.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include "../../../support/audiofixtures.h"
#include "../../../support/toolharness.h"

class NormalizeTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

  private slots:
    void subjectAndTargets()
    {
        QCOMPARE(NormalizeView::subject({"/a/Interview.m4a"}), QString("Interview.m4a"));
        QCOMPARE(NormalizeView::subject({"/a/x.wav", "/a/y.wav"}), QString("2 recordings"));
        QCOMPARE(loudnessTargetFromRaw("peak"), std::nullopt);
        QCOMPARE(loudnessTargetFromRaw("Peak"), std::optional(LoudnessTarget::peak));

        const QString path = m_dir.filePath("a.wav");
        QVERIFY(makeAudio(path, "sine=d=1"));
        ToolHarness harness;
        auto* view = harness.open<NormalizeView>(ToolID::normalizeAudio, {path});
        QVERIFY(view);
        QCOMPARE(view->window()->size(), QSize(460, 340));
        QCOMPARE(view->subjectText()->text(), QString("a.wav"));
        QCOMPARE(view->targets()->options(), QStringList({"Streaming", "Podcast", "Broadcast", "Peak"}));
        QCOMPARE(view->descriptionText()->text(), QString("−14 LUFS, like Spotify and YouTube"));
        view->targets()->edited(3);
        QCOMPARE(view->target(), LoudnessTarget::peak);
        QCOMPARE(view->targets()->selected(), 3);
        QCOMPARE(view->descriptionText()->text(), QString("Raise the loudest peak to −1 dB"));
        QVERIFY(view->primaryButton()->isEnabled());
    }

    // The streaming target on three containers: each copy comes out near −14 LUFS-level
    // loudness, so louder than the quiet source, with its rate and channels kept.
    void normalizesEveryFile()
    {
        QStringList files;
        for (const QString name : {"quiet.m4a", "quiet.wav", "quiet.flac"}) {
            files << m_dir.filePath(name);
            QVERIFY(makeAudio(files.last(), "sine=f=440:d=3:sample_rate=48000,volume=0.05", {"-ac", "2"}));
        }
        ToolHarness harness;
        auto* view = harness.open<NormalizeView>(ToolID::normalizeAudio, files);
        QVERIFY(view);
        QCOMPARE(view->subjectText()->text(), QString("3 recordings"));
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->title(), QString("Normalizing"));
        QVERIFY2(job->state().phase == Job::Phase::done, qPrintable(job->state().message));
        QCOMPARE(job->results(),
                 QStringList({m_dir.filePath("quiet Normalized.m4a"), m_dir.filePath("quiet Normalized.wav"),
                              m_dir.filePath("quiet Normalized.flac")}));
        for (const QString& out : job->results()) {
            const Media::Probe p = Media::probe(out);
            QCOMPARE(p.sampleRate, 48000);
            QCOMPARE(p.channels, 2);
        }
    }
};

QTEST_MAIN(NormalizeTest)
#include "test_normalize.moc"
