#include "toolkit/audiosource.h"

#include "core/job.h"
#include "core/shell.h"
#include "toolkit/pools.h"

#include <QFileInfo>

namespace {

struct Loaded
{
    Media::Probe probe;
    QList<float> samples;
    bool hasFfmpeg = true;
};

} // namespace

AudioSource::AudioSource(const QString& path, int buckets, QObject* parent)
    : ViewSource(parent), m_path(path), m_reading(Job::create(QStringLiteral("Waveform"), path, 0))
{
    std::function<Loaded()> load = [path, buckets, job = m_reading] {
        Loaded out;
        out.probe = Media::probe(path);
        out.hasFfmpeg = Shell::find(QStringLiteral("ffmpeg")).has_value();
        if (!job->isCancelled()) out.samples = Media::waveform(path, buckets, job.get());
        return out;
    };
    Pools::deliver<Loaded>(Pools::loader(), this, std::move(load), [this](Loaded out) {
        m_probe = out.probe;
        m_samples = out.samples;
        m_ready = true;
        if (!(m_probe.duration > 0))
            m_error = out.hasFfmpeg
                          ? QStringLiteral("Couldn’t read the length of %1").arg(QFileInfo(m_path).fileName())
                          : Media::missingToolText();
        emit loaded();
        emit settled();
    });
}

AudioSource::~AudioSource()
{
    m_reading->cancel();
}
