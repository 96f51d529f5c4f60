// The Join Videos window on real clips: the rows' lengths and sizes and the total, the order set
// by dragging is the order joined, and a clip without a picture is refused before the job.

#include "core/fmt.h"
#include "core/job.h"
#include "toolkit/orderlist.h"
#include "toolkit/primarybutton.h"
#include "tools/video/join/joinvideosview.h"

#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "../../../support/orderlistdrag.h"
#include "../../../support/toolharness.h"
#include "../../../support/videoclip.h"

namespace {

Media::Probe lasting(double seconds)
{
    Media::Probe p;
    p.duration = seconds;
    return p;
}

} // namespace

class JoinVideosTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        QVERIFY(makeClip(path("a.mp4"), 1.0));
        QVERIFY(makeClip(path("b.mp4"), 2.5, "160x120"));
        QVERIFY(makeClip(path("c.mp4"), 1.5));
        QProcess voice;
        voice.start("ffmpeg",
                    {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=d=1", "-c:a", "aac", path("voice.m4a")});
        QVERIFY(voice.waitForFinished(60000) && voice.exitCode() == 0);
        // A phone's portrait clip: stored 320 × 240, shown a quarter turn round.
        QProcess turn;
        turn.start("ffmpeg", {"-v", "error", "-y", "-i", path("a.mp4"), "-c", "copy", "-metadata:s:v:0",
                              "rotate=90", path("portrait.mp4")});
        QVERIFY(turn.waitForFinished(60000) && turn.exitCode() == 0);
    }

    // Lengths in whole seconds, the total summed before it is cut; a clip not probed yet shows
    // its size alone.
    void detailsAndTotal()
    {
        const QString a = path("a.mp4"), b = path("b.mp4");
        const QString size = Fmt::byteCount(Fmt::fileSize(a));
        const QHash<QString, Media::Probe> probes{{a, lasting(65)}, {b, lasting(30.5)}};
        QCOMPARE(JoinVideosView::detail(a, probes), "1:05 · " + size);
        QVERIFY(JoinVideosView::detail(b, probes).startsWith("0:30 · "));
        QCOMPARE(JoinVideosView::total(probes), QString("Total 1:35"));
        QCOMPARE(JoinVideosView::detail(a, {}), size);
        QCOMPARE(JoinVideosView::total({}), QString("Total 0:00"));
        // An unreadable clip counts as no length at all.
        QCOMPARE(JoinVideosView::total({{a, Media::Probe{}}, {b, lasting(2)}}), QString("Total 0:02"));
    }

    // [a, b, c] dragged to [c, a, b] is joined in that order, named after c, as long as all three.
    void joinsInTheDraggedOrder()
    {
        ToolHarness harness;
        const QString a = path("a.mp4"), b = path("b.mp4"), c = path("c.mp4");
        auto* view = harness.open<JoinVideosView>(ToolID::joinVideos, {a, b, c});
        QVERIFY(view);
        QCOMPARE(view->window()->size(), QSize(480, 480));
        QCOMPARE(view->primaryButton()->text(), QString("Join 3 Videos"));
        QCOMPARE(view->totalText()->text(), QString("Total 0:05"));
        QVERIFY2(view->list()->detail(b).startsWith("0:02 · "), qPrintable(view->list()->detail(b)));
        QVERIFY(view->problemText()->isHidden());

        view->list()->resize(400, view->list()->minimumSizeHint().height());
        drag(*view->list(), 3, 1);
        QCOMPARE(view->list()->urls(), (QStringList{c, a, b}));
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->title(), QString("Joining videos"));
        QCOMPARE(job->detail(), QString("3 clips"));
        QCOMPARE(job->state().phase, Job::Phase::done);
        QCOMPARE(job->results(), QStringList{path("c Joined.mp4")});
        const double d = probedDuration(job->results().value(0));
        QVERIFY2(std::abs(d - 5.0) < 0.2, qPrintable(QString::number(d)));
    }

    // A portrait clip first makes a portrait video: its size is read as it is shown, both by
    // the libraries and by ffprobe.
    void portraitClipFirst()
    {
        const QString portrait = path("portrait.mp4");
        QCOMPARE(Media::probe(portrait).width, 240);
        QCOMPARE(Media::probe(portrait).height, 320);
        QCOMPARE(Media::probeWithFfprobe(portrait).width, 240);
        QCOMPARE(Media::probeWithFfprobe(portrait).height, 320);
        ToolHarness harness;
        auto* view = harness.open<JoinVideosView>(ToolID::joinVideos, {portrait, path("b.mp4")});
        QVERIFY(view);
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QVERIFY2(job->state().phase == Job::Phase::done, qPrintable(job->state().message));
        const Media::Probe joined = Media::probeWithFfprobe(job->results().value(0));
        QCOMPARE(QSize(joined.width, joined.height), QSize(240, 320));
        QVERIFY2(std::abs(joined.duration - 3.5) < 0.2, qPrintable(QString::number(joined.duration)));
    }

    // A sound has no picture to join, wherever it stands: the window names it and will not join,
    // with the sound first or moved after a video.
    void clipWithoutPicture()
    {
        ToolHarness harness;
        const QString voice = path("voice.m4a"), a = path("a.mp4");
        auto* view = harness.open<JoinVideosView>(ToolID::joinVideos, {voice, a});
        QVERIFY(view);
        QVERIFY(!view->problemText()->isHidden());
        QCOMPARE(view->problemText()->text(), QString("voice.m4a has no picture to join"));
        QVERIFY(!view->primaryButton()->isEnabled());

        view->list()->resize(400, view->list()->minimumSizeHint().height());
        drag(*view->list(), 2, 1);
        QCOMPARE(view->list()->urls(), (QStringList{a, voice}));
        QVERIFY(!view->problemText()->isHidden());
        QCOMPARE(view->problemText()->text(), QString("voice.m4a has no picture to join"));
        QVERIFY(!view->primaryButton()->isEnabled());
        QVERIFY(!harness.apply(*view));
        QVERIFY(!QFile::exists(path("a Joined.mp4")));
    }

    // Opened with the sound second, the window refuses it as well.
    void secondClipWithoutPicture()
    {
        ToolHarness harness;
        auto* view = harness.open<JoinVideosView>(ToolID::joinVideos, {path("a.mp4"), path("voice.m4a")});
        QVERIFY(view);
        QVERIFY(!view->problemText()->isHidden());
        QCOMPARE(view->problemText()->text(), QString("voice.m4a has no picture to join"));
        QVERIFY(!view->primaryButton()->isEnabled());
    }
};

QTEST_MAIN(JoinVideosTest)
#include "test_joinvideos.moc"
