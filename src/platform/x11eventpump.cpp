#include "platform/x11eventpump.h"

#include <QSocketNotifier>

#include <X11/Xlib.h>

X11EventPump::X11EventPump(Display* display, std::function<void(XEvent&)> handler, QObject* parent)
    : QObject(parent), m_display(display), m_handler(std::move(handler)),
      m_notifier(new QSocketNotifier(ConnectionNumber(display), QSocketNotifier::Read, this))
{
    connect(m_notifier, &QSocketNotifier::activated, this, &X11EventPump::pump);
}

X11EventPump::~X11EventPump() = default;

void X11EventPump::pump()
{
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        m_handler(event);
    }
}

void X11EventPump::pumpLater()
{
    if (m_pumpQueued || XEventsQueued(m_display, QueuedAlready) == 0) return;
    m_pumpQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_pumpQueued = false;
            pump();
        },
        Qt::QueuedConnection);
}
