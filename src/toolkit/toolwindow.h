#pragma once

#include "toolkit/floatingpanel.h"

class FramedView;
class PrimaryButton;

// The floating window of a framed view (a tool's, the settings', the welcome window's): managed, always on
// top, moved by its background and resized at its edges, in a fixed light look whatever the desktop's theme.
// Escape closes it; Return presses the view's primary button while that is shown and enabled and no text
// field has the focus. It is deleted once closed; the view inside is told when it begins to close.
class ToolWindow : public FloatingPanel
{
    Q_OBJECT
  public:
    ToolWindow(QWidget* content, QSize size, QWidget* parent = nullptr);

    QWidget* content() const { return m_content; }
    // The content as a framed view; null for other content.
    FramedView* view() const;
    // The least size a window of `size` may be made: 0.8 of its width and 0.75 of its height,
    // rounded up.
    static QSize minimumFor(QSize size);
    // The view's primary button; null when there is none.
    PrimaryButton* primaryButton() const;
    // Whether the widget with the window's focus is one that takes typed text.
    bool textFieldFocused() const;

  signals:
    // The window has begun to close.
    void closing();

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QWidget* m_content;
};
