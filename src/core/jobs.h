#pragma once

#include "core/job.h"

#include <QPointF>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

// The two runners of long work: create the job, present it, start its estimate, run the work
// on the thread pool and finish the job on the main thread. Called on the main thread; both
// return at once.
namespace Jobs {

// Work over one input file: returns the result paths it wrote (possibly none) or throws.
// `progress` takes the fraction of this file done; it may be called from any thread.
using FileWork =
    std::function<QStringList(const QString& file, Job& job, const std::function<void(double)>& progress)>;
// Work over the whole job; `progress` takes the fraction of the whole job.
using WholeWork = std::function<QStringList(Job& job, const std::function<void(double)>& progress)>;
using Presenter = std::function<void(const std::shared_ptr<Job>&, std::optional<QPointF>)>;
using Revealer = std::function<void(const QStringList&)>;

// Runs `work` once per file, in order, going on after a failed file and stopping when the job
// is cancelled. With two or more files the detail counts the saved ones ("1 of 3 saved"); a
// one-file job shows the file's name. Any failed file fails the job with the last message.
std::shared_ptr<Job> run(const QString& title, const QStringList& files, std::optional<QPointF> at,
                         FileWork work);

// Runs `work` once over everything; `bytes` is the input size the estimate goes by.
std::shared_ptr<Job> runOnce(const QString& title, const QString& detail, qint64 bytes,
                             std::optional<QPointF> at, WholeWork work);

// Shows each new job near the drop point (the tray application's progress panels). Without
// one, jobs run unseen.
void setPresenter(Presenter presenter);

// Shows the results of a done job when the user asked for that (the tray application installs
// the file manager here). Without one, nothing is shown.
void setRevealer(Revealer revealer);

} // namespace Jobs
