#include "core/jobs.h"

#include "core/catalog.h"
#include "core/converterror.h"
#include "core/fmt.h"
#include "core/freedmemory.h"
#include "core/inputcheck.h"
#include "core/settings.h"
#include "core/shell.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QMutex>
#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <exception>
#include <vector>

namespace {

Jobs::Presenter& presenter()
{
    static Jobs::Presenter p;
    return p;
}

Jobs::Revealer& revealer()
{
    static Jobs::Revealer r;
    return r;
}

// Shown when work ends by an error that carries no usable text, including a cancellation
// signal the user never asked for.
QString unexpectedStop()
{
    return QStringLiteral("The work stopped unexpectedly");
}

// How one call of the work ended. Nothing thrown by the work gets past this.
struct Attempt
{
    QStringList results;
    std::optional<QString> error;
    bool cancelled = false; // stopped because the user cancelled
};

Attempt attempt(const Job& job, const std::function<QStringList()>& call)
{
    Attempt a;
    try {
        a.results = call();
    } catch (const ConvertError& e) {
        if (e.isCancelled() && job.isCancelled()) {
            a.cancelled = true;
            a.error = e.description();
        } else {
            a.error = e.isCancelled() ? QString() : e.description();
        }
    } catch (const std::exception& e) {
        a.error = errorDescription(e);
    } catch (...) {
        a.error = QString();
    }
    if (a.error && a.error->isEmpty()) a.error = unexpectedStop();
    return a;
}

// Queued to the job's (main) thread; queued calls run in the order they were made.
void onMain(const std::shared_ptr<Job>& job, std::function<void()> update)
{
    QMetaObject::invokeMethod(job.get(), std::move(update), Qt::QueuedConnection);
}

void conclude(Job& job, const QStringList& results, const std::optional<QString>& error)
{
    job.finish(results, error);
    // What the work held lies freed in its threads' arenas.
    FreedMemory::giveBackSoon();
    if (job.state().phase == Job::Phase::done && Settings::shared().revealInFinder() && !results.isEmpty() &&
        revealer())
        revealer()(results);
}

QString savedText(qsizetype saved, qsizetype total)
{
    return QStringLiteral("%1 of %2 saved").arg(saved).arg(total);
}

// Whether `name` stands in `text` as a word of its own ("stop" is not named by "stopped").
bool names(const QString& text, const QString& name)
{
    for (qsizetype at = text.indexOf(name); at >= 0; at = text.indexOf(name, at + 1)) {
        const qsizetype end = at + name.size();
        if ((at == 0 || !text[at - 1].isLetterOrNumber()) &&
            (end == text.size() || !text[end].isLetterOrNumber()))
            return true;
    }
    return false;
}

// A failure among several files names its file, unless the message already does.
QString namedFailure(const QString& file, const QString& message)
{
    const QString name = QFileInfo(QDir::cleanPath(file)).fileName();
    if (name.isEmpty() || names(message, name)) return message;
    return name + QStringLiteral(": ") + message;
}

double fraction(double p)
{
    return !(p > 0) ? 0.0 : p > 1 ? 1.0 : p;
}

// The jobs started so far that may still run, for stopAll(). Main thread.
std::vector<std::weak_ptr<Job>>& started()
{
    static std::vector<std::weak_ptr<Job>> jobs;
    return jobs;
}

std::shared_ptr<Job> start(const QString& title, const QString& detail, qint64 bytes,
                           std::optional<QPointF> at, const QString& historyKey)
{
    Q_ASSERT(!QCoreApplication::instance() ||
             QThread::currentThread() == QCoreApplication::instance()->thread());
    auto job = Job::create(title, detail, bytes);
    job->setHistoryKey(historyKey);
    std::erase_if(started(), [](const std::weak_ptr<Job>& j) {
        const std::shared_ptr<Job> held = j.lock();
        return !held || !held->isRunning();
    });
    started().push_back(job);
    if (presenter()) presenter()(job, at);
    job->startEstimating();
    return job;
}

// Threads of the pool that jobs run on. Each job takes one, and one more per file it converts
// side by side, so this many let hundreds of jobs run at once; beyond that a job waits and says so.
constexpr int poolThreads = 256;

QThreadPool& pool()
{
    // Owned by the application when there is one, so that it ends with it.
    static QThreadPool* const p = [] {
        auto* threads = new QThreadPool(QCoreApplication::instance());
        threads->setObjectName(QStringLiteral("Jobs"));
        threads->setMaxThreadCount(poolThreads);
        return threads;
    }();
    return *p;
}

// Runs `task` on the pool at once or, when every thread is busy, shows the job as waiting until
// a thread takes it.
void launch(const std::shared_ptr<Job>& job, std::function<void()> task)
{
    if (pool().tryStart(task)) return;
    const QString detail = job->detail();
    job->setDetail(QStringLiteral("Waiting…"));
    pool().start([job, detail, task = std::move(task)] {
        onMain(job, [job, detail] { job->setDetail(detail); });
        task();
    });
}

// The files of one Jobs::run, taken in order by up to one worker per core. The worker that
// hands in the last outstanding file finishes the job.
class Batch : public std::enable_shared_from_this<Batch>
{
  public:
    Batch(std::shared_ptr<Job> job, QStringList files, Jobs::FileWork work, Jobs::Order order)
        : m_job(std::move(job)), m_files(std::move(files)), m_work(std::move(work)), m_order(order),
          m_n(m_files.size()), m_results(m_n), m_errors(m_n), m_fractions(m_n, 0.0)
    {
    }

