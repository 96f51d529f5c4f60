#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

// A window of which there is only ever one, such as the settings and the welcome window: made
// by its maker on the first show, centred on the primary screen, and kept when closed (closing
// only hides it), so every later show brings the same window forward. Main thread.
class KeptWindow
{
  public:
    using Maker = std::function<QWidget*()>;

    // Without a maker nothing is ever shown.
    explicit KeptWindow(Maker maker) : m_maker(std::move(maker)) {}
    KeptWindow(const KeptWindow&) = delete;
    KeptWindow& operator=(const KeptWindow&) = delete;
    ~KeptWindow();

    // Makes the window when there is none yet, then shows it, raises and activates it. Returns
    // the window; null when there is no maker or it made none.
    QWidget* show();
    // The window once made; null before.
    QWidget* window() const { return m_window; }

  private:
    Maker m_maker;
    QPointer<QWidget> m_window;
};
