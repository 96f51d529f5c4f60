#include "tools/video/speed/speedpreview.h"

#include "core/job.h"
#include "engines/media/media.h"
#include "toolkit/previewclip.h"
#include "toolkit/previewrunner.h"
#include "toolkit/video/videomodel.h"
#include "tools/video/speed/speedclip.h"

SpeedPreview::SpeedPreview(VideoModel& model, QObject* parent)
    : QObject(parent), m_model(model), m_runner(new PreviewRunner(this))
{
    // The user played or moved the playhead while the clip was rendering: it is not wanted.
    for (auto signal : {&VideoModel::playingChanged, &VideoModel::timeChanged})
        connect(&model, signal, this, [this] {
            if (m_rendering) stop();
        });
}

SpeedPreview::~SpeedPreview()
{
    stop();
}

QString SpeedPreview::clip() const
{
    return m_clip ? m_clip->path : QString();
}

void SpeedPreview::stop()
{
    ++m_generation;
    if (m_rendering) m_rendering->cancel();
    m_rendering.reset();
    m_clip.reset();
}

void SpeedPreview::request(double speed, bool keepPitch)
{
    m_model.pause(); // leaves a clip playing, at the point it reached
    stop();
    const SpeedClip::Span span = SpeedClip::span(m_model.time(), m_model.duration(), speed);
    if (!(span.length > 0)) return;
    const Media::Probe& probe = m_model.probe();
    const std::optional<int> rate = probe.audioCodec ? std::optional<int>(probe.sampleRate) : std::nullopt;
    const std::shared_ptr<Job> job = Job::create(QStringLiteral("Preview"), m_model.path(), 0);
    std::function<PreviewClip::Result()> render = PreviewClip::render(
        QStringLiteral("mp4"),
        [&](const QString& out) {
            return SpeedClip::args(m_model.path(), span, speed, keepPitch, rate, out);
        },
        job);
    m_rendering = job;
    const quint64 generation = ++m_generation;
    m_runner->request<PreviewClip::Result>(
        std::move(render), [this, generation, job, span, speed](PreviewClip::Result out) {
            if (generation != m_generation || job->isCancelled()) return; // its file goes with `out`
            m_rendering.reset();
            if (!out.file) {
                emit failed(out.error.isEmpty() ? QStringLiteral("Couldn’t render the preview") : out.error);
                return;
            }
            m_clip = out.file;
            if (!m_model.playStandIn(m_clip->path, span.from, speed)) m_clip.reset();
        });
}
