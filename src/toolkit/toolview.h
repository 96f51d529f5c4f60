#pragma once

#include "toolkit/framedview.h"
#include "toolkit/toolcontext.h"

#include <memory>

// The view of one tool, built from its context alone: framed and titled with the tool's name (or
// a title of its own, for a window named otherwise), so a tool view is its body, its footer and
// its apply, which hands the work to the context.
class ToolView : public FramedView
{
    Q_OBJECT
  public:
    explicit ToolView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);
    ToolView(std::shared_ptr<ToolContext> context, const QString& title, QWidget* parent = nullptr);

    ToolContext& context() const { return *m_context; }
    const std::shared_ptr<ToolContext>& sharedContext() const { return m_context; }

  private:
    const std::shared_ptr<ToolContext> m_context;
};
