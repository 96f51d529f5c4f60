#pragma once

#include <QString>
#include <memory>

class Job;

// Confirmations of quick actions: a finished job without a bar, in a progress panel at the
// pointer, which closes by itself a moment later. Main thread.
namespace Toast {

// Shows `title` with `detail` as its second line; returns the job the panel shows.
std::shared_ptr<Job> show(const QString& title, const QString& detail = QString());
// The same for a failure: the warning sign instead of the check mark, and it stays as long as a
// failed job's panel does.
std::shared_ptr<Job> warn(const QString& title, const QString& detail = QString());

} // namespace Toast
