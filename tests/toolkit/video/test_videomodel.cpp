// The video model over stand-in probes, frames and players: what it publishes and in which
// order, its clamps, the coalescing of stills, playback against a stand-in player, and a
// model that goes while its work still runs.

#include "toolkit/pools.h"
#include "toolkit/video/transportbar.h"
#include "toolkit/video/videomodel.h"

#include <QAbstractButton>
#include <QMutex>
#include <QSemaphore>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace {

// A player whose position the test sets; it remembers whether it was told to play.
class FakePlayer : public VideoPlayer
{
  public:
    void play() override { playing = true; }
    void pause() override { playing = false; }
    void setPosition(double seconds) override { at = seconds; }
    double position() const override { return at; }
    double at = 0;
    bool playing = false;
};

// Frames tagged with their time, and a log of every request the model made.
struct Frames
{
    QMutex lock;
    QList<std::pair<double, double>> calls; // seconds, max size
    QSemaphore* gate = nullptr;             // when set, a still at 1 s waits for it
    std::optional<double> failAt;           // the frame at this time cannot be had

    QImage frame(double seconds, double maxSize)
    {
        {
            QMutexLocker hold(&lock);
            calls.append({seconds, maxSize});
        }
        if (gate && seconds == 1 && maxSize == VideoModel::stillSize) gate->acquire();
        if (failAt && std::abs(seconds - *failAt) < 1e-9) return {};
        QImage image(16, 9, QImage::Format_RGB32);
        image.fill(Qt::gray);
        image.setText(QStringLiteral("t"), QString::number(seconds));
        return image;
    }
    QList<std::pair<double, double>> taken()
    {
        QMutexLocker hold(&lock);
        return calls;
    }
};

VideoModel::Backend backend(std::shared_ptr<Frames> frames, double duration, double fps,
                            FakePlayer** player = nullptr, QSemaphore* probeGate = nullptr)
{
    VideoModel::Backend b;
    b.probe = [duration, fps, probeGate](const QString&) {
        if (probeGate) probeGate->acquire();
        Media::Probe p;
        p.duration = duration;
        p.fps = fps;
        return p;
    };
    b.frame = [frames](const QString&, double s, double m) { return frames->frame(s, m); };
    b.player = [player](const QString&) -> VideoPlayer* {
        if (!player) return nullptr;
        *player = new FakePlayer;
        return *player;
    };
    return b;
}

bool settle(VideoModel& model)
{
    return QTest::qWaitFor([&] { return model.isSettled(); }, 30000);
}

} // namespace

class VideoModelTest : public QObject
{
    Q_OBJECT

  private slots:
    // The probe comes first, then twelve thumbnails in the middles of twelve slices, 160 px at
    // most, a failed one left out; the first still is asked for at 0 s.
    void probeThenThumbnails()
    {
        auto frames = std::make_shared<Frames>();
        frames->failAt = 6.0 * 3.5 / 12;
        VideoModel model(QStringLiteral("clip.mp4"), backend(frames, 6, 0));
        QCOMPARE(model.duration(), 0.0);
        model.seek(2); // before the probe, every seek lands on 0
        QCOMPARE(model.time(), 0.0);
        int probesAtThumbs = -1, probes = 0;
        connect(&model, &VideoModel::probeChanged, this, [&] { ++probes; });
        connect(&model, &VideoModel::thumbsChanged, this, [&] { probesAtThumbs = probes; });
        QVERIFY(settle(model));
        QCOMPARE(probesAtThumbs, 1);
        QCOMPARE(model.duration(), 6.0);
        QCOMPARE(model.fps(), 30.0); // the probe gave no rate
        QCOMPARE(model.thumbs().size(), 11);
        QList<double> thumbTimes, stillTimes;
        for (const auto& [s, m] : frames->taken())
            (m == VideoModel::thumbSize ? thumbTimes : stillTimes) << s;
        QCOMPARE(thumbTimes.size(), 12);
        std::sort(thumbTimes.begin(), thumbTimes.end()); // grabbed side by side
        QStringList expected;
        for (int i = 0; i < 12; ++i) {
            QVERIFY(std::abs(thumbTimes[i] - 6.0 * (i + 0.5) / 12) < 1e-9);
            if (i != 3) expected << QString::number(6.0 * (i + 0.5) / 12);
        }
        // Shown in time order, whatever order they were made in.
        QStringList shown;
        for (const QImage& thumb : model.thumbs())
            shown << thumb.text("t");
        QCOMPARE(shown, expected);
        QCOMPARE(stillTimes, QList<double>{0});
        QVERIFY(!model.hasFailed());
        QCOMPARE(model.picture().text("t"), QString("0"));
    }

