#pragma once

#include "toolkit/toolcontext.h"

#include <QWidget>
#include <memory>

// The view of one tool, built from its context alone.
class ToolView : public QWidget
{
    Q_OBJECT
  public:
    explicit ToolView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr)
        : QWidget(parent), m_context(std::move(context))
    {
    }

    ToolContext& context() const { return *m_context; }
    const std::shared_ptr<ToolContext>& sharedContext() const { return m_context; }

    // Whether the view shows its files as it will stay (their loading done or failed); renderings
    // of the window wait for it. Emits settled() when it becomes true.
    virtual bool isSettled() const { return true; }

  signals:
    void settled();

  private:
    const std::shared_ptr<ToolContext> m_context;
};
