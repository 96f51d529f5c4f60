#include "toolkit/pcmstream.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/shell.h"
#include "engines/media/media.h"

#include <condition_variable>
#include <mutex>

struct PcmStream::Shared
{
    std::shared_ptr<Job> job; // its cancel ends the decoder
    mutable std::mutex lock;
    std::condition_variable room;
    QByteArray buffer;
    qsizetype given = 0;
    bool ended = false;
    QString error;

    // On the decoder's thread: waits while the reader is far enough behind, or until the stream goes.
    void push(QByteArrayView bytes)
    {
        std::unique_lock locked(lock);
        room.wait(locked, [this] { return buffer.size() < ahead || job->isCancelled(); });
        if (job->isCancelled()) return;
        buffer.append(bytes.data(), bytes.size());
        given += bytes.size();
    }

    void end(const QString& why)
    {
        const std::lock_guard locked(lock);
        ended = true;
        error = why;
    }
};

namespace {

QString seconds(double value)
{
    return QString::number(value, 'f', 3);
}

} // namespace

void PcmStream::decode(const std::shared_ptr<Shared>& shared, const QStringList& args)
{
    QString why;
    try {
        Shell::Options options;
        options.job = shared->job.get();
        options.onOutput = [&shared](QByteArrayView bytes) { shared->push(bytes); };
        const Shell::Result r =
            Shell::run(Media::require(QStringLiteral("ffmpeg")), Media::guardedInputs(args), options);
        if (r.status != 0) why = Shell::failureText(QStringLiteral("ffmpeg"), r);
    } catch (const std::exception& e) {
        why = errorDescription(e);
    }
    shared->end(why);
}

PcmStream::PcmStream(const QString& path, double from, std::optional<double> length)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->job = Job::create(QStringLiteral("Playback"), path, 0);
    m_thread = std::thread(&PcmStream::decode, m_shared, args(path, from, length));
}

PcmStream::~PcmStream()
{
    m_shared->job->cancel();
    m_shared->room.notify_all();
    m_thread.join();
}

QStringList PcmStream::args(const QString& path, double from, std::optional<double> length)
{
    QStringList a = {QStringLiteral("-v"),
                     QStringLiteral("error"),
                     QStringLiteral("-nostdin"),
                     QStringLiteral("-ss"),
                     seconds(std::max(from, 0.0)),
                     QStringLiteral("-i"),
                     path};
    if (length) a << QStringLiteral("-t") << seconds(std::max(*length, 0.0));
    a << QStringLiteral("-vn") << QStringLiteral("-f") << QStringLiteral("s16le") << QStringLiteral("-ac")
      << QString::number(channels) << QStringLiteral("-ar") << QString::number(rate)
      << QStringLiteral("pipe:1");
    return a;
}

QByteArray PcmStream::take(qsizetype max)
{
    QByteArray out;
    {
        const std::lock_guard locked(m_shared->lock);
        const qsizetype n = std::min(max, m_shared->buffer.size()) / bytesPerFrame * bytesPerFrame;
        if (n <= 0) return out;
        out = m_shared->buffer.left(n);
        m_shared->buffer.remove(0, n);
    }
    m_shared->room.notify_all();
    return out;
}

qsizetype PcmStream::waiting() const
{
    const std::lock_guard locked(m_shared->lock);
    return m_shared->buffer.size() / bytesPerFrame * bytesPerFrame;
}

bool PcmStream::atEnd() const
{
    const std::lock_guard locked(m_shared->lock);
    return m_shared->ended && m_shared->buffer.size() < bytesPerFrame;
}

std::optional<QString> PcmStream::failure() const
{
    const std::lock_guard locked(m_shared->lock);
    if (!m_shared->ended || m_shared->given > 0 || m_shared->error.isEmpty()) return std::nullopt;
    return m_shared->error;
}
