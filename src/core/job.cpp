#include "core/job.h"

#include "core/converterror.h"

#include <QMetaObject>
#include <QPointer>
#include <csignal>

Job::Job(const QString& title, const QString& detail, qint64 bytes, QObject* parent)
    : QObject(parent), m_id(QUuid::createUuid()), m_title(title), m_detail(detail), m_bytes(bytes),
      m_started(std::chrono::steady_clock::now())
{
}

Job::~Job() = default;

std::shared_ptr<Job> Job::create(const QString& title, const QString& detail, qint64 bytes)
{
    return std::shared_ptr<Job>(new Job(title, detail, bytes), [](Job* job) { job->deleteLater(); });
}

double Job::elapsed() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
}

void Job::setTitle(const QString& title)
{
    if (title == m_title) return;
    m_title = title;
    emit titleChanged();
}

void Job::setDetail(const QString& detail)
{
    if (detail == m_detail) return;
    m_detail = detail;
    emit detailChanged();
}

void Job::setProgress(std::optional<double> progress)
{
    if (progress == m_progress) return;
    m_progress = progress;
    emit progressChanged();
}

void Job::setState(const State& state)
{
    if (state == m_state) return;
    m_state = state;
    emit stateChanged();
}

void Job::setRemaining(std::optional<double> seconds)
{
    if (seconds == m_remaining) return;
    m_remaining = seconds;
    emit remainingChanged();
}

void Job::report(double fraction)
{
    // NaN compares false both ways and would slip through a plain clamp.
    const double p = !(fraction > 0) ? 0.0 : fraction > 1 ? 1.0 : fraction;
    QPointer<Job> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, p] {
            if (self && self->isRunning()) self->setProgress(p);
        },
        Qt::QueuedConnection);
}

void Job::cancel()
{
    pid_t child = 0;
    {
        QMutexLocker locker(&m_lock);
        m_cancelled = true;
        child = m_process;
    }
    if (child > 0) ::kill(-child, SIGTERM);
}

bool Job::isCancelled() const
{
    QMutexLocker locker(&m_lock);
    return m_cancelled;
}

void Job::throwIfCancelled() const
{
    if (isCancelled()) throw ConvertError::cancelled();
}

bool Job::attachProcess(pid_t processGroup)
{
    QMutexLocker locker(&m_lock);
    m_process = processGroup;
    return !m_cancelled;
}

void Job::detachProcess()
{
    QMutexLocker locker(&m_lock);
    m_process = 0;
}
