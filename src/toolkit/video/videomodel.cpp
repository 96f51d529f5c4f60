#include "toolkit/video/videomodel.h"

#include "engines/heavyengines.h"
#include "toolkit/pools.h"
#include "toolkit/previewrunner.h"
#include "toolkit/video/mediaplayer.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>

// What the probe and thumbnail task shares with the model: a closed window tells it to stop.
struct VideoModel::Work
{
    std::atomic<bool> abandoned{false};
};

namespace {

// Runs `step` on the main thread unless the model has gone by then.
void post(const QPointer<VideoModel>& model, std::function<void(VideoModel&)> step)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [model, step = std::move(step)] {
            if (model) step(*model);
        },
        Qt::QueuedConnection);
}

} // namespace

VideoModel::Backend VideoModel::Backend::standard()
{
    Backend backend;
    backend.probe = Media::probe;
    backend.frame = [](const QString& path, double seconds, double maxSize) {
        try {
            return Modules::entries<HeavyEngines>().videoFrame(path, seconds, maxSize);
        } catch (const std::exception&) {
            return QImage(); // the engines' module could not be loaded: no picture
        }
    };
    backend.player = [](const QString& path) -> VideoPlayer* {
        return MediaPlayer::available() ? new MediaPlayer(path) : nullptr;
    };
    return backend;
}

VideoModel::VideoModel(const QString& path, QObject* parent) : VideoModel(path, Backend::standard(), parent)
{
}

VideoModel::VideoModel(const QString& path, Backend backend, QObject* parent)
    : ViewSource(parent), m_path(path), m_backend(std::move(backend)), m_stills(new PreviewRunner(this)),
      m_ticker(new QTimer(this)), m_work(std::make_shared<Work>())
{
    m_ticker->setInterval(tickMs);
    connect(m_ticker, &QTimer::timeout, this, &VideoModel::tick);
    if (VideoPlayer* player = m_backend.player ? m_backend.player(path) : nullptr) {
        player->setParent(this);
        m_player = player;
        connect(player, &VideoPlayer::playable, this, [this] {
            m_playable = true;
            // Paused rather than stopped, a player shows the frame of every seek.
            m_player->pause();
            m_player->setPosition(m_time);
            emit playerChanged();
        });
        connect(player, &VideoPlayer::failed, this, &VideoModel::playerFailed);
        // Reaching the end stops playback as the pause button would, so the button offers play.
        connect(player, &VideoPlayer::ended, this, [this] {
            tick();
            pause();
        });
        connect(player, &VideoPlayer::frame, this, [this](const QImage& picture) {
            if (m_standIn) return; // the stand-in's frames are the picture meanwhile
            m_frame = picture;
            pictureArrived();
        });
    }
    const QPointer<VideoModel> self(this);
    Pools::loader().start([self, work = m_work, path, probe = m_backend.probe, frame = m_backend.frame] {
        const Media::Probe p = probe(path);
        post(self, [p](VideoModel& model) { model.probed(p); });
        const double d = std::isfinite(p.duration) && p.duration > 0 ? p.duration : 0;
        // Four grabs at a time: each is an ffmpeg run that decodes from the key frame before it.
        std::vector<QImage> grabbed(thumbCount);
        Pools::forBands(Pools::loader(), thumbCount, thumbCount / 4, [&](int first, int end) {
            for (int i = first; i < end && !work->abandoned; ++i)
                grabbed[i] = frame(path, d * (i + 0.5) / thumbCount, thumbSize);
        });
        if (work->abandoned) return;
        QList<QImage> thumbs;
        for (const QImage& thumb : grabbed)
            if (!thumb.isNull()) thumbs << thumb;
        post(self, [thumbs](VideoModel& model) { model.thumbsMade(thumbs); });
    });
}

VideoModel::~VideoModel()
{
    m_work->abandoned = true;
}

double VideoModel::fps() const
{
    return std::isfinite(m_probe.fps) && m_probe.fps > 0 ? m_probe.fps : 30;
}

QImage VideoModel::picture() const
{
    return hasPlayer() && !m_frame.isNull() ? m_frame : m_still;
}

void VideoModel::seek(double seconds)
{
    double c = std::isfinite(seconds) && seconds > 0 ? seconds : 0;
    c = std::min(c, m_duration);
    setTime(c);
    if (hasPlayer())
        m_player->setPosition(c);
    else if (m_probed) // before it, the probe's own still at 0 s is on its way
        loadStill(c);
}

void VideoModel::loadStill(double seconds)
{
    std::function<QImage()> grab = [frame = m_backend.frame, path = m_path, seconds] {
        return frame(path, seconds, stillSize);
    };
    m_stills->request<QImage>(std::move(grab), [this](QImage still) { stillMade(still); });
}

void VideoModel::pause()
{
    leaveStandIn();
    if (m_player) m_player->pause();
    m_ticker->stop();
    m_stopAt.reset();
    setPlaying(false);
}

void VideoModel::togglePlay(const std::optional<TimeRange>& range)
{
    if (m_playing) {
        pause();
        return;
    }
    if (!hasPlayer()) return;
    if (range) {
        if (m_time >= range->end - 0.05 || m_time < range->start) seek(range->start);
        m_stopAt = range->end;
    } else {
        m_stopAt.reset();
    }
    m_player->play();
    m_ticker->start();
    setPlaying(true);
}

