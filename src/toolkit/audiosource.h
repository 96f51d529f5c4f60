#pragma once

#include "engines/media/media.h"
#include "toolkit/viewsource.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>

class Job;

// What an audio window shows of its first file: the probe and the waveform's peak buckets,
// read on the loader pool. Until loaded it holds the default probe (duration 0) and no samples;
// it settles once, loaded or not, and fails when no length could be read. Destroying it ends a
// read still under way. Main thread.
class AudioSource : public ViewSource
{
    Q_OBJECT
  public:
    // Starts loading at once and returns before anything is read.
    AudioSource(const QString& path, int buckets, QObject* parent = nullptr);
    ~AudioSource() override;

    QString path() const { return m_path; }
    const QList<float>& samples() const { return m_samples; }
    const Media::Probe& probe() const { return m_probe; }
    double duration() const { return m_probe.duration; }
    bool isReady() const { return m_ready; }
    // Once ready without a length: why, in plain words.
    std::optional<QString> error() const { return m_error; }

    bool isSettled() const override { return m_ready; }
    bool hasFailed() const override { return m_error.has_value(); }

  signals:
    // Probe and samples have arrived; settled() follows.
    void loaded();

  private:
    const QString m_path;
    QList<float> m_samples;
    Media::Probe m_probe;
    bool m_ready = false;
    std::optional<QString> m_error;
    std::shared_ptr<Job> m_reading; // cancelled when the window goes first
};