    void seekClamps()
    {
        auto frames = std::make_shared<Frames>();
        VideoModel model(QStringLiteral("clip.mp4"), backend(frames, 5, 25));
        QVERIFY(settle(model));
        const struct
        {
            double to, expected;
        } rows[] = {{-3, 0}, {9, 5}, {std::numeric_limits<double>::quiet_NaN(), 0}, {2.5, 2.5}};
        for (const auto& row : rows) {
            model.seek(row.to);
            QCOMPARE(model.time(), row.expected);
        }
        model.seek(5);
        model.step(1); // stepping past the end stays there
        QCOMPARE(model.time(), 5.0);
        model.seek(0);
        model.step(-1);
        QCOMPARE(model.time(), 0.0);
        model.step(1);
        QCOMPARE(model.time(), 1.0 / 25);
        // Without a player a seek shows a still of the new time.
        QVERIFY(QTest::qWaitFor([&] { return model.still().text("t") == QString::number(1.0 / 25); }, 30000));
    }

    // Three quick requests: the one running finishes, the middle one is never made, only the
    // newest is shown.
    void stillsCoalesce()
    {
        auto frames = std::make_shared<Frames>();
        QSemaphore gate;
        VideoModel model(QStringLiteral("clip.mp4"), backend(frames, 5, 25));
        QVERIFY(settle(model));
        frames->gate = &gate;
        const qsizetype before = frames->taken().size();
        model.loadStill(1);
        model.loadStill(2);
        model.loadStill(3);
        gate.release();
        QVERIFY(QTest::qWaitFor([&] { return model.still().text("t") == "3"; }, 30000));
        QList<double> asked;
        for (const auto& call : frames->taken().mid(before))
            asked << call.first;
        QCOMPARE(asked, (QList<double>{1, 3}));
        QCOMPARE(model.still().text("t"), QString("3"));
    }

    // Play and pause against a player: the range decides where playback starts and stops,
    // and the end of the media stops it too.
    void playback()
    {
        auto frames = std::make_shared<Frames>();
        FakePlayer* player = nullptr;
        VideoModel model(QStringLiteral("clip.mp4"), backend(frames, 10, 25, &player));
        TransportBar bar(model);
        QVERIFY(settle(model));
        QVERIFY(player);
        QVERIFY(!model.hasPlayer());
        model.togglePlay(std::nullopt); // not known to play yet: nothing happens
        QVERIFY(!model.isPlaying() && !player->playing);
        QVERIFY(!bar.playButton()->isEnabled());
        emit player->playable();
        QVERIFY(model.hasPlayer() && bar.playButton()->isEnabled());

        // Within 0.05 s of the range's end, or outside it: start over at its start.
        const TimeRange range{2, 4};
        for (double at : {3.96, 1.0, 6.0}) {
            model.pause();
            model.seek(at);
            model.togglePlay(range);
            QCOMPARE(model.time(), 2.0);
            QCOMPARE(player->at, 2.0);
            QCOMPARE(model.stopAt(), std::optional<double>(4));
            QVERIFY(player->playing && model.isPlaying());
        }
        model.pause();
        model.seek(3);
        model.togglePlay(range); // inside: from the playhead
        QCOMPARE(model.time(), 3.0);
        player->at = 3.99;
        model.tick();
        QVERIFY(model.isPlaying());
        player->at = 4.0;
        model.tick();
        QVERIFY(!model.isPlaying() && !player->playing);
        QCOMPARE(model.stopAt(), std::nullopt);

        // Without a range playback runs to the end of the media, which stops it.
        model.togglePlay(std::nullopt);
        QCOMPARE(model.stopAt(), std::nullopt);
        QCOMPARE(bar.playButton()->toolTip(), QString("Pause"));
        player->at = 10;
        emit player->ended();
        QVERIFY(!model.isPlaying());
        QCOMPARE(model.time(), 10.0);
        QCOMPARE(bar.playButton()->toolTip(), QString("Play"));

        // A player that fails later leaves stills behind.
        model.seek(5);
        emit player->failed();
        QVERIFY(!model.hasPlayer() && !bar.playButton()->isEnabled());
        QVERIFY(QTest::qWaitFor([&] { return model.picture().text("t") == "5"; }, 30000));
    }

