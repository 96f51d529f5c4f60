// The Bleep Audio window: how the lane turns presses and drags into bleeps, and the road from
// the window to "Bleeped" copies, with its previews stopped by closing.

#include "engines/media/media.h"
#include "toolkit/audioplayback.h"
#include "toolkit/audiosource.h"
#include "toolkit/pools.h"
#include "toolkit/primarybutton.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/toolwindow.h"
#include "tools/audio/bleep/bleepaudioview.h"
#include "tools/audio/bleep/bleeplane.h"

#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include "../../../support/audiofixtures.h"
#include "../../../support/toolharness.h"

namespace {

constexpr double width = 1000; // 100 points a second over 10 s

BleepLaneModel tenSeconds()
{
    BleepLaneModel m;
    m.duration = 10;
    return m;
}

// A drag from `from` to `to` points, in steps, then its end.
void drag(BleepLaneModel& m, double from, double to)
{
    m.drag(from, from, width);
    m.drag(from, (from + to) / 2, width);
    m.drag(from, to, width);
    m.end(to, width);
}

QStringList previewFiles()
{
    return QDir::temp().entryList({QStringLiteral("tolvane-preview-*")}, QDir::Files);
}

} // namespace

class BleepAudioTest : public QObject
{
    Q_OBJECT
    PrivateTemp m_temp; // first: what follows makes its files there
    QTemporaryDir m_dir;
    PulseSink m_sink;

  private slots:
    void initTestCase()
    {
        QVERIFY(m_temp.isValid());
        QVERIFY2(m_sink.start(), qPrintable(m_sink.why()));
    }

    void drawingSelectingAndResizing()
    {
        BleepLaneModel m = tenSeconds();
        drag(m, 300, 100); // right to left: the same range as left to right
        QCOMPARE(m.ranges.size(), 1);
        QCOMPARE(m.ranges[0].start, 1.0);
        QCOMPARE(m.ranges[0].end, 3.0);
        QCOMPARE(m.selected, std::optional(m.ranges[0].id));
        QCOMPARE(m.status(), QString("1 bleep ready."));

        drag(m, 500, 505); // 0.05 s adds nothing and, outside every range, deselects
        QCOMPARE(m.ranges.size(), 1);
        QCOMPARE(m.selected, std::nullopt);
        drag(m, 500, 506); // 0.06 s is a bleep
        QCOMPARE(m.ranges.size(), 2);
        QCOMPARE(m.status(), QString("2 bleeps ready."));

        drag(m, 200, 200); // a click inside, away from the edges, selects
        QCOMPARE(m.selected, std::optional(m.ranges[0].id));
        drag(m, 104, 104); // a click near an edge moves it there and keeps the selection
        QCOMPARE(m.ranges[0].start, 1.04);
        QCOMPARE(m.selected, std::optional(m.ranges[0].id));
        drag(m, 297, 900); // an end edge dragged over the next range resizes, draws nothing
        QCOMPARE(m.ranges.size(), 2);
        QCOMPARE(m.ranges[0].end, 9.0);
        drag(m, 104, 2000); // the start stops 0.05 s before the end
        QCOMPARE(m.ranges[0].start, 8.95);

        m.removeSelected();
        QCOMPARE(m.ranges.size(), 1);
        QCOMPARE(m.selected, std::nullopt);
        m.removeSelected();
        QCOMPARE(m.ranges.size(), 1);
    }

    void overlapsAndLimits()
    {
        BleepLaneModel m = tenSeconds();
        drag(m, 100, 400);
        drag(m, 200, 600); // starts inside the first, far from its edges
        QCOMPARE(m.ranges.size(), 2);
        drag(m, 300, 300);
        QCOMPARE(m.selected, std::optional(m.ranges[0].id)); // the first made wins in the overlap
        drag(m, -50, 1200);
        QCOMPARE(m.ranges.last().start, 0.0); // clamped to the file
        QCOMPARE(m.ranges.last().end, 10.0);

        BleepLaneModel empty;
        drag(empty, 100, 400); // nothing loaded: the lane does nothing
        QVERIFY(empty.ranges.isEmpty() && !empty.draft);
        QCOMPARE(empty.status(), QString("Add at least one bleep range."));
        BleepLaneModel unlaid = tenSeconds();
        QCOMPARE(unlaid.time(50, 0), 0.0);
    }

