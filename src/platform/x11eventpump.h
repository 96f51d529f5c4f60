#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;
struct _XDisplay;
union _XEvent;

// Reads the events of a private X connection on the main thread and hands each to a handler.
// The connection stays its owner's; the pump only reads it.
class X11EventPump : public QObject
{
    Q_OBJECT
  public:
    X11EventPump(_XDisplay* display, std::function<void(_XEvent&)> handler, QObject* parent = nullptr);
    ~X11EventPump() override;

    // Handles every event waiting now.
    void pump();
    // Handles, on the next turn of the event loop, events that a round trip read into Xlib's
    // queue: they are off the socket already, so they would not wake the notifier.
    void pumpLater();

  private:
    _XDisplay* m_display;
    std::function<void(_XEvent&)> m_handler;
    QSocketNotifier* m_notifier;
    bool m_pumpQueued = false;
};
