// The road every tool test takes: open a tool's window for files, wait until its view has
// settled, press Apply, and wait for the job it hands over. Jobs are recorded, not shown.

#pragma once

#include "core/job.h"
#include "core/jobs.h"
#include "toolkit/framedview.h"
#include "toolkit/primarybutton.h"
#include "toolkit/toolview.h"
#include "toolkit/toolwindow.h"
#include "tools/toolwindows.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTest>
#include <memory>

class ToolHarness
{
  public:
    // Loading and jobs wait this long at most before the harness gives up.
    static constexpr int limitMs = 60000;

    ToolHarness()
    {
        Jobs::setPresenter(
            [this](const std::shared_ptr<Job>& job, std::optional<QPointF>) { m_jobs << job; });
    }
    ~ToolHarness()
    {
        for (ToolWindow* w : ToolWindows::openWindows())
            w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Jobs::setPresenter({});
    }
    ToolHarness(const ToolHarness&) = delete;
    ToolHarness& operator=(const ToolHarness&) = delete;

    // The view of a new window of `tool` over `files`, once settled; null when no window opened
    // or the view is still loading after the limit.
    template <class View = ToolView> View* open(ToolID tool, const QStringList& files)
    {
        ToolWindow* window = ToolWindows::open(tool, files);
        auto* view = window ? qobject_cast<View*>(window->view()) : nullptr;
        if (!view || !QTest::qWaitFor([view] { return view->isSettled(); }, limitMs)) return nullptr;
        QCoreApplication::sendPostedEvents(); // the layout of what the load brought
        return view;
    }

    // Presses the view's primary button and waits until the job it handed over ends; null
    // when the button is missing or disabled, or no job was handed over.
    std::shared_ptr<Job> apply(FramedView& view)
    {
        PrimaryButton* button = view.primaryButton();
        if (!button || !button->isEnabled()) return nullptr;
        const qsizetype before = m_jobs.size();
        button->click();
        if (m_jobs.size() == before) return nullptr;
        const std::shared_ptr<Job> job = m_jobs.last();
        if (!QTest::qWaitFor([&job] { return !job->isRunning(); }, limitMs)) return nullptr;
        return job;
    }

    const QList<std::shared_ptr<Job>>& jobs() const { return m_jobs; }

  private:
    QList<std::shared_ptr<Job>> m_jobs;
};
