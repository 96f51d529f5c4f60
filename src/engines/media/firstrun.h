#pragma once

#include "core/converterror.h"
#include "core/job.h"
#include "core/progress.h"
#include "engines/media/ffmpegdescription.h"
#include "engines/media/ffmpegrun.h"
#include "engines/media/media.h"

#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

// The first run of a conversion, started on a guess of the source's streams before the source is
// read in this process, under a job of its own, and waited for on a thread of its own: ended when
// the reading calls for other arguments, and handed the user's cancel while it is waited for.
// ffmpeg starts on the calling thread, so that it runs before the reading loads its libraries.
class FirstRun
{
  public:
    FirstRun(const QStringList& args, Job* job, const Progress& progress);
    ~FirstRun();
    FirstRun(const FirstRun&) = delete;
    FirstRun& operator=(const FirstRun&) = delete;

    // The reading agreed with the guess: progress is measured over `duration` seconds.
    void agree(double duration) { m_duration = duration; }
    // The reading called for other arguments.
    void stop() { m_runJob.cancel(); }
    // Waits until ffmpeg has written the whole result (it then only closes it and exits) or the
    // run is over; whether the result is written.
    bool waitWritten();
    // Waits until ffmpeg has described its source or the run is over; whether it described it.
    // The description's fields of the source (input, inputChapters, inputPlain) may then be read
    // while the run goes on.
    bool waitDescribed();
    // Waits for the run to end; throws again what the run threw but a ConvertError.
    void wait();

    // Once waited for: what the run reported or the error it ended with, and how ffmpeg
    // described what it read and wrote.
    const std::optional<Media::FfmpegReport>& report() const { return m_report; }
    const std::optional<ConvertError>& error() const { return m_error; }
    const FfmpegDescription& said() const { return m_said; }

  private:
    // Until `done`, passing the user's cancel on to the run at the pace at which the process
    // runner looks at a job's cancel flag.
    template <typename Done> void waitFor(std::unique_lock<std::mutex>& lock, Done done);
    void written();
    void described();
    void finish();

    Job* const m_job;
    Job m_runJob{QString(), QString(), 0};
    std::atomic<double> m_duration{0};
    FfmpegDescription m_said;
    std::optional<Media::FfmpegReport> m_report;
    std::optional<ConvertError> m_error;
    std::exception_ptr m_unexpected; // thrown again on the waiting thread
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_written = false;
    bool m_described = false;
    bool m_over = false;
    std::optional<FfmpegRun> m_run; // after what its callbacks reach
    std::thread m_thread;
};