    // Two files, bleeps drawn with the pointer on the first: one job writes both copies, and
    // the second file, mono and shorter, is bleeped as well.
    void windowToFiles()
    {
        const QString song = m_dir.filePath("song.mp3"), talk = m_dir.filePath("talk.wav");
        QVERIFY(makeAudio(song, "sine=f=440:d=5", {"-ac", "2"}));
        QVERIFY(makeAudio(talk, "sine=f=300:d=3"));
        ToolHarness harness;
        auto* view = harness.open<BleepAudioView>(ToolID::redactAudio, {song, talk});
        QVERIFY(view);
        QCOMPARE(view->window()->size(), QSize(700, 470));
        QVERIFY(!view->primaryButton()->isEnabled());
        QCOMPARE(view->statusText()->text(), QString("Add at least one bleep range."));
        QVERIFY(view->lengthText()->text().startsWith("0:05.0")); // with the encoder's padding
        QVERIFY(!view->bleepedButton()->isEnabled());

        BleepLane* lane = view->lane();
        const int w = lane->width();
        QVERIFY(w > 100);
        QTest::mousePress(lane, Qt::LeftButton, {}, QPoint(w / 5, 18));
        QTest::mouseMove(lane, QPoint(w / 3, 18));
        QTest::mouseMove(lane, QPoint(2 * w / 5, 18));
        QTest::mouseRelease(lane, Qt::LeftButton, {}, QPoint(2 * w / 5, 18));
        QCOMPARE(view->model().ranges.size(), 1);
        QVERIFY(std::abs(view->model().ranges[0].start - 1.0) < 0.02);
        QCOMPARE(view->statusText()->text(), QString("1 bleep ready."));
        QCOMPARE(view->countText()->text(), QString("1"));
        QVERIFY(view->removeButton()->isVisibleTo(view));
        QVERIFY(view->primaryButton()->isEnabled() && view->bleepedButton()->isEnabled());

        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->title(), QString("Bleeping audio"));
        QCOMPARE(job->state().phase, Job::Phase::done);
        QCOMPARE(job->results(),
                 QStringList({m_dir.filePath("song Bleeped.mp3"), m_dir.filePath("talk Bleeped.wav")}));
        QCOMPARE(Media::probe(m_dir.filePath("talk Bleeped.wav")).channels, 1);
    }

    // Closing the window while "With Bleeps" renders: that preview never plays and its file
    // is gone.
    void closingDuringARenderNeverPlays()
    {
        const QString song = m_dir.filePath("close.mp3");
        QVERIFY(makeAudio(song, "sine=f=440:d=5", {"-ac", "2"}));
        ToolHarness harness;
        auto* view = harness.open<BleepAudioView>(ToolID::redactAudio, {song});
        QVERIFY(view);
        view->model().ranges << BleepRange{QUuid::createUuid(), 1, 2};
        view->refresh();
        int started = 0;
        connect(&view->playback(), &AudioPlayback::playingChanged, this,
                [&started](bool on) { started += on; });
        view->bleepedButton()->click();
        QVERIFY(view->playback().isRendering());
        view->window()->close();
        QVERIFY(Pools::preview().waitForDone(60000));
        // The render's delivery while the closed window still exists.
        const QPointer<BleepAudioView> alive = view;
        QCoreApplication::sendPostedEvents(QCoreApplication::instance(), QEvent::MetaCall);
        QVERIFY(alive);
        QCOMPARE(started, 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(previewFiles().isEmpty());
    }
};

QTEST_MAIN(BleepAudioTest)
#include "test_bleepaudio.moc"
