#pragma once

#include <QList>
#include <QObject>
#include <QRect>
#include <QtGlobal>

class X11EventPump;
struct _XDisplay;

// Whether the desktop composites windows, so that what a window leaves transparent shows what
// lies beneath it. On X11 a compositing manager owns the _NET_WM_CM_S<n> selection of X screen n;
// the other platforms (Wayland, offscreen) always composite. Main thread only.
class Compositor : public QObject
{
    Q_OBJECT
  public:
    // The application's watch, created on first use and owned by the application object.
    static Compositor& shared();
    ~Compositor() override;

    // Whether a compositor runs now on the X screen of `window` (the display's default screen
    // for 0 or a window that is gone). Asks the server every time.
    bool running(quintptr window = 0);

    // Some compositors work out a shadow for a window moved before its first showing, taking it
    // for opaque, and keep drawing it under the translucent window; when the window goes they
    // redraw only its own square and leave the rest of the shadow behind. Tells the compositor
    // the top-level `window`'s opacity (0 to 1) again, which makes it take the window afresh;
    // window managers pass it on to their frames.
    void reconsider(quintptr window, double opacity);
    // Asks the compositor to draw `area` of the screen (in the screen's pixels) afresh.
    void repaint(const QRect& area);

  signals:
    // A compositor started or stopped on some screen.
    void changed();

  private:
    explicit Compositor(QObject* parent);
    void watch();
    int screenOf(quintptr window);

    _XDisplay* m_display = nullptr;
    QList<unsigned long> m_selections; // _NET_WM_CM_S<n> for each screen n
    int m_fixesEventBase = -1;
    X11EventPump* m_pump = nullptr; // only while owner changes are watched
};
