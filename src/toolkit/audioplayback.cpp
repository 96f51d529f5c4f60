#include "toolkit/audioplayback.h"

#include "core/job.h"
#include "engines/media/media.h"
#include "toolkit/pcmstream.h"
#include "toolkit/previewclip.h"
#include "toolkit/previewrunner.h"

#include <QApplication>
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <QTimer>
#include <algorithm>
#include <vector>

namespace {

// Qt 6.4's PulseAudio sink asks the server to drain on every underrun and never cancels that
// request: its answer can come back on the sound server's thread after the sink was stopped,
// and calls into the sink then. A stopped sink is therefore kept for a while before it goes;
// the server answers a drain of a stream it has deleted at once, well inside this time.
constexpr int retiredSinkMs = 3000;

// Held here so that a sink still waiting when the application ends stays reachable: it is left
// to the process's end, as deleting it after the sound system's own teardown crashes.
std::vector<QAudioSink*>& retiredSinks()
{
    static std::vector<QAudioSink*> sinks;
    return sinks;
}

void retire(QAudioSink* sink)
{
    sink->stop();
    sink->disconnect();
    retiredSinks().push_back(sink);
    QTimer::singleShot(retiredSinkMs, QCoreApplication::instance(), [sink] {
        std::erase(retiredSinks(), sink);
        delete sink;
    });
}

} // namespace

AudioPlayback::AudioPlayback(QObject* parent)
    : QObject(parent), m_runner(new PreviewRunner(this)), m_timer(new QTimer(this)),
      m_beep([] { QApplication::beep(); })
{
    m_timer->setInterval(tickMs);
    connect(m_timer, &QTimer::timeout, this, &AudioPlayback::tick);
}

AudioPlayback::~AudioPlayback()
{
    stop();
}

bool AudioPlayback::isRendering() const
{
    return m_rendering && !m_rendering->isCancelled() && m_runner->isBusy();
}

QStringList AudioPlayback::previewArgs(const QString& path, const QStringList& filter, double duration,
                                       const QString& output)
{
    const double length = std::clamp(duration, 0.0, previewLimit);
    return QStringList{QStringLiteral("-i"), path, QStringLiteral("-t"), QString::number(length, 'f', 2)} +
           filter + QStringList{QStringLiteral("-vn"),  QStringLiteral("-c:a"), QStringLiteral("aac"),
                                QStringLiteral("-b:a"), QStringLiteral("192k"), output};
}

void AudioPlayback::play(const QString& path, double from, std::optional<double> to)
{
    stop();
    start(path, from, to);
}

void AudioPlayback::stop()
{
    ++m_generation;
    if (m_rendering) m_rendering->cancel();
    m_rendering.reset();
    m_timer->stop();
    if (m_sink) {
        retire(m_sink);
        m_sink = nullptr;
        m_device = nullptr;
    }
    m_stream.reset();
    m_pending.clear();
    m_preview.reset();
    setPlaying(false);
}

void AudioPlayback::playRendered(const QString& path, const QStringList& filter, double duration,
                                 std::function<void(const QString&)> onError)
{
    stop();
    const quint64 generation = m_generation;
    const std::shared_ptr<Job> job = Job::create(QStringLiteral("Preview"), path, 0);
    m_rendering = job;
    std::function<PreviewClip::Result()> render = PreviewClip::render(
        QStringLiteral("m4a"), [&](const QString& out) { return previewArgs(path, filter, duration, out); },
        job);
    m_runner->request<PreviewClip::Result>(
        std::move(render), [this, generation, job, onError = std::move(onError)](PreviewClip::Result out) {
            // Stopped, closed or asked again meanwhile: the result is dropped and its file with it.
            if (generation != m_generation || job->isCancelled()) return;
            m_rendering.reset();
            if (!out.file) {
                if (onError)
                    onError(out.error.isEmpty() ? QStringLiteral("Couldn’t render the preview") : out.error);
                return;
            }
            m_preview = out.file;
            start(out.file->path, 0, std::nullopt);
        });
}

void AudioPlayback::start(const QString& path, double from, std::optional<double> to)
{
    m_from = from;
    m_stopAt = to;
    m_time = from;
    emit timeChanged(m_time);
    QAudioFormat format;
    format.setSampleRate(PcmStream::rate);
    format.setChannelCount(PcmStream::channels);
    format.setSampleFormat(QAudioFormat::Int16);
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        fail();
        return;
    }
    m_stream = std::make_unique<PcmStream>(path, from, to ? std::optional(*to - from) : std::nullopt);
    // Without a parent: Qt hands the parent on to the sink's own back end, which would then be
    // deleted with the player while the sink lives on, retired.
    m_sink = new QAudioSink(device, format);
    m_device = m_sink->start();
    if (!m_device || m_sink->error() != QAudio::NoError) {
        fail();
        return;
    }
    setPlaying(true);
    m_timer->start();
}

void AudioPlayback::tick()
{
    if (!m_sink || !m_stream) return;
    if (m_pending.isEmpty()) m_pending = m_stream->take(std::max<qsizetype>(m_sink->bytesFree(), 0));
    if (!m_pending.isEmpty()) {
        const qint64 written = m_device->write(m_pending);
        if (written > 0) m_pending.remove(0, written);
    }
    const double heard = m_from + double(m_sink->processedUSecs()) / 1e6;
    if (heard != m_time) {
        m_time = m_stopAt ? std::min(heard, std::max(*m_stopAt, m_from)) : heard;
        emit timeChanged(m_time);
    }
    if (m_stream->failure() ||
        (m_sink->error() != QAudio::NoError && m_sink->error() != QAudio::UnderrunError)) {
        fail();
        return;
    }
    if (m_stopAt && *m_stopAt <= m_time) {
        stop();
        return;
    }
    const bool drained = m_sink->state() == QAudio::IdleState || m_sink->bytesFree() >= m_sink->bufferSize();
    if (m_stream->atEnd() && m_pending.isEmpty() && drained) stop();
}

void AudioPlayback::fail()
{
    stop();
    if (m_beep) m_beep();
}

void AudioPlayback::setPlaying(bool playing)
{
    if (playing == m_playing) return;
    m_playing = playing;
    emit playingChanged(playing);
}
