#include "cli/convert.h"

#include "cli/cli.h"
#include "core/catalog.h"
#include "core/converterror.h"
#include "core/interrupts.h"
#include "core/job.h"
#include "core/settings.h"
#include "core/wheelitem.h"
#include "engines/converter.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QThread>
#include <QThreadPool>
#include <atomic>
#include <memory>
#include <vector>

namespace CLI {

namespace {

struct Outcome
{
    std::optional<QString> line; // none for a file never started
    bool failed = false;
};

// `typed` is the format as the user wrote it, which the failure line repeats.
Outcome convertOne(const QString& file, const QString& format, const QString& typed, Job& job)
{
    const QString name = QFileInfo(file).fileName();
    QElapsedTimer timer;
    timer.start();
    try {
        QStringList results;
        for (const QString& result : Converter::convert(file, format, job, [](double) {}))
            results << QFileInfo(result).fileName();
        if (results.isEmpty())
            return {QStringLiteral("✓ %1: already %2, nothing to do")
                        .arg(name, WheelItem::format(format).title()),
                    false};
        QString line = QStringLiteral("✓ %1 → %2  (%3)")
                           .arg(name, results.join(QStringLiteral(", ")),
                                QString::asprintf("%.1fs", double(timer.nsecsElapsed()) / 1e9));
        for (const QString& note : job.notes())
            line += QStringLiteral("  ") + note;
        return {line, false};
    } catch (const std::exception& e) {
        // The message alone, in plain words: an outside program's own lines stay off the terminal.
        return {QStringLiteral("✗ %1 → %2: %3").arg(name, typed, errorDescription(e)), true};
    }
}

// The files of one command, their jobs, and the lines not yet printed. Lives on the main thread.
class Batch
{
  public:
    Batch(const QStringList& files, const QString& format, const QString& typed)
        : m_files(files), m_format(format), m_typed(typed)
    {
        for (qsizetype i = 0; i < files.size(); ++i)
            m_jobs.push_back(std::make_unique<Job>(QString(), QString(), 0));
        m_outcomes.resize(size_t(files.size()));
    }

    // Returns true when every file succeeded.
    bool run(Interrupts& interrupts)
    {
        if (m_files.size() == 1) {
            // One file runs on this thread: no worker to start, and the allocator keeps its
            // single-thread path. The loop is not running, so a signal cancels from its handler.
            interrupts.cancelOnSignal(*m_jobs.front());
            finished(0, convertOne(m_files.front(), m_format, m_typed, *m_jobs.front()));
            return !m_anyFailed;
        }
        QObject::connect(&interrupts, &Interrupts::interrupted, &m_loop, [this] { stop(); });
        QThreadPool pool;
        pool.setMaxThreadCount(int(std::min<qsizetype>(m_files.size(), QThread::idealThreadCount())));
        for (qsizetype i = 0; i < m_files.size(); ++i) {
            pool.start([this, i] {
                const Outcome outcome =
                    m_stopping ? Outcome{} : convertOne(m_files[i], m_format, m_typed, *m_jobs[size_t(i)]);
                QMetaObject::invokeMethod(
                    &m_loop, [this, i, outcome] { finished(i, outcome); }, Qt::QueuedConnection);
            });
        }
        m_loop.exec();
        return !m_anyFailed;
    }

  private:
    void stop()
    {
        m_stopping = true;
        for (const auto& job : m_jobs)
            job->cancel();
    }

    void finished(qsizetype index, const Outcome& outcome)
    {
        m_outcomes[size_t(index)] = outcome;
        m_anyFailed = m_anyFailed || outcome.failed;
        for (; m_printed < m_outcomes.size() && m_outcomes[m_printed]; ++m_printed) {
            if (m_outcomes[m_printed]->line) print(*m_outcomes[m_printed]->line);
        }
        if (++m_finished == m_outcomes.size()) m_loop.quit();
    }

    const QStringList m_files;
    const QString m_format;
    const QString m_typed;
    std::vector<std::unique_ptr<Job>> m_jobs;
    std::vector<std::optional<Outcome>> m_outcomes;
    size_t m_printed = 0;
    size_t m_finished = 0;
    bool m_anyFailed = false;
    std::atomic<bool> m_stopping{false};
    QEventLoop m_loop;
};

} // namespace

std::optional<QString> formatKey(const QString& typed)
{
    // The petal labels that are not the upper-cased key, as --targets prints them.
    static const QHash<QString, QString> labels{{QStringLiteral("gzip"), QStringLiteral("gz")},
                                                {QStringLiteral("clipping"), QStringLiteral("textClipping")}};
    QString key = typed.toLower();
    key = Catalog::aliases().value(key, labels.value(key, key));
    if (!Catalog::category(key)) return std::nullopt;
    return key;
}

int convert(const QStringList& rest)
{
    const std::optional<QString> format = formatKey(rest.first());
    if (!format) {
        print(QStringLiteral("error: Tolvane doesn’t know the format “%1”").arg(rest.first()));
        return 1;
    }
    // The settings object belongs to the thread that first asks for it: this one, not a worker.
    Settings::shared();
    Interrupts interrupts;
    Batch batch(paths(rest.mid(1)), *format, rest.first());
    const bool succeeded = batch.run(interrupts);
    if (const int signal = Interrupts::received()) return 128 + signal;
    return succeeded ? 0 : 1;
}

} // namespace CLI
