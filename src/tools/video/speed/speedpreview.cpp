#include "tools/video/speed/speedpreview.h"

#include "core/job.h"
#include "engines/media/media.h"
#include "toolkit/previewclip.h"
#include "toolkit/previewrunner.h"
#include "toolkit/video/videomodel.h"

SpeedPreview::SpeedPreview(VideoModel& model, QObject* parent)
    : QObject(parent), m_model(model), m_runner(new PreviewRunner(this))
{
    // Until the first piece plays, the user who plays or moves the playhead does not want it; once
    // pieces play, playback's own end or a pause ends the preview.
    connect(&model, &VideoModel::playingChanged, this, [this] {
        if (!m_model.isPlayingStandIn() && (m_rendering || m_clip)) stop();
    });
    connect(&model, &VideoModel::timeChanged, this, [this] {
        if (m_rendering && !m_model.isPlayingStandIn()) stop();
    });
    connect(&model, &VideoModel::standInAdvanced, this, &SpeedPreview::advanced);
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
    m_next.reset();
}

void SpeedPreview::request(double speed, bool keepPitch)
{
    m_model.pause(); // leaves a piece playing, at the point it reached
    stop();
    m_speed = speed;
    m_keepPitch = keepPitch;
    render(SpeedClip::span(m_model.time(), m_model.duration(), speed, m_pieceSeconds));
}

void SpeedPreview::render(const SpeedClip::Span& span)
{
    if (!(span.length > 0)) return;
    m_last = span;
    const Media::Probe& probe = m_model.probe();
    const std::optional<int> rate = probe.audioCodec ? std::optional<int>(probe.sampleRate) : std::nullopt;
    const std::shared_ptr<Job> job = Job::create(QStringLiteral("Preview"), m_model.path(), 0);
    std::function<PreviewClip::Result()> work = PreviewClip::render(
        QStringLiteral("mp4"),
        [&](const QString& out) {
            return SpeedClip::args(m_model.path(), span, m_speed, m_keepPitch, rate, out);
        },
        job);
    m_rendering = job;
    const quint64 generation = ++m_generation;
    m_runner->request<PreviewClip::Result>(
        std::move(work), [this, generation, job, span](PreviewClip::Result out) {
            if (generation != m_generation || job->isCancelled()) return; // its file goes with `out`
            m_rendering.reset();
            if (!out.file) {
                const bool playing = m_model.isPlayingStandIn();
                stop();
                if (playing) m_model.pause();
                emit failed(out.error.isEmpty() ? QStringLiteral("Couldn’t render the preview") : out.error);
                return;
            }
            rendered(span, out.file);
        });
}

void SpeedPreview::rendered(const SpeedClip::Span& span, const std::shared_ptr<PreviewClip::File>& file)
{
    const double duration = m_model.duration();
    const SpeedClip::Span after = SpeedClip::following(span, duration, m_speed, m_pieceSeconds);
    const bool more = after.length > 0;
    if (!m_clip) {
        m_clip = file;
        if (!m_model.playStandIn(m_clip->path, span.from, m_speed, more)) {
            m_clip.reset();
            return;
        }
        // The next piece renders while this one plays.
        render(after);
        return;
    }
    m_next = file;
    m_model.followStandIn(m_next->path, span.from, more);
}

void SpeedPreview::advanced()
{
    if (!m_next) return;
    m_clip = std::move(m_next); // the piece that ended goes with its file
    m_next.reset();
    render(SpeedClip::following(m_last, m_model.duration(), m_speed, m_pieceSeconds));
}
