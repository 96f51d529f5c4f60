#include "core/job.h"

#include "core/converterror.h"
#include "core/etastore.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <csignal>

Job::Job(const QString& title, const QString& detail, qint64 bytes, QObject* parent)
    : QObject(parent), m_id(QUuid::createUuid()), m_title(title), m_detail(detail), m_bytes(bytes),
      m_started(std::chrono::steady_clock::now())
{
}

Job::~Job() = default;

std::shared_ptr<Job> Job::create(const QString& title, const QString& detail, qint64 bytes)
{
    return std::shared_ptr<Job>(new Job(title, detail, bytes), [](Job* job) {
        // While the application object goes, its queued calls are destroyed under Qt's event
        // lock; posting a deletion from there would wait on that lock for ever.
        const bool ending = !QCoreApplication::instance() || QCoreApplication::closingDown();
        if (ending && job->thread() == QThread::currentThread())
            delete job;
        else
            job->deleteLater();
    });
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
    QList<pid_t> children;
    {
        QMutexLocker locker(&m_lock);
        m_cancelled.store(true);
        children = m_processes;
    }
    for (const pid_t child : children)
        ::kill(-child, SIGTERM);
}

bool Job::isCancelled() const
{
    return m_cancelled.load();
}

void Job::throwIfCancelled() const
{
    if (isCancelled()) throw ConvertError::cancelled();
}

void Job::addNote(const QString& note)
{
    const QMutexLocker locker(&m_lock);
    m_notes << note;
}

QStringList Job::notes() const
{
    const QMutexLocker locker(&m_lock);
    return m_notes;
}

bool Job::attachProcess(pid_t processGroup)
{
    QMutexLocker locker(&m_lock);
    m_processes.append(processGroup);
    return !m_cancelled.load();
}

void Job::detachProcess(pid_t processGroup)
{
    QMutexLocker locker(&m_lock);
    m_processes.removeOne(processGroup);
}

void Job::startEstimating()
{
    Q_ASSERT(QThread::currentThread() == thread());
    updateEstimate();
    delete m_ticker;
    m_ticker = new QTimer(this);
    m_ticker->setInterval(500);
    // The timer is the job's child and its tick holds the job only weakly: a released job
    // stops ticking even when it was never finished.
    QPointer<Job> self(this);
    connect(m_ticker, &QTimer::timeout, this, [self] {
        if (self) self->updateEstimate();
    });
    m_ticker->start();
}

void Job::updateEstimate()
{
    updateEstimate(elapsed());
}

void Job::updateEstimate(double t)
{
    if (!isRunning()) return;
    const std::optional<double> history = ETAStore::expectedDuration(historyKey(), m_bytes);
    const std::optional<double> fromHistory =
        history ? std::optional<double>(std::max(*history - t, 0.0)) : std::nullopt;

    // Work often leaps ahead at its start: an encoder swallows its look-ahead at once, and
    // ffmpeg's position follows its fastest stream, the sound, meanwhile. A rate taken from the
    // start would promise too little time, and the estimate never rises again; so the rate is
    // measured from the first tick that could use the progress, once a second has passed.
    std::optional<double> fromProgress;
    const double p = m_progress.value_or(0);
    if (m_progress && p >= 0.03 && p < 1 && t >= 0.6) {
        if (!m_rateFrom) m_rateFrom = Sample{t, p};
        const double span = t - m_rateFrom->elapsed;
        const double done = p - m_rateFrom->progress;
        if (span >= 1 && done > 0) fromProgress = span * (1 - p) / done;
    }
    double estimate = 0;
    if (fromProgress) {
        estimate = *fromProgress;
        // The history leads early on and has handed over completely at two thirds.
        if (fromHistory) {
            const double w = std::min(1.5 * p, 1.0);
            estimate = w * estimate + (1 - w) * *fromHistory;
        }
    } else if (fromHistory) {
        estimate = *fromHistory;
    } else {
        return;
    }
    // Once shown, the estimate never rises and falls at least as fast as the ticks pass.
    if (m_smoothed) estimate = std::min(0.4 * estimate + 0.6 * *m_smoothed, *m_smoothed - 0.5);
    m_smoothed = estimate > 0 ? estimate : 0.0; // NaN counts as 0
    setRemaining(t > 0.8 ? m_smoothed : std::nullopt);
}

void Job::finish(const QStringList& results, const std::optional<QString>& error)
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (!isRunning()) return;
    m_results = results;
    delete m_ticker;
    m_ticker = nullptr;
    setRemaining(std::nullopt);
    // Read once, so a cancel arriving now cannot give a recorded run that ends cancelled.
    const bool cancelled = isCancelled();
    if (cancelled) {
        setState({Phase::cancelled, QString()});
    } else if (error) {
        setState(State::failed(*error));
    } else {
        ETAStore::record(historyKey(), m_bytes, elapsed());
        setProgress(1.0);
        setState({Phase::done, QString()});
    }
}
