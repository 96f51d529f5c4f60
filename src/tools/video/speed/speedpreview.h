#pragma once

#include "tools/video/speed/speedclip.h"

#include <QObject>
#include <QString>
#include <memory>

class Job;
class PreviewRunner;
namespace PreviewClip {
struct File;
}
class VideoModel;

// The speed window's preview: renders the file from the playhead at a factor, piece by piece, into
// temporary "tolvane-preview-…" files and has the model play them in the file's place, the next
// piece rendered while one plays, until the file ends or playback is paused. The newest request
// wins: an earlier render, one the window closed on, or one the user moved on from (played,
// paused or moved the playhead meanwhile) never plays. A piece's file goes once the next has taken
// over, when playback stops and when the preview goes. Main thread.
class SpeedPreview : public QObject
{
    Q_OBJECT
  public:
    explicit SpeedPreview(VideoModel& model, QObject* parent = nullptr);
    ~SpeedPreview() override;

    // Pauses the model and renders from where its playhead stands.
    void request(double speed, bool keepPitch);
    // Drops a render under way and the pieces' files; the model is left alone.
    void stop();
    bool isRendering() const { return bool(m_rendering); }
    // The piece now played; empty when there is none.
    QString clip() const;
    // How long each piece plays, in seconds; SpeedClip::playedSeconds unless a test says otherwise.
    void setPieceSeconds(double seconds) { m_pieceSeconds = seconds; }

  signals:
    // A render failed, with the reason in plain words.
    void failed(const QString& reason);

  private:
    void render(const SpeedClip::Span& span);
    void rendered(const SpeedClip::Span& span, const std::shared_ptr<PreviewClip::File>& file);
    void advanced();

    VideoModel& m_model;
    PreviewRunner* m_runner;
    quint64 m_generation = 0; // bumped by every request and stop: an older render never plays
    std::shared_ptr<Job> m_rendering;
    std::shared_ptr<PreviewClip::File> m_clip;
    std::shared_ptr<PreviewClip::File> m_next; // rendered, waiting for the piece playing to end
    SpeedClip::Span m_last;                    // the newest piece rendered
    double m_speed = 1;
    bool m_keepPitch = true;
    double m_pieceSeconds = SpeedClip::playedSeconds;
};
