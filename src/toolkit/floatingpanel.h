#pragma once

#include <QWidget>

// The base of every window that floats over the user's work (the wheel, progress panels):
// frameless, above everything, transparent outside its drawing, and never focused or
// activated, so the application the user works in keeps the focus.
class FloatingPanel : public QWidget
{
    Q_OBJECT
  public:
    // `unmanaged` windows bypass the window manager entirely (no placement, no decoration).
    explicit FloatingPanel(QSize size, bool unmanaged = false, QWidget* parent = nullptr);
};
