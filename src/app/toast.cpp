#include "app/toast.h"

#include "app/hud.h"
#include "core/job.h"

namespace Toast {

std::shared_ptr<Job> show(const QString& title, const QString& detail)
{
    auto job = Job::create(title, detail, 0);
    job->setShowsProgress(false);
    job->setProgress(1);
    job->setState({Job::Phase::done, QString()});
    HUD::shared().show(job);
    return job;
}

} // namespace Toast
