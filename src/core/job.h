#pragma once

#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QUuid>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <sys/types.h>

class QTimer;

// One unit of background work as its progress panel shows it. The published properties
// live on the main thread; the cancel flag and the running child are shared with the
// worker under `m_lock`.
class Job : public QObject
{
    Q_OBJECT
  public:
    enum class Phase { running, done, cancelled, failed };
    struct State
    {
        Phase phase = Phase::running;
        QString message; // the failure text when failed
        bool operator==(const State&) const = default;
        static State failed(const QString& message) { return {Phase::failed, message}; }
    };

    Job(const QString& title, const QString& detail, qint64 bytes, QObject* parent = nullptr);
    // A job shared by its panel, its runner and its caller; the last owner to let go may be a
    // worker thread, so the object is deleted on its own thread.
    static std::shared_ptr<Job> create(const QString& title, const QString& detail, qint64 bytes);
    ~Job() override;

    QUuid id() const { return m_id; }
    QString title() const { return m_title; }
    QString detail() const { return m_detail; }
    std::optional<double> progress() const { return m_progress; }
    State state() const { return m_state; }
    bool isRunning() const { return m_state.phase == Phase::running; }
    std::optional<double> remaining() const { return m_remaining; }
    bool showsProgress() const { return m_showsProgress; }
    QStringList results() const { return m_results; }
    // The files the job works on, when it was given files (Jobs::run); empty otherwise.
    QStringList sources() const { return m_sources; }
    qint64 bytes() const { return m_bytes; }
    // Seconds since the job was created.
    double elapsed() const;

    // The entry of the timing history the estimate reads and a clean run writes: the title unless
    // set. Jobs that share a title over inputs that take very different times keep apart.
    QString historyKey() const { return m_historyKey.isEmpty() ? m_title : m_historyKey; }
    void setHistoryKey(const QString& key) { m_historyKey = key; }

    void setTitle(const QString& title);
    void setDetail(const QString& detail);
    void setProgress(std::optional<double> progress);
    void setState(const State& state);
    void setRemaining(std::optional<double> seconds);
    void setShowsProgress(bool shows) { m_showsProgress = shows; }
    void setResults(const QStringList& results) { m_results = results; }
    void setSources(const QStringList& sources) { m_sources = sources; }

    // Any thread: clamps to 0…1 and publishes on the main thread while the job still runs.
    void report(double fraction);

    // Any thread: sets the cancel flag once and terminates the process groups of the registered
    // children.
    void cancel();
    // Safe in a signal handler: sets the cancel flag alone. The process runner ends a registered
    // child itself once it sees the flag.
    void cancelFromSignal() noexcept { m_cancelled.store(true); }
    bool isCancelled() const;
    // Throws ConvertError::cancelled() when the flag is set.
    void throwIfCancelled() const;
    // Any thread: a remark on work that succeeded all the same ("The file is cut short: …"),
    // said beside its result.
    void addNote(const QString& note);
    QStringList notes() const;

    // The process runner registers the process group of each child it runs for the job (several
    // when files are converted side by side). Returns false when the job was already cancelled:
    // the caller must terminate the child itself.
    bool attachProcess(pid_t processGroup);
    void detachProcess(pid_t processGroup);

    // Main thread: estimates the time left at once and then every 0.5 s while the job runs.
    void startEstimating();
    // Main thread: ends the job with its results and the message of the error the work ended
    // with, if any. A set cancel flag wins over the error; only a clean run is recorded in the
    // timing history. Later calls do nothing.
    void finish(const QStringList& results, const std::optional<QString>& error);

  signals:
    void titleChanged();
    void detailChanged();
    void progressChanged();
    void stateChanged();
    void remainingChanged();

  private:
    void updateEstimate();
    // One estimate step as if `elapsed` seconds had passed since the start.
    void updateEstimate(double elapsed);

    const QUuid m_id;
    QString m_title;
    QString m_historyKey;
    QString m_detail;
    std::optional<double> m_progress;
    State m_state;
    std::optional<double> m_remaining;
    bool m_showsProgress = true;
    QStringList m_results;
    QStringList m_sources;
    const qint64 m_bytes;
    std::chrono::steady_clock::time_point m_started; // tests move it back to stand for a long run
    QTimer* m_ticker = nullptr;
    std::optional<double> m_smoothed;
    // The tick from which the progress rate is measured: the first that could use the progress.
    struct Sample
    {
        double elapsed, progress;
    };
    std::optional<Sample> m_rateFrom;

    mutable QMutex m_lock;
    QList<pid_t> m_processes;
    QStringList m_notes;
    std::atomic<bool> m_cancelled{false}; // lock-free, read without m_lock

    friend class JobTest;
    friend class EstimateTest;
};
