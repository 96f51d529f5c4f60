#pragma once

#include "platform/dragsource.h"

#include <QByteArray>
#include <QTimer>
#include <deque>

class QSocketNotifier;
struct _XDisplay;
union _XEvent;

// The drag source of an X11 session, on an X connection of its own so that nothing it does
// waits on the application's event queue. XFixes owner changes of XdndSelection are the change
// count, XInput2 raw button events on the root window the global press monitor (no grab), and
// the files come from converting XdndSelection to text/uri-list, answered through the
// connection's socket.
class X11DragWatcher : public DragSource
{
    Q_OBJECT
public:
    // A watcher on `displayName` (the DISPLAY variable when empty); none when no display
    // answers or it lacks the XFixes extension.
    static std::unique_ptr<X11DragWatcher> open(const QByteArray& displayName = {});
    ~X11DragWatcher() override;

    quint64 changeCount() override { return m_changes; }
    void requestFiles(FilesHandler done) override;
    bool buttonDown() override;
    unsigned modifiers() override;
    bool escDown() override;

    // The local paths named by a text/uri-list: comment lines are skipped, only file URLs of
    // this machine are kept, percent-decoded.
    static QStringList filePaths(const QByteArray& uriList);

    // How long a source may take to hand over its file list.
    static constexpr int answerTimeoutMs = 2000;

private:
    explicit X11DragWatcher(_XDisplay* display);
    bool setUp();
    // Handles every event that has reached the connection.
    void pump();
    // Round trips read events into Xlib's queue without waking the socket notifier.
    void pumpLater();
    void handle(_XEvent& event);
    void startConversion();
    void readAnswer(bool incremental);
    void finishConversion(const QStringList& paths);
    unsigned pointerState();

    _XDisplay* m_display;
    unsigned long m_root = 0;
    unsigned long m_window = 0;
    unsigned long m_xdndSelection = 0;
    unsigned long m_uriList = 0;
    unsigned long m_property = 0;
    unsigned long m_incr = 0;
    int m_fixesEventBase = 0;
    int m_xiOpcode = -1;
    QSocketNotifier* m_notifier = nullptr;
    bool m_pumpQueued = false;

    quint64 m_changes = 0;
    unsigned long m_ownerTime = 0;

    // The conversion in flight answers the front handler; later ones wait their turn so that
    // each is read with the owner's timestamp of its own time.
    std::deque<FilesHandler> m_waiting;
    bool m_converting = false;
    bool m_incremental = false;
    unsigned long m_requestTime = 0;
    QByteArray m_data;
    QTimer m_timeout;
};
