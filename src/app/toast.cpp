#include "app/toast.h"

#include "app/hud.h"
#include "core/job.h"

namespace Toast {

namespace {

std::shared_ptr<Job> present(const QString& title, const QString& detail, const Job::State& state)
{
    auto job = Job::create(title, detail, 0);
    job->setShowsProgress(false);
    job->setProgress(1);
    job->setState(state);
    HUD::shared().show(job);
    return job;
}

} // namespace

std::shared_ptr<Job> show(const QString& title, const QString& detail)
{
    return present(title, detail, {Job::Phase::done, QString()});
}

std::shared_ptr<Job> warn(const QString& title, const QString& detail)
{
    return present(title, detail, Job::State::failed(detail));
}

} // namespace Toast
