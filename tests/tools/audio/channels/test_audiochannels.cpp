// The Convert Audio Channels window: labels and previews per layout, the gains' reach, the
// played preview, and the road to "Mono" and "Stereo" copies, each file mixed by its own channels.

#include "engines/media/media.h"
#include "toolkit/audioplayback.h"
#include "toolkit/audiosource.h"
#include "toolkit/pools.h"
#include "toolkit/primarybutton.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/segmented.h"
#include "toolkit/sliderrow.h"
#include "toolkit/toolwindow.h"
#include "toolkit/waveformview.h"
#include "tools/audio/channels/audiochannelsview.h"

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include "../../../support/audiofixtures.h"
#include "../../../support/toolharness.h"

namespace {

void choose(Segmented* s, int i)
{
    const QRectF at = Segmented::segmentRects(Segmented::textWidths(s->options(), s->selected(), s))[i];
    QTest::mouseClick(s, Qt::LeftButton, {}, at.center().toPoint());
}

QStringList previewFiles()
{
    return QDir::temp().entryList({QStringLiteral("tolvane-preview-*")}, QDir::Files);
}

} // namespace

class AudioChannelsTest : public QObject
{
    Q_OBJECT
    PrivateTemp m_temp; // first: what follows makes its files there
    QTemporaryDir m_dir;
    PulseSink m_sink;
    QString m_stereo;

  private slots:
    void initTestCase()
    {
        QVERIFY(m_temp.isValid());
        QVERIFY2(m_sink.start(), qPrintable(m_sink.why()));
        m_stereo = m_dir.filePath("duet.flac");
        QVERIFY(makeAudio(m_stereo, "sine=f=440:d=4", {"-ac", "2"}));
    }

    void gainsScaleThePreview()
    {
        QCOMPARE(AudioChannelsView::scaled({0.8f, 0.5f}, 150), QList<float>({1.0f, 0.75f}));
        QCOMPARE(AudioChannelsView::scaled({0.8f}, 0), QList<float>({0.0f}));
        QCOMPARE(WaveformView::bars({0.0f}, QSizeF(10, 44), std::nullopt)[0].rect.height(), 1.5);
    }

    void layoutsAndLabels()
    {
        ToolHarness harness;
        auto* view = harness.open<AudioChannelsView>(ToolID::audioChannels, {m_stereo});
        QVERIFY(view);
        QCOMPARE(view->window()->size(), QSize(560, 470));
        QCOMPARE(view->sourceText()->text(), QString("Source: stereo"));
        QCOMPARE(view->rowLabel(0)->text(), QString("Mono"));
        QVERIFY(!view->rowWidget(1)->isVisibleTo(view));
        QCOMPARE(view->leftSlider()->label(), QString("Left in"));
        QCOMPARE(view->rowWave(0)->samples().size(), 220);
        QCOMPARE(view->filter(), QString("pan=mono|c0=0.5*c0+0.5*c1"));

        view->rightSlider()->setValue(50);
        emit view->rightSlider()->edited(50);
        // Mono previews at the mean of the two gains, the loudest bucket drawn full at 100 %.
        QCOMPARE(*std::max_element(view->rowWave(0)->samples().cbegin(), view->rowWave(0)->samples().cend()),
                 0.75f);

        choose(view->layoutChoice(), 1);
        QVERIFY(view->isStereo());
        QCOMPARE(view->rowLabel(0)->text(), QString("L"));
        QCOMPARE(view->rowLabel(1)->text(), QString("R"));
        QVERIFY(view->rowWidget(1)->isVisibleTo(view));
        QCOMPARE(view->rightSlider()->label(), QString("Right"));
        QCOMPARE(view->filter(), QString("pan=stereo|c0=1.0*c0|c1=0.5*c1"));
        view->rightSlider()->resetButton()->click();
        QCOMPARE(view->rightSlider()->value(), 100.0);
        QCOMPARE(view->filter(), QString("pan=stereo|c0=1.0*c0|c1=1.0*c1"));
    }

    // "Play Output" plays the rendered mix and its button turns to Stop; closing the window
    // while a render is under way never plays it.
    void previewPlaysAndCloseStopsIt()
    {
        ToolHarness harness;
        auto* view = harness.open<AudioChannelsView>(ToolID::audioChannels, {m_stereo});
        QVERIFY(view);
        view->playButton()->click();
        QVERIFY(QTest::qWaitFor([&] { return view->playback().isPlaying(); }, 30000));
        QCOMPARE(view->playButton()->text(), QString("Stop"));
        view->playButton()->click();
        QCOMPARE(view->playButton()->text(), QString("Play Output"));
        QVERIFY(previewFiles().isEmpty());

        int started = 0;
        connect(&view->playback(), &AudioPlayback::playingChanged, this,
                [&started](bool on) { started += on; });
        view->playButton()->click();
        QVERIFY(view->playback().isRendering());
        view->window()->close();
        QVERIFY(Pools::preview().waitForDone(60000));
        // The render's delivery while the closed window still exists.
        const QPointer<AudioChannelsView> alive = view;
        QCoreApplication::sendPostedEvents(QCoreApplication::instance(), QEvent::MetaCall);
        QVERIFY(alive);
        QCOMPARE(started, 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(previewFiles().isEmpty());
    }

    // Stereo of a stereo and a mono file: each is mixed by its own channels, so the mono one
    // fills both sides.
    void appliesToEveryFile()
    {
        const QString mono = m_dir.filePath("solo.wav");
        QVERIFY(makeAudio(mono, "sine=f=300:d=2"));
        ToolHarness harness;
        auto* view = harness.open<AudioChannelsView>(ToolID::audioChannels, {m_stereo, mono});
        QVERIFY(view);
        choose(view->layoutChoice(), 1);
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->title(), QString("Converting channels"));
        QCOMPARE(job->state().phase, Job::Phase::done);
        QCOMPARE(job->results(),
                 QStringList({m_dir.filePath("duet Stereo.flac"), m_dir.filePath("solo Stereo.wav")}));
        for (const QString& out : job->results())
            QCOMPARE(Media::probe(out).channels, 2);
    }
};

QTEST_MAIN(AudioChannelsTest)
#include "test_audiochannels.moc"
