// The Trim Video window on real clips: the selection follows the probe, the handles and Reset;
// Apply cuts every dropped file to the same range one after another, and a file too short for
// the range fails with its own message instead of an empty result.

#include "core/fmt.h"
#include "core/job.h"
#include "toolkit/checkbox.h"
#include "toolkit/pools.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/video/timeline.h"
#include "toolkit/video/timelinegeometry.h"
#include "toolkit/video/videomodel.h"
#include "tools/video/trim/trimvideoview.h"

#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include "../../../support/toolharness.h"
#include "../../../support/videoclip.h"

namespace TG = TimelineGeometry;

class TrimVideoTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_clip;  // 8.5 s
    QString m_short; // 1 s

  private slots:
    void initTestCase()
    {
        m_clip = m_dir.filePath("Holiday.mp4");
        m_short = m_dir.filePath("Short.mp4");
        QVERIFY(makeClip(m_clip, 8.5));
        QVERIFY(makeClip(m_short, 1));
    }

    void selectionFollowsTheVideo()
    {
        ToolHarness harness;
        auto* view = harness.open<TrimVideoView>(ToolID::trimVideo, {m_clip});
        QVERIFY(view);
        QCOMPARE(view->window()->size(), QSize(720, 600));
        const double d = view->model().duration();
        QVERIFY2(std::abs(d - 8.5) < 0.1, qPrintable(QString::number(d)));
        QCOMPARE(view->range(), (TimeRange{0, d}));
        QCOMPARE(view->selectedText()->text(), Fmt::time(d, true) + " selected");
        QVERIFY(view->selectedText()->text().startsWith("0:08.5"));
        QCOMPARE(view->startText()->text(), QString("Start 0:00.00"));
        QVERIFY(view->primaryButton()->isEnabled());
        QVERIFY(!view->model().picture().isNull());

        // The trailing handle dragged to the left edge leaves the shortest range.
        Timeline* timeline = view->timeline();
        const TimeRange range = view->range();
        const double w = timeline->state().width;
        const QPoint grip = (TG::trailingHandle(range, w, d).center() + Timeline::origin()).toPoint();
        QTest::mousePress(timeline, Qt::LeftButton, {}, grip);
        QTest::mouseMove(timeline, QPoint(0, grip.y()));
        QTest::mouseRelease(timeline, Qt::LeftButton, {}, QPoint(0, grip.y()));
        QVERIFY(std::abs(view->range().end - 0.1) < 1e-9);
        QCOMPARE(view->selectedText()->text(), QString("0:00.10 selected"));
        QVERIFY(std::abs(view->model().time() - 0.1) < 1e-9);

        view->resetButton()->click();
        QCOMPARE(view->range(), (TimeRange{0, d}));
    }

    // Both files get the same range; the second is shorter than its start, and fails alone.
    void appliesTheRangeToEveryFile()
    {
        ToolHarness harness;
        auto* view = harness.open<TrimVideoView>(ToolID::trimVideo, {m_clip, m_short});
        QVERIFY(view);
        view->setRange({2, 4.5});
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->title(), QString("Trimming video"));
        QCOMPARE(job->state().phase, Job::Phase::failed);
        QCOMPARE(job->state().message, QString("The chosen range lies past the end of Short.mp4"));
        const QString trimmed = m_dir.filePath("Holiday Trimmed.mp4");
        QCOMPARE(job->results(), QStringList{trimmed});
        const double d = probedDuration(trimmed);
        QVERIFY2(std::abs(d - 2.5) < 0.15, qPrintable(QString::number(d)));
        QVERIFY(!QFile::exists(m_dir.filePath("Short Trimmed.mp4")));
    }

    void fastTrim()
    {
        ToolHarness harness;
        auto* view = harness.open<TrimVideoView>(ToolID::trimVideo, {m_clip});
        QVERIFY(view);
        view->setRange({1, 3});
        view->fastBox()->click();
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->state().phase, Job::Phase::done);
        QCOMPARE(job->results(), QStringList{m_dir.filePath("Holiday Trimmed 2.mp4")});
        // Cut on key frames (one a second here): about the range, never the whole video.
        const double d = probedDuration(job->results().value(0));
        QVERIFY2(d > 1.5 && d < 3.2, qPrintable(QString::number(d)));
    }

    void unreadableFileCannotApply()
    {
        const QString junk = m_dir.filePath("junk.mp4");
        QFile f(junk);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("no video here") > 0);
        f.close();
        ToolHarness harness;
        auto* view = harness.open<TrimVideoView>(ToolID::trimVideo, {junk});
        QVERIFY(view);
        QCOMPARE(view->range(), (TimeRange{0, 0}));
        QVERIFY(!view->primaryButton()->isEnabled());
    }

    // Closing at once, while the probe and the thumbnails are under way, leaves them nothing
    // to touch (run under AddressSanitizer to see it).
    void closedWhileProbing()
    {
        ToolHarness harness;
        QPointer<ToolWindow> window = ToolWindows::open(ToolID::trimVideo, {m_clip});
        QVERIFY(window);
        QVERIFY(!qobject_cast<FramedView*>(window->view())->isSettled());
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(QTest::qWaitFor([&] { return !window; }, 10000));
        Pools::loader().waitForDone();
        Pools::preview().waitForDone();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
};

QTEST_MAIN(TrimVideoTest)
#include "test_trimvideo.moc"
