#pragma once

#include <QObject>
#include <QString>
#include <memory>

class Job;
class PreviewRunner;
namespace PreviewClip {
struct File;
}
class VideoModel;

// The speed window's preview: renders a short clip from the playhead at a factor into a temporary
// "tolvane-preview-…" file and has the model play it in the file's place. The newest request wins:
// an earlier render, one the window closed on, or one the user moved on from (played or moved the
// playhead meanwhile) never plays. The clip's file goes when the next one replaces it and when the
// preview goes. Main thread.
class SpeedPreview : public QObject
{
    Q_OBJECT
  public:
    explicit SpeedPreview(VideoModel& model, QObject* parent = nullptr);
    ~SpeedPreview() override;

    // Pauses the model and renders from where its playhead stands.
    void request(double speed, bool keepPitch);
    // Drops a render under way and the clip's file; the model is left alone.
    void stop();
    bool isRendering() const { return bool(m_rendering); }
    // The clip now played; empty when there is none.
    QString clip() const;

  signals:
    // A render failed, with the reason in plain words.
    void failed(const QString& reason);

  private:
    VideoModel& m_model;
    PreviewRunner* m_runner;
    quint64 m_generation = 0; // bumped by every request and stop: an older render never plays
    std::shared_ptr<Job> m_rendering;
    std::shared_ptr<PreviewClip::File> m_clip;
};
