#include "core/jobs.h"

#include "core/converterror.h"
#include "core/fmt.h"
#include "core/settings.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QThread>
#include <QThreadPool>
#include <exception>

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
    if (job.state().phase == Job::Phase::done && Settings::shared().revealInFinder() && !results.isEmpty() &&
        revealer())
        revealer()(results);
}

QString savedText(qsizetype saved, qsizetype total)
{
    return QStringLiteral("%1 of %2 saved").arg(saved).arg(total);
}

double fraction(double p)
{
    return !(p > 0) ? 0.0 : p > 1 ? 1.0 : p;
}

std::shared_ptr<Job> start(const QString& title, const QString& detail, qint64 bytes,
                           std::optional<QPointF> at)
{
    Q_ASSERT(!QCoreApplication::instance() ||
             QThread::currentThread() == QCoreApplication::instance()->thread());
    auto job = Job::create(title, detail, bytes);
    if (presenter()) presenter()(job, at);
    job->startEstimating();
    return job;
}

void loop(const std::shared_ptr<Job>& job, const QStringList& files, const Jobs::FileWork& work)
{
    const qsizetype n = files.size();
    QStringList results;
    qsizetype failures = 0;
    qsizetype done = 0; // files handled, failed ones included
    std::optional<QString> lastError;
    for (const QString& file : files) {
        if (job->isCancelled()) break;
        const qsizetype i = done;
        const std::function<void(double)> progress = [job, i, n](double p) {
            job->report((double(i) + fraction(p)) / double(n));
        };
        const Attempt a = attempt(*job, [&] { return work(file, *job, progress); });
        if (a.cancelled) break;
        if (a.error) {
            ++failures;
            lastError = a.error;
            qWarning().noquote() << QStringLiteral("Tolvane: %1 failed: %2").arg(file, *a.error);
        } else {
            results += a.results;
        }
        ++done;
        if (n != 1) {
            const QString detail = savedText(done - failures, n);
            onMain(job, [job, detail] { job->setDetail(detail); });
        }
        job->report(double(done) / double(n));
    }
    // The detail already counts the files really saved; recounting them as all files minus the
    // failed ones would count the files a cancel left untried.
    onMain(job, [job, results, lastError] { conclude(*job, results, lastError); });
}

} // namespace

namespace Jobs {

std::shared_ptr<Job> run(const QString& title, const QStringList& files, std::optional<QPointF> at,
                         FileWork work)
{
    const QString detail =
        files.size() == 1 ? QFileInfo(QDir::cleanPath(files.first())).fileName() : savedText(0, files.size());
    qint64 bytes = 0;
    for (const QString& file : files)
        bytes += Fmt::fileSize(file);
    auto job = start(title, detail, bytes, at);
    QThreadPool::globalInstance()->start([job, files, work = std::move(work)] { loop(job, files, work); });
    return job;
}

std::shared_ptr<Job> runOnce(const QString& title, const QString& detail, qint64 bytes,
                             std::optional<QPointF> at, WholeWork work)
{
    auto job = start(title, detail, bytes, at);
    QThreadPool::globalInstance()->start([job, work = std::move(work)] {
        const std::function<void(double)> progress = [job](double p) { job->report(p); };
        const Attempt a = attempt(*job, [&] { return work(*job, progress); });
        onMain(job, [job, a] { conclude(*job, a.results, a.error); });
    });
    return job;
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
