#pragma once

#include "engines/media/media.h"
#include "engines/media/toolchoices.h"
#include "toolkit/video/videoplayer.h"
#include "toolkit/viewsource.h"

#include <QImage>
#include <QList>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class PreviewRunner;
class QTimer;

// The one video behind a single-video tool window: its probe, the timeline's thumbnails, the
// playhead, and either a player or, where the file cannot be played here, still frames grabbed
// by ffmpeg. It settles once the probe, the thumbnails and a first picture (or the lack of one)
// have arrived, and has failed when no length could be read. Work still under way when the
// model goes (its window closed) stops at the next frame and delivers nothing. Main thread.
class VideoModel : public ViewSource
{
    Q_OBJECT
  public:
    static constexpr int thumbCount = 12;
    static constexpr double thumbSize = 160;
    static constexpr double stillSize = 1000;
    // How often the playhead follows the player while it plays, in milliseconds.
    static constexpr int tickMs = 33;

    // Where the model gets what it shows; tests give their own.
    struct Backend
    {
        std::function<Media::Probe(const QString& path)> probe;
        std::function<QImage(const QString& path, double seconds, double maxSize)> frame;
        // A player for the file, or null where nothing can be played.
        std::function<VideoPlayer*(const QString& path)> player;

        // ffmpeg's probe and frames, and the media framework's player where there is a display.
        static Backend standard();
    };

    explicit VideoModel(const QString& path, QObject* parent = nullptr);
    VideoModel(const QString& path, Backend backend, QObject* parent = nullptr);
    ~VideoModel() override;

    QString path() const { return m_path; }
    const Media::Probe& probe() const { return m_probe; }
    double duration() const { return m_duration; }
    double time() const { return m_time; }
    bool isPlaying() const { return m_playing; }
    std::optional<double> stopAt() const { return m_stopAt; }
    // The probe's frame rate, or 30 when it gave none.
    double fps() const;
    // Whether the file plays here; until the player says so, and after it fails, stills show.
    bool hasPlayer() const { return m_player && m_playable; }
    // The newest still frame; null before one arrived or when the newest grab failed.
    const QImage& still() const { return m_still; }
    // What the preview shows: the player's newest frame once it gave one, else the still.
    QImage picture() const;
    const QList<QImage>& thumbs() const { return m_thumbs; }

    // Moves the playhead to `seconds` clamped into 0…duration (not a number: 0), the player with
    // it or, without one, the still. Playing and the stop time are left alone.
    void seek(double seconds);
    // Asks for a still at `seconds`; only the newest of overlapping requests is shown.
    void loadStill(double seconds);
    // The pause step of every control that stops playback: the player paused, no stop time.
    void pause();
    // Play or pause, as the transport's button does: with `range`, playback runs inside it and
    // stops at its end, starting over at its start when the playhead is outside it or within
    // 0.05 s of its end. Does nothing without a player.
    void togglePlay(const std::optional<TimeRange>& range);
    // One frame back (−1) or forward (+1), paused.
    void step(int direction);
    // Plays `clip`, a rendering of the file from `origin` that runs `rate` times as fast, in the
    // file's place: its frames are the picture and the playhead follows it through the file. Its
    // end, pause() and every control that pauses leave it, the file's player waiting at the point
    // reached. False, and nothing changes, without a player. With `more`, further pieces follow
    // (followStandIn): at its end playback holds, still playing, until the next one comes.
    bool playStandIn(const QString& clip, double origin, double rate, bool more = false);
    // The piece that plays, at the same rate, once the one playing ends; loaded meanwhile. Ignored
    // unless a stand-in plays.
    void followStandIn(const QString& clip, double origin, bool more);
    bool isPlayingStandIn() const { return !m_standIn.isNull(); }
    // The playhead follows the player; stops at the stop time. The timer calls it while playing.
    void tick();

    bool isSettled() const override { return m_probed && m_thumbsReady && m_pictureReady; }
    bool hasFailed() const override { return isSettled() && !(m_duration > 0); }

  signals:
    void probeChanged();
    void durationChanged();
    void timeChanged();
    void playingChanged();
    void pictureChanged();
    void thumbsChanged();
    // The player became usable, or went.
    void playerChanged();
    // The stand-in that followed took over from the one that ended.
    void standInAdvanced();

  private:
    struct Work;

    void probed(const Media::Probe& probe);
    void thumbsMade(const QList<QImage>& thumbs);
    void stillMade(const QImage& still);
    void setTime(double seconds);
    void setPlaying(bool playing);
    void playerFailed();
    void leaveStandIn();
    VideoPlayer* makeStandIn(const QString& clip);
    void standInEnded();
    void advanceStandIn();
    void pictureArrived();
    void settleIfDone(bool wasSettled);

    const QString m_path;
    const Backend m_backend;
    Media::Probe m_probe;
    double m_duration = 0;
    double m_time = 0;
    bool m_playing = false;
    std::optional<double> m_stopAt;
    QImage m_still;
    QImage m_frame;
    QList<QImage> m_thumbs;
    QPointer<VideoPlayer> m_player;
    QPointer<VideoPlayer> m_standIn;
    double m_standInOrigin = 0;
    double m_standInRate = 1;
    bool m_standInMore = false;
    bool m_standInOver = false; // ended, its follower awaited
    QPointer<VideoPlayer> m_follower;
    double m_followerOrigin = 0;
    bool m_followerMore = false;
    bool m_playable = false;
    bool m_probed = false;
    bool m_thumbsReady = false;
    bool m_pictureReady = false;
    PreviewRunner* m_stills;
    QTimer* m_ticker;
    std::shared_ptr<Work> m_work; // shared with the probe and thumbnail task
};
