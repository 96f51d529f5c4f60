#include "engines/media/firstrun.h"

#include <chrono>

FirstRun::FirstRun(const QStringList& args, Job* job, const Progress& progress) : m_job(job)
{
    try {
        m_run.emplace(
            args, [this] { return m_duration.load(); }, &m_runJob, progress,
            [this](const QString& line) {
                if (m_said.add(line)) described();
            },
            [this] { written(); });
    } catch (const ConvertError& e) {
        m_error = e;
        m_over = true;
        return;
    }
    m_thread = std::thread([this] { finish(); });
}

FirstRun::~FirstRun()
{
    stop();
    if (m_thread.joinable()) m_thread.join();
}

bool FirstRun::waitWritten()
{
    std::unique_lock lock(m_mutex);
    waitFor(lock, [this] { return m_written || m_over; });
    return m_written;
}

void FirstRun::wait()
{
    std::unique_lock lock(m_mutex);
    waitFor(lock, [this] { return m_over; });
    lock.unlock();
    if (m_thread.joinable()) m_thread.join();
    if (m_unexpected) std::rethrow_exception(m_unexpected);
}

template <typename Done> void FirstRun::waitFor(std::unique_lock<std::mutex>& lock, Done done)
{
    while (!done()) {
        if (m_job && m_job->isCancelled()) m_runJob.cancel();
        m_wake.wait_for(lock, std::chrono::milliseconds(100));
    }
}

bool FirstRun::waitDescribed()
{
    std::unique_lock lock(m_mutex);
    waitFor(lock, [this] { return m_described || m_over; });
    return m_described;
}

void FirstRun::described()
{
    {
        const std::lock_guard lock(m_mutex);
        m_described = true;
    }
    m_wake.notify_all();
}

void FirstRun::written()
{
    {
        const std::lock_guard lock(m_mutex);
        m_written = true;
    }
    m_wake.notify_all();
}

void FirstRun::finish()
{
    try {
        m_report = m_run->finish();
    } catch (const ConvertError& e) {
        m_error = e;
    } catch (...) {
        m_unexpected = std::current_exception();
    }
    {
        const std::lock_guard lock(m_mutex);
        m_over = true;
    }
    m_wake.notify_all();
}