void VideoModel::step(int direction)
{
    pause();
    seek(m_time + direction / fps());
}

bool VideoModel::playStandIn(const QString& clip, double origin, double rate, bool more)
{
    if (!hasPlayer() || !(rate > 0)) return false;
    pause();
    VideoPlayer* standIn = makeStandIn(clip);
    if (!standIn) return false;
    m_standIn = standIn;
    m_standInOrigin = origin;
    m_standInRate = rate;
    m_standInMore = more;
    m_ticker->start();
    setPlaying(true);
    return true;
}

void VideoModel::followStandIn(const QString& clip, double origin, bool more)
{
    if (!m_standIn) return;
    if (m_follower) m_follower->deleteLater();
    m_follower = makeStandIn(clip);
    m_followerOrigin = origin;
    m_followerMore = more;
    if (m_follower && m_standInOver) advanceStandIn();
}

VideoPlayer* VideoModel::makeStandIn(const QString& clip)
{
    VideoPlayer* standIn = m_backend.player(clip);
    if (!standIn) return nullptr;
    standIn->setParent(this);
    // A follower waits, loaded, until it takes over.
    connect(standIn, &VideoPlayer::playable, this, [this, standIn] {
        if (standIn == m_standIn) standIn->play();
    });
    connect(standIn, &VideoPlayer::frame, this, [this, standIn](const QImage& picture) {
        if (standIn != m_standIn) return;
        m_frame = picture;
        pictureArrived();
    });
    connect(standIn, &VideoPlayer::ended, this, [this, standIn] {
        if (standIn == m_standIn) standInEnded();
    });
    // A clip that cannot be played hands back to the file.
    connect(standIn, &VideoPlayer::failed, this, [this, standIn] {
        if (standIn != m_standIn && standIn != m_follower) return;
        tick();
        pause();
    });
    return standIn;
}

void VideoModel::standInEnded()
{
    tick();
    if (m_follower)
        advanceStandIn();
    else if (m_standInMore)
        m_standInOver = true; // the playhead holds at the piece's end until the next one comes
    else
        pause();
}

void VideoModel::advanceStandIn()
{
    // Later: this may run inside one of the ended stand-in's own signals.
    m_standIn->deleteLater();
    m_standIn = m_follower;
    m_follower.clear();
    m_standInOrigin = m_followerOrigin;
    m_standInMore = m_followerMore;
    m_standInOver = false;
    m_standIn->play();
    emit standInAdvanced();
}

void VideoModel::leaveStandIn()
{
    if (m_follower) m_follower->deleteLater();
    m_follower.clear();
    m_standInOver = false;
    if (!m_standIn) return;
    VideoPlayer* standIn = m_standIn;
    m_standIn.clear();
    standIn->pause();
    // Later: this may run inside one of the stand-in's own signals.
    standIn->deleteLater();
    if (hasPlayer()) m_player->setPosition(m_time);
}

void VideoModel::tick()
{
    if (!m_player) return;
    const double at =
        m_standIn ? m_standInOrigin + m_standIn->position() * m_standInRate : m_player->position();
    setTime(m_duration > 0 ? std::clamp(at, 0.0, m_duration) : std::max(at, 0.0));
    if (m_stopAt && m_time >= *m_stopAt) pause();
}

void VideoModel::probed(const Media::Probe& probe)
{
    const bool wasSettled = isSettled();
    m_probe = probe;
    emit probeChanged();
    const double d = std::isfinite(probe.duration) && probe.duration > 0 ? probe.duration : 0;
    if (d != m_duration) {
        m_duration = d;
        emit durationChanged();
    }
    m_probed = true;
    // A first picture while the player has shown none (or there is no player).
    if (m_frame.isNull()) loadStill(0);
    settleIfDone(wasSettled);
}

void VideoModel::thumbsMade(const QList<QImage>& thumbs)
{
    const bool wasSettled = isSettled();
    m_thumbs = thumbs;
    m_thumbsReady = true;
    emit thumbsChanged();
    settleIfDone(wasSettled);
}

void VideoModel::stillMade(const QImage& still)
{
    m_still = still;
    pictureArrived();
}

void VideoModel::pictureArrived()
{
    const bool wasSettled = isSettled();
    m_pictureReady = true;
    emit pictureChanged();
    settleIfDone(wasSettled);
}

void VideoModel::setTime(double seconds)
{
    if (seconds == m_time) return;
    m_time = seconds;
    emit timeChanged();
}

void VideoModel::setPlaying(bool playing)
{
    if (playing == m_playing) return;
    m_playing = playing;
    emit playingChanged();
}

void VideoModel::playerFailed()
{
    if (!m_player) return;
    pause();
    m_player->deleteLater();
    m_player.clear();
    m_playable = false;
    m_frame = QImage();
    emit playerChanged();
    loadStill(m_time);
}

void VideoModel::settleIfDone(bool wasSettled)
{
    if (!wasSettled && isSettled()) emit settled();
}
