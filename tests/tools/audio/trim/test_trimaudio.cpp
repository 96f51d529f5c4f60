// The Trim Audio window: the selection over the first file, the silence trim, playback of the
// selection, and the road to "Trimmed" copies.

#include "engines/media/media.h"
#include "toolkit/audioplayback.h"
#include "toolkit/audiosource.h"
#include "toolkit/checkbox.h"
#include "toolkit/primarybutton.h"
#include "toolkit/rangewaveform.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/toolwindow.h"
#include "tools/audio/trim/trimaudioview.h"

#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>

#include "../../../support/audiofixtures.h"
#include "../../../support/toolharness.h"

class TrimAudioTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    PulseSink m_sink;
    QString m_burst; // sound from 1 s to 3 s of 5

  private slots:
    void initTestCase()
    {
        QVERIFY2(m_sink.start(), qPrintable(m_sink.why()));
        m_burst = m_dir.filePath("burst.wav");
        QVERIFY(makeAudio(m_burst, "aevalsrc='if(between(t,1,3),sin(2*PI*440*t),0)':d=5"));
    }

    void selectionAndSilenceTrim()
    {
        ToolHarness harness;
        auto* view = harness.open<TrimAudioView>(ToolID::trimAudio, {m_burst});
        QVERIFY(view);
        QCOMPARE(view->window()->size(), QSize(640, 420));
        QCOMPARE(view->waveform()->state().samples.size(), 420);
        QCOMPARE(view->start(), 0.0);
        QVERIFY(std::abs(view->end() - 5) < 0.05);
        QVERIFY(view->primaryButton()->isEnabled());

        view->autoTrim()->click();
        QVERIFY(std::abs(view->start() - 0.92) < 0.04 && std::abs(view->end() - 3.08) < 0.04);
        QVERIFY2(
            QRegularExpression("^0:02\\.1[5-7] selected$").match(view->selectedText()->text()).hasMatch(),
            qPrintable(view->selectedText()->text()));
        view->setRange(2, 2.5); // a drag of the handles
        view->autoTrim()->click();
        QCOMPARE(view->start(), 0.0); // unticked: the whole file again
        QCOMPARE(view->end(), view->source().duration());
        view->setRange(2, 2.5);
        view->autoTrim()->click(); // ticked again: computed again
        QVERIFY(std::abs(view->start() - 0.92) < 0.04);

        // Dragging the start handle past the end stops short of it.
        RangeWaveform* wave = view->waveform();
        const auto [startX, endX] = RangeWaveform::edges(wave->state(), wave->width());
        QTest::mousePress(wave, Qt::LeftButton, {}, QPoint(int(startX) + 5, 60));
        QTest::mouseMove(wave, QPoint(wave->width() - 2, 60));
        QTest::mouseRelease(wave, Qt::LeftButton, {}, QPoint(wave->width() - 2, 60));
        QVERIFY(std::abs(view->start() - (view->end() - 0.05)) < 1e-9);
        QCOMPARE(view->selectedText()->text(), QString("0:00.05 selected"));
    }

    // A quiet recording: a hum at 0.008 of full scale, speech at 0.15 from 1 s to 3 s of 4. The
    // hum is silence however quiet the speech is; the range is found to a bucket.
    void silenceTrimOfAQuietRecording()
    {
        const QString quiet = m_dir.filePath("quiet.wav");
        QVERIFY(
            makeAudio(quiet, "aevalsrc='if(between(t,1,3),0.15*sin(2*PI*440*t),0.008*sin(2*PI*100*t))':d=4"));
        ToolHarness harness;
        auto* view = harness.open<TrimAudioView>(ToolID::trimAudio, {quiet});
        QVERIFY(view);
        view->autoTrim()->click();
        const double bucket = 4.0 / 420 + 1e-6;
        QVERIFY2(std::abs(view->start() - 0.92) <= bucket && std::abs(view->end() - 3.08) <= bucket,
                 qPrintable(QString("%1…%2").arg(view->start()).arg(view->end())));
        // Drawn as loud as the waveform allows: the speech fills the height.
        const QList<float>& drawn = view->waveform()->state().samples;
        QCOMPARE(*std::max_element(drawn.cbegin(), drawn.cend()), 1.0f);
    }

    // The selection plays and ends by itself at its end, the button following.
    void playsTheSelection()
    {
        ToolHarness harness;
        auto* view = harness.open<TrimAudioView>(ToolID::trimAudio, {m_burst});
        QVERIFY(view);
        view->setRange(1, 2);
        view->playButton()->click();
        QVERIFY(view->playback().isPlaying());
        QCOMPARE(view->playButton()->text(), QString("Stop"));
        QVERIFY(QTest::qWaitFor([&] { return view->waveform()->state().playhead.has_value(); }, 30000));
        QVERIFY(QTest::qWaitFor([&] { return !view->playback().isPlaying(); }, 30000));
        QCOMPARE(view->playButton()->text(), QString("Play Selected Range"));
        QVERIFY(!view->waveform()->state().playhead);
        QVERIFY(view->playback().time() > 1.6);
    }

    void appliesToEveryFile()
    {
        const QString other = m_dir.filePath("Other.MP3");
        QVERIFY(makeAudio(other, "sine=d=4"));
        ToolHarness harness;
        auto* view = harness.open<TrimAudioView>(ToolID::trimAudio, {m_burst, other});
        QVERIFY(view);
        view->setRange(0.5, 2);
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->title(), QString("Trimming audio"));
        QCOMPARE(job->state().phase, Job::Phase::done);
        QCOMPARE(job->results(),
                 QStringList({m_dir.filePath("burst Trimmed.wav"), m_dir.filePath("Other Trimmed.mp3")}));
        for (const QString& out : job->results())
            QVERIFY2(std::abs(Media::probe(out).duration - 1.5) < 0.1, qPrintable(out));
    }

    void unreadableFile()
    {
        const QString bad = m_dir.filePath("junk.mp3");
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("no sound here");
        f.close();
        ToolHarness harness;
        auto* view = harness.open<TrimAudioView>(ToolID::trimAudio, {bad});
        QVERIFY(view);
        QCOMPARE(view->end(), 0.0);
        QVERIFY(!view->primaryButton()->isEnabled());
        view->autoTrim()->click();
        QCOMPARE(view->end(), 0.0);
    }
};

QTEST_MAIN(TrimAudioTest)
#include "test_trimaudio.moc"