    // A model that goes while its probe runs: nothing is delivered to it and no thumbnail is
    // grabbed for it.
    // A stand-in clip plays in the file's place: its frames are the picture and the playhead runs
    // through the file at its rate; its end, a failure, a pause or a step hands back to the file
    // at the point reached, and a second stand-in replaces the first.
    void standIn()
    {
        QList<QPointer<FakePlayer>> players;
        VideoModel::Backend b = backend(std::make_shared<Frames>(), 20, 25);
        b.player = [&players](const QString&) { return players.emplaceBack(new FakePlayer).data(); };
        VideoModel model(QStringLiteral("clip.mp4"), b);
        QVERIFY(settle(model));
        QVERIFY(!model.playStandIn("clip-2x.mp4", 0, 2)); // the file cannot play yet
        FakePlayer* file = players.value(0);
        emit file->playable();
        QImage red(8, 8, QImage::Format_RGB32), blue(8, 8, QImage::Format_RGB32);
        red.fill(Qt::red);
        blue.fill(Qt::blue);
        const std::function<void(FakePlayer&)> ways[] = {
            [](FakePlayer& clip) { emit clip.ended(); }, [](FakePlayer& clip) { emit clip.failed(); },
            [&](FakePlayer&) { model.togglePlay(std::nullopt); }, [&](FakePlayer&) { model.step(1); }};
        for (int i = 0; i < 4; ++i) {
            const double origin = model.time();
            QVERIFY(model.playStandIn("clip-2x.mp4", origin, 2));
            QPointer<FakePlayer> clip = players.last();
            emit clip->playable();
            QVERIFY(clip->playing && !file->playing && model.isPlaying());
            emit clip->frame(red);
            emit file->frame(blue); // the file's frames wait meanwhile
            QCOMPARE(model.picture(), red);
            clip->at = 1.5;
            model.tick();
            QCOMPARE(model.time(), origin + 3);
            ways[i](*clip);
            const double reached = origin + 3 + (i == 3 ? 1.0 / 25 : 0);
            QVERIFY(!model.isPlaying() && !model.isPlayingStandIn());
            QCOMPARE(model.time(), reached);
            QCOMPARE(file->at, reached); // the file shows where the clip was
            emit file->frame(blue);
            QCOMPARE(model.picture(), blue);
            QVERIFY(QTest::qWaitFor([&] { return clip.isNull(); }, 30000));
        }
        QVERIFY(model.playStandIn("a.mp4", 0, 2));
        QPointer<FakePlayer> first = players.last();
        QVERIFY(model.playStandIn("b.mp4", 0, 0.5));
        QVERIFY(QTest::qWaitFor([&] { return first.isNull(); }, 30000));
    }

    void goneWhileProbing()
    {
        auto frames = std::make_shared<Frames>();
        QSemaphore probeGate;
        auto* model = new VideoModel(QStringLiteral("clip.mp4"), backend(frames, 5, 25, nullptr, &probeGate));
        delete model;
        probeGate.release();
        Pools::loader().waitForDone();
        QCoreApplication::sendPostedEvents();
        QVERIFY(frames->taken().isEmpty());
    }

    void unreadableFileFails()
    {
        auto frames = std::make_shared<Frames>();
        VideoModel model(QStringLiteral("junk.mp4"), backend(frames, 0, 30));
        QVERIFY(settle(model));
        QVERIFY(model.hasFailed());
        model.seek(3);
        QCOMPARE(model.time(), 0.0);
    }
};

QTEST_MAIN(VideoModelTest)
#include "test_videomodel.moc"
