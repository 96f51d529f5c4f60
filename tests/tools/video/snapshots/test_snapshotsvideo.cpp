// The Video Snapshots window: the moments taken and their thumbnails (a late thumbnail never
// lands on another moment), the Save button's title and the job's detail, and Save writing one
// PNG per moment at full size on a real clip.

#include "core/job.h"
#include "toolkit/pools.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/video/timeline.h"
#include "toolkit/video/videomodel.h"
#include "tools/video/snapshots/shottile.h"
#include "tools/video/snapshots/snapshotsview.h"

#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include "../../../support/toolharness.h"
#include "../../../support/videoclip.h"

namespace {

QImage filled(Qt::GlobalColor colour)
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace

class SnapshotsVideoTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_clip; // 4 s, 320 × 240

  private slots:
    void initTestCase()
    {
        m_clip = m_dir.filePath("Party.mp4");
        QVERIFY(makeClip(m_clip, 4));
    }

    void titlesAndDetails()
    {
        QCOMPARE(SnapshotShots::saveTitle(0), QString("Save Snapshot"));
        QCOMPARE(SnapshotShots::saveTitle(1), QString("Save Snapshot"));
        QCOMPARE(SnapshotShots::saveTitle(3), QString("Save 3 Snapshots"));
        QCOMPARE(SnapshotShots::detail(1), QString("1 frame"));
        QCOMPARE(SnapshotShots::detail(4), QString("4 frames"));
    }

    // The first of two removed while both thumbnails are on their way: both late results are
    // dropped (position 0 now holds the other time), and a thumbnail already there stays.
    void lateThumbnailsLandOnlyWhereAsked()
    {
        SnapshotShots shots;
        QCOMPARE(shots.take(1.5), 0);
        QCOMPARE(shots.take(2.0), 1);
        shots.remove(0);
        QVERIFY(!shots.thumbArrived(0, 1.5, filled(Qt::red)));
        QVERIFY(!shots.thumbArrived(1, 2.0, filled(Qt::red)));
        QVERIFY(shots.shots()[0].thumb.isNull());
        QVERIFY(shots.thumbArrived(0, 2.0, filled(Qt::green)));
        QCOMPARE(shots.take(0.5), 1);
        QVERIFY(!shots.thumbArrived(1, 2.0, filled(Qt::red)));
        QCOMPARE(shots.shots()[0].thumb, filled(Qt::green));
        // The same moment twice is two entries.
        shots.take(0.5);
        QCOMPARE(shots.times(), (QList<double>{2.0, 0.5, 0.5}));
        shots.remove(7);
        QCOMPARE(shots.count(), 3);
    }

    void takesRemovesAndSaves()
    {
        ToolHarness harness;
        auto* view = harness.open<SnapshotsView>(ToolID::videoSnapshots, {m_clip});
        QVERIFY(view);
        QCOMPARE(view->window()->size(), QSize(720, 640));
        QVERIFY(view->strip()->findChild<QLabel*>());
        QVERIFY(view->timeline()->state().markers.isEmpty());
        QCOMPARE(view->primaryButton()->text(), QString("Save Snapshot"));
        QVERIFY(!view->primaryButton()->isEnabled());

        const double times[] = {3, 1, 2};
        for (double t : times) {
            view->model().seek(t);
            view->takeButton()->click();
        }
        QCOMPARE(view->shots().times(), (QList<double>{3, 1, 2}));
        QCOMPARE(view->timeline()->state().markers, (QList<double>{3, 1, 2}));
        QCOMPARE(view->primaryButton()->text(), QString("Save 3 Snapshots"));
        QVERIFY(view->primaryButton()->isEnabled());
        // Every take gets its own thumbnail, one grab after another.
        QVERIFY(QTest::qWaitFor([view] { return !view->isGrabbing(); }, 30000));
        for (const SnapshotShots::Shot& shot : view->shots().shots())
            QVERIFY(!shot.thumb.isNull() && shot.thumb.width() <= 240);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QList<ShotTile*> tiles = view->strip()->findChildren<ShotTile*>();
        QCOMPARE(tiles.size(), 3);

        // The second tile's remove button.
        QTest::mouseClick(tiles[1], Qt::LeftButton, {}, ShotTile::removeBox().center());
        QCOMPARE(view->shots().times(), (QList<double>{3, 2}));
        QCOMPARE(view->timeline()->state().markers, (QList<double>{3, 2}));
        QCOMPARE(view->primaryButton()->text(), QString("Save 2 Snapshots"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(view->strip()->findChildren<ShotTile*>().size(), 2);

        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->title(), QString("Saving snapshots"));
        QCOMPARE(job->state().phase, Job::Phase::done);
        const QStringList results{m_dir.filePath("Party Snapshot 1.png"),
                                  m_dir.filePath("Party Snapshot 2.png")};
        QCOMPARE(job->results(), results);
        for (const QString& result : results)
            QCOMPARE(QImage(result).size(), QSize(320, 240));
    }

    // Paused between two frames, the preview shows the earlier one, and that is the one saved.
    void savesTheFrameShown()
    {
        const QString clip = m_dir.filePath("Count.mp4");
        QVERIFY(makeNumberedClip(clip));
        for (const double at : {12.5, 12.9}) {
            ToolHarness harness;
            auto* view = harness.open<SnapshotsView>(ToolID::videoSnapshots, {clip});
            QVERIFY(view);
            view->model().seek(at * 1001 / 30000);
            QVERIFY(QTest::qWaitFor([view] { return frameNumber(view->model().picture()) == 12; }, 30000));
            view->take();
            const std::shared_ptr<Job> job = harness.apply(*view);
            QVERIFY(job && job->state().phase == Job::Phase::done);
            QCOMPARE(frameNumber(QImage(job->results().value(0))), 12);
            QVERIFY(QFile::remove(job->results().value(0)));
        }
    }

    void oneTakeReadsSingular()
    {
        ToolHarness harness;
        auto* view = harness.open<SnapshotsView>(ToolID::videoSnapshots, {m_clip});
        QVERIFY(view);
        view->model().seek(1.25);
        view->take();
        QCOMPARE(view->primaryButton()->text(), QString("Save Snapshot"));
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->state().phase, Job::Phase::done);
        QCOMPARE(job->results(), QStringList{m_dir.filePath("Party Snapshot.png")});
    }

    // Closing with thumbnails on their way leaves them nothing to touch.
    void closedWhileGrabbing()
    {
        ToolHarness harness;
        auto* view = harness.open<SnapshotsView>(ToolID::videoSnapshots, {m_clip});
        QVERIFY(view);
        for (int i = 0; i < 4; ++i)
            view->take();
        QVERIFY(view->isGrabbing());
        QPointer<QWidget> window = view->window();
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(QTest::qWaitFor([&] { return !window; }, 10000));
        Pools::loader().waitForDone();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
};

QTEST_MAIN(SnapshotsVideoTest)
#include "test_snapshotsvideo.moc"
