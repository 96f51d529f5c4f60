#pragma once

#include "toolkit/toolcontext.h"

#include <QList>
#include <QWidget>
#include <memory>

class QHBoxLayout;
class ToolChrome;
class ViewSource;

// The view of one tool, built from its context alone. It gives the tool its frame, titled with
// the tool's name and closed through the context, so a view is its body, its footer and its
// apply. It is settled once every source it names has settled.
class ToolView : public QWidget
{
    Q_OBJECT
  public:
    explicit ToolView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    ToolContext& context() const { return *m_context; }
    const std::shared_ptr<ToolContext>& sharedContext() const { return m_context; }
    ToolChrome* chrome() const { return m_chrome; }
    // The tool's body: give it a layout and fill it.
    QWidget* body() const;
    QHBoxLayout* footer() const;

    // Whether the view shows its files as it will stay: every named source loaded or failed.
    // Renderings and checks of the window wait for it. Emits settled() when it becomes true.
    bool isSettled() const;

    // Called by the hosting window once it has begun to close, whichever way it is closed;
    // emits closed() the first time.
    void windowClosed();

  signals:
    void settled();
    // The window is closing: playback and previews stop here.
    void closed();

  protected:
    // Names a source the view shows, one it owns; call it from the constructor.
    void addSource(ViewSource* source);

  private:
    void sourceSettled();

    const std::shared_ptr<ToolContext> m_context;
    ToolChrome* m_chrome;
    QList<ViewSource*> m_sources;
    bool m_settled = true;
    bool m_closed = false;
};