    // How many workers are worth starting.
    int width() const
    {
        if (m_order == Jobs::Order::oneAfterAnother) return 1;
        return int(std::clamp<qsizetype>(m_n, 1, QThread::idealThreadCount()));
    }

    // One worker: takes the next file until none is left or the job is cancelled.
    void work()
    {
        while (const std::optional<qsizetype> i = take()) {
            const QString& file = m_files[*i];
            const Progress progress = [self = shared_from_this(), i = *i](double p) {
                QMutexLocker locker(&self->m_lock);
                self->setFraction(i, fraction(p));
            };
            const Attempt a = attempt(*m_job, [&] {
                InputCheck::refuseSpecial(file);
                return m_work(file, *m_job, progress);
            });
            if (a.error && !a.cancelled)
                qWarning().noquote() << QStringLiteral("Tolvane: %1 failed: %2").arg(file, *a.error);
            handIn(*i, a);
        }
    }

  private:
    std::optional<qsizetype> take()
    {
        QMutexLocker locker(&m_lock);
        if (m_job->isCancelled()) m_stopped = true;
        if (m_stopped || m_next >= m_n) {
            finishIfLast();
            return std::nullopt;
        }
        ++m_inFlight;
        return m_next++;
    }

    void handIn(qsizetype i, const Attempt& a)
    {
        QMutexLocker locker(&m_lock);
        --m_inFlight;
        // A cancelled file is neither saved nor failed, and no file is started after it.
        if (a.cancelled) {
            m_stopped = true;
            return;
        }
        if (a.error) {
            m_errors[i] = m_n == 1 ? *a.error : namedFailure(m_files[i], *a.error);
        } else {
            m_results[i] = a.results;
            // A file that left no result (already in its format, or no smaller) is not saved.
            if (!a.results.isEmpty()) ++m_saved;
        }
        if (m_n != 1) {
            const QString detail = savedText(m_saved, m_n);
            onMain(m_job, [job = m_job, detail] { job->setDetail(detail); });
        }
        setFraction(i, 1);
    }

    // Under the lock, so that reports reach the main thread in the order they were made.
    void setFraction(qsizetype i, double p)
    {
        m_sum += p - m_fractions[i];
        m_fractions[i] = p;
        m_job->report(m_sum / double(m_n));
    }

    // Under the lock. Results keep the order of the files, and the message is that of the last
    // failed file in that order, whatever order the files ended in. The detail already counts
    // the files really saved: a cancel may have left some untried.
    void finishIfLast()
    {
        if (m_finished || m_inFlight > 0) return;
        m_finished = true;
        QStringList results;
        std::optional<QString> lastError;
        for (qsizetype i = 0; i < m_n; ++i) {
            results += m_results[i];
            if (m_errors[i]) lastError = m_errors[i];
        }
        onMain(m_job, [job = m_job, results, lastError] { conclude(*job, results, lastError); });
    }

    const std::shared_ptr<Job> m_job;
    const QStringList m_files;
    const Jobs::FileWork m_work;
    const Jobs::Order m_order;
    const qsizetype m_n;
    QMutex m_lock;
    qsizetype m_next = 0, m_inFlight = 0, m_saved = 0;
    bool m_stopped = false, m_finished = false;
    std::vector<QStringList> m_results;
    std::vector<std::optional<QString>> m_errors;
    std::vector<double> m_fractions;
    double m_sum = 0;
};

} // namespace

namespace Jobs {

std::shared_ptr<Job> run(const QString& title, const QStringList& files, std::optional<QPointF> at,
                         FileWork work, Order order)
{
    const QString detail =
        files.size() == 1 ? QFileInfo(QDir::cleanPath(files.first())).fileName() : savedText(0, files.size());
    qint64 bytes = 0;
    for (const QString& file : files)
        bytes += Fmt::fileSize(file);
    // "Compressing" a photo and a film share a title, not a pace: each kind of source keeps
    // its own timing history.
    const std::optional<QString> format = files.isEmpty() ? std::nullopt : Catalog::format(files.first());
    auto job = start(title, detail, bytes, at,
                     format ? title + QStringLiteral(" (") + *format + QLatin1Char(')') : title);
    job->setSources(files);
    auto batch = std::make_shared<Batch>(job, files, std::move(work), order);
    launch(job, [batch] {
        // Further workers only where a thread is free at once: the first one alone gets through.
        for (int extra = 1; extra < batch->width(); ++extra)
            if (!pool().tryStart([batch] { batch->work(); })) break;
        batch->work();
    });
    return job;
}

std::shared_ptr<Job> runOnce(const QString& title, const QString& detail, qint64 bytes,
                             std::optional<QPointF> at, WholeWork work)
{
    auto job = start(title, detail, bytes, at, title);
    launch(job, [job, work = std::move(work)] {
        const Progress progress = [job](double p) { job->report(p); };
        const Attempt a = attempt(*job, [&] { return work(*job, progress); });
        onMain(job, [job, a] { conclude(*job, a.results, a.error); });
    });
    return job;
}

bool stopAll(std::chrono::milliseconds limit)
{
    for (const std::weak_ptr<Job>& weak : std::exchange(started(), {}))
        if (const std::shared_ptr<Job> job = weak.lock()) job->cancel();
    pool().clear();
    Shell::terminateAll();
    return pool().waitForDone(int(limit.count()));
}

void setPresenter(Presenter p)
{
    presenter() = std::move(p);
}

void setRevealer(Revealer r)
{
    revealer() = std::move(r);
}

} // namespace Jobs
