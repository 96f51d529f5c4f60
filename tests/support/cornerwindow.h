#pragma once

// The window of the X11 tests' helper programs: borderless, over the top-left 200 × 200 pixels of
// the screen, drop-aware, and printing "ready" on standard output once it is on screen.

#include <QWidget>
#include <cstdio>

class CornerWindow : public QWidget
{
  public:
    CornerWindow()
    {
        setWindowFlags(Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        setGeometry(0, 0, 200, 200);
        setAcceptDrops(true);
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        if (m_shown) return;
        m_shown = true;
        std::puts("ready");
        std::fflush(stdout);
    }

  private:
    bool m_shown = false;
};
