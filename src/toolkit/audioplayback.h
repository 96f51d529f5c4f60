#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class Job;
class PcmStream;
class PreviewRunner;
namespace PreviewClip {
struct File;
}
class QAudioSink;
class QIODevice;
class QTimer;

// An audio window's player: a file or a range of it, or a preview that ffmpeg renders first
// (at most previewLimit seconds, AAC, in a temporary "tolvane-preview-…" file). One thing plays
// at a time; each play stops the one before. The position comes from the sound device and is
// read every tickMs. stop() also ends a preview still rendering, which then never plays, and
// removes the preview file; so does destroying the player. Main thread.
class AudioPlayback : public QObject
{
    Q_OBJECT
  public:
    static constexpr int tickMs = 30;
    static constexpr double previewLimit = 60;

    explicit AudioPlayback(QObject* parent = nullptr);
    ~AudioPlayback() override;

    bool isPlaying() const { return m_playing; }
    // Seconds into the file of what was heard last; kept after stopping.
    double time() const { return m_time; }
    // A preview is being rendered to be played.
    bool isRendering() const;

    // Plays `path` from `from` seconds to `to`, or to its end. A file that cannot be played
    // beeps and stops.
    void play(const QString& path, double from, std::optional<double> to);
    void stop();
    // Renders the first `duration` seconds (at most previewLimit) of `path` with the extra
    // arguments `filter` ("-af", a graph) and plays the result from its start; a render that
    // fails calls `onError` with the reason instead.
    void playRendered(const QString& path, const QStringList& filter, double duration,
                      std::function<void(const QString&)> onError);

    // ffmpeg's arguments for a preview (after its fixed prefix).
    static QStringList previewArgs(const QString& path, const QStringList& filter, double duration,
                                   const QString& output);
    // What a file that cannot be played does: the desktop's beep unless replaced (tests count).
    void setBeep(std::function<void()> beep) { m_beep = std::move(beep); }

  signals:
    void playingChanged(bool playing);
    void timeChanged(double seconds);

  private:
    void start(const QString& path, double from, std::optional<double> to);
    void tick();
    void setPlaying(bool playing);
    void fail();

    PreviewRunner* m_runner;
    QTimer* m_timer;
    std::unique_ptr<PcmStream> m_stream;
    QAudioSink* m_sink = nullptr;
    QIODevice* m_device = nullptr;
    QByteArray m_pending;     // taken from the stream, not yet accepted by the device
    quint64 m_generation = 0; // bumped by every stop: a render begun before never plays
    std::shared_ptr<Job> m_rendering;
    std::shared_ptr<PreviewClip::File> m_preview; // the rendered file now playing
    double m_from = 0;
    std::optional<double> m_stopAt;
    bool m_playing = false;
    double m_time = 0;
    std::function<void()> m_beep;
};
