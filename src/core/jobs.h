#pragma once

#include "core/job.h"
#include "core/progress.h"

#include <QPointF>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// The two runners of long work: create the job, present it, start its estimate, run the work
// on the jobs' own thread pool and finish the job on the main thread. Called on the main thread;
// both return at once. A job starts at once, or shows "Waiting…" as its detail until it does.
namespace Jobs {

// Work over one input file: returns the result paths it wrote (possibly none) or throws.
// `progress` takes the fraction of this file done; it may be called from any thread. Calls for
// different files of one job may run at the same time, unless the job runs them one after another.
using FileWork = std::function<QStringList(const QString& file, Job& job, const Progress& progress)>;
// Work over the whole job; `progress` takes the fraction of the whole job.
using WholeWork = std::function<QStringList(Job& job, const Progress& progress)>;
using Presenter = std::function<void(const std::shared_ptr<Job>&, std::optional<QPointF>)>;
using Revealer = std::function<void(const QStringList&)>;

// Whether the files of one job may run side by side (up to one per core) or one after another,
// as work that already keeps every core busy (a video encoder) should.
enum class Order { sideBySide, oneAfterAnother };

// Runs `work` once per file, starting them in order, side by side or not as `order` says, going
// on after a failed file and starting no more once the job is cancelled. A pipe, a device or a
// socket fails its file without reaching `work`. With two or more files the detail counts the
// saved ones ("1 of 3 saved") and the bar all of them; a one-file job shows the file's name.
// Results keep the files' order; any failed file fails the job with the message of the last
// failed one in that order.
std::shared_ptr<Job> run(const QString& title, const QStringList& files, std::optional<QPointF> at,
                         FileWork work, Order order = Order::sideBySide);

// Runs `work` once over everything; `bytes` is the input size the estimate goes by.
std::shared_ptr<Job> runOnce(const QString& title, const QString& detail, qint64 bytes,
                             std::optional<QPointF> at, WholeWork work);

// Shows each new job near the drop point (the tray application's progress panels). Without
// one, jobs run unseen.
void setPresenter(Presenter presenter);

// Shows the results of a done job when the user asked for that (the tray application installs
// the file manager here). Without one, nothing is shown.
void setRevealer(Revealer revealer);

// Main thread, as the application ends: cancels every job still running (which ends their
// children), drops the work not started yet, ends any other child still running, and waits up to
// `limit` for the work to unwind and remove its hidden files. False when work still ran at the limit.
bool stopAll(std::chrono::milliseconds limit);

} // namespace Jobs
