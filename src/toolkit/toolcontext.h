#pragma once

#include "core/jobs.h"
#include "core/toolid.h"

#include <QPointF>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <optional>

// What a tool view is given: its tool, the dropped files in drop order, and its window. It is
// the view's only road to the job runner: run() and runOnce() close the window and hand the
// work over as a job whose progress panel opens where the window was. Main thread only.
class ToolContext
{
  public:
    ToolContext(ToolID tool, const QStringList& urls) : m_tool(tool), m_urls(urls) {}

    ToolID tool() const { return m_tool; }
    const QStringList& urls() const { return m_urls; }
    // The hosting window; null before it is set and once it is gone.
    QWidget* window() const { return m_window; }
    void setWindow(QWidget* window) { m_window = window; }

    // Closes the window when it is still open.
    void close();

    // One job that calls `work` once per file: of `files`, or of the context's files when none.
    // `work` runs on a worker thread and must use only what it captured by value; `order` says
    // whether files may run side by side.
    void run(const QString& title, const std::optional<QStringList>& files, Jobs::FileWork work,
             Jobs::Order order = Jobs::Order::sideBySide);
    // One job that calls `work` once over all the context's files; its detail is `detail`, or
    // the first file's name, and its size is that of all the files.
    void runOnce(const QString& title, const std::optional<QString>& detail, Jobs::WholeWork work);

    // Where the job's panel opens: 40 points below the centre of the open window; none once it
    // has closed.
    std::optional<QPointF> hudPoint() const;

  private:
    const ToolID m_tool;
    const QStringList m_urls;
    QPointer<QWidget> m_window;
};
