#pragma once

#include <QString>
#include <memory>

class Job;

// Confirmations of quick actions: a finished job without a bar, in a progress panel at the
// pointer, which closes by itself a moment later. Main thread.
namespace Toast {

// Shows `title` with `detail` as its second line; returns the job the panel shows.
std::shared_ptr<Job> show(const QString& title, const QString& detail = QString());

} // namespace Toast
