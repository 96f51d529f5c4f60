#include "platform/x11clock.h"

#include <QAbstractEventDispatcher>
#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>

// Xlib's macros (None, Bool, Status…) clash with Qt's names, so its headers come last.
#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace {

constexpr int patienceMs = 1000;

// Says when Qt has taken the last of the stamped events in: Qt hands each event to the filters
// before it reads the event's time, so every event sent before the last one has been read.
class LastStamp : public QAbstractNativeEventFilter
{
  public:
    LastStamp(xcb_window_t window, xcb_atom_t marker, QEventLoop& wait)
        : m_window(window), m_marker(marker), m_wait(wait)
    {
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
        const auto* notify = static_cast<const xcb_property_notify_event_t*>(message);
        if (notify->window == m_window && notify->atom == m_marker) m_wait.quit();
        return false;
    }

  private:
    xcb_window_t m_window;
    xcb_atom_t m_marker;
    QEventLoop& m_wait;
};

// The server's present time: the stamp of a property change on a window of a connection of our own.
Time serverTime(Display* display, Atom marker)
{
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), -10, -10, 1, 1, 0, 0, 0);
    XSelectInput(display, window, PropertyChangeMask);
    XChangeProperty(display, window, marker, marker, 8, PropModeReplace, nullptr, 0);
    XEvent event;
    XWindowEvent(display, window, PropertyChangeMask, &event);
    XDestroyWindow(display, window);
    return event.xproperty.time;
}

// A window of Qt's connection, never mapped: events sent to it reach Qt's event queue.
xcb_window_t qtWindow(xcb_connection_t* connection)
{
    static xcb_connection_t* owner = nullptr;
    static xcb_window_t window = 0;
    if (window && owner == connection) return window;
    owner = connection;
    window = xcb_generate_id(connection);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, -10, -10, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_flush(connection);
    return window;
}

void stamp(Display* display, Window window, Atom atom, Time time)
{
    XEvent event = {};
    event.xproperty.type = PropertyNotify;
    event.xproperty.window = window;
    event.xproperty.atom = atom;
    event.xproperty.time = time;
    event.xproperty.state = PropertyNewValue;
    XSendEvent(display, window, False, NoEventMask, &event);
}

} // namespace

namespace X11Clock {

void catchUp()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display() || !x11->connection()) return;
    // A connection of our own, so that waiting for the server's answer never takes an event
    // from Qt's queue.
    Display* display = XOpenDisplay(DisplayString(x11->display()));
    if (!display) return;
    const Atom stampAtom = XInternAtom(display, "TOLVANE_CLOCK", False);
    const Atom lastAtom = XInternAtom(display, "TOLVANE_CLOCK_READ", False);
    const Time now = serverTime(display, stampAtom);
    const xcb_window_t window = qtWindow(x11->connection());
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher) {
        XCloseDisplay(display);
        return;
    }
    QEventLoop wait;
    LastStamp last(window, xcb_atom_t(lastAtom), wait);
    dispatcher->installNativeEventFilter(&last);
    // Qt moves its time only forwards, comparing modulo 2^32: each stamp below is ahead of the one
    // before by less than half the circle, so from any time Qt may hold (behind the server or
    // ahead of it) the three steps end at the present.
    const auto t = quint32(now);
    for (const quint32 step : {t + 0x7fffffffu, t - 0x40000000u, t})
        stamp(display, window, stampAtom, step);
    stamp(display, window, lastAtom, t);
    XFlush(display);
    QTimer::singleShot(patienceMs, &wait, &QEventLoop::quit);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    dispatcher->removeNativeEventFilter(&last);
    XCloseDisplay(display);
}

} // namespace X11Clock
