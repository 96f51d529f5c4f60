#pragma once

#include <QList>
#include <QWidget>

class PrimaryButton;
class QHBoxLayout;
class QVBoxLayout;
class ToolChrome;
class ViewSource;

// The view inside a framed window: a tool's, the settings', the welcome window's. It draws the
// chrome titled with its title, holds a body and a footer for the view to fill, and closes its
// window from the close button. It is settled once every source it names has settled; its one
// primary button is enabled only while it is settled with no failed source and the view allows
// it, and runs apply().
class FramedView : public QWidget
{
    Q_OBJECT
  public:
    explicit FramedView(const QString& title, QWidget* parent = nullptr);

    QString title() const;
    ToolChrome* chrome() const { return m_chrome; }
    // The body, laid out as column().
    QWidget* body() const;
    // The body's column, without margins: fill it from the top.
    QVBoxLayout* column() const { return m_column; }
    // The footer's row from its leading edge: secondary buttons and notes. The primary button,
    // once made, stays at the trailing edge.
    QHBoxLayout* footer() const { return m_footer; }
    // The button Return presses; null until primary() made it.
    PrimaryButton* primaryButton() const { return m_primary; }

    // Whether the view shows its files as they will stay: every named source loaded or failed.
    // Renderings and checks of the window wait for it. Emits settled() when it becomes true.
    bool isSettled() const { return m_settled; }
    // Whether a named source has failed.
    bool hasFailedSource() const;

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
    // Makes the view's one primary button, titled `label`, at the footer's trailing edge; its
    // click calls apply(). Asked again, it retitles the same button.
    PrimaryButton* primary(const QString& label);
    // What the primary button does: a tool captures its parameters and hands the work over.
    virtual void apply() {}
    // The view's own condition for its primary button (its choices differ from doing nothing,
    // …), on top of the settling; true until the view says otherwise.
    void setPrimaryAllowed(bool allowed);

  private:
    void sourceSettled();
    void enablePrimary();

    ToolChrome* m_chrome;
    QVBoxLayout* m_column;
    QHBoxLayout* m_footer;
    PrimaryButton* m_primary = nullptr;
    QList<ViewSource*> m_sources;
    bool m_settled = true;
    bool m_closed = false;
    bool m_allowed = true;
};
