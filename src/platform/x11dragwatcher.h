#pragma once

#include "platform/dragsource.h"

#include <QByteArray>
#include <QTimer>
#include <deque>
#include <vector>

class X11EventPump;
struct _XDisplay;
union _XEvent;

// The drag source of an X11 session, on an X connection of its own so that nothing it does
// waits on the application's event queue. XFixes owner changes of XdndSelection are the change
// count, XInput2 raw button events on the root window the global press monitor (no grab), and
// the files come from converting XdndSelection to text/uri-list, answered through the
// connection's socket. While the left button is down it also keeps the times of the latest raw
// motion, key and button events: a Qt source hands its data over only for the time of the input
// event behind its latest position message, which nothing else reveals.
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

    // How long a source may take to hand over its file list, all attempts together.
    static constexpr int answerTimeoutMs = 2000;
    // How many of the latest input times are kept, and how many requests one reading may make.
    static constexpr int recentInputs = 16;
    static constexpr int maxRequests = 32;

  private:
    explicit X11DragWatcher(_XDisplay* display);
    bool setUp();
    void handle(_XEvent& event);
    void handleRawEvent(_XEvent& event);
    // Signals keysChanged() once the current batch of events is handled.
    void keysChangedSoon();
    bool isLeftButton(int physicalButton);
    // Raw motion and key events are selected only while a left press is followed.
    void follow(bool on);
    void selectRawEvents();
    void startConversion();
    // Asks with the next time to try; false once the conversion has made all its requests.
    bool requestNext();
    // Handles the raw motion and key events the server has sent until now (a round trip),
    // leaving the others queued: a source that keeps up with the pointer wants the very latest.
    void catchUpOnInput();
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
    X11EventPump* m_pump = nullptr;
    bool m_keysQueued = false;

    quint64 m_changes = 0;
    unsigned long m_ownerTime = 0;
    bool m_following = false;
    std::deque<unsigned long> m_recent; // input times since the left press, newest first

    // The conversion in flight answers the front handler; later ones wait their turn so that
    // each is read with the timestamps of its own time.
    std::deque<FilesHandler> m_waiting;
    bool m_converting = false;
    bool m_incremental = false;
    unsigned long m_requestTime = 0;
    std::vector<unsigned long> m_tried; // the request times of this round of attempts
    int m_requests = 0;
    QByteArray m_data;
    QTimer m_timeout;
};
