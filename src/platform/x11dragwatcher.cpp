#include "platform/x11dragwatcher.h"

#include "platform/modifiermasks.h"
#include "platform/x11eventpump.h"

#include <QUrl>

// Xlib's macros (None, Bool, Status…) clash with Qt's names, so its headers come last.
#include <X11/X.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xfixes.h>
#include <X11/keysym.h>

#include <algorithm>
#include <climits>
#include <type_traits>

static_assert(std::is_same_v<Window, unsigned long> && std::is_same_v<Atom, unsigned long> &&
              std::is_same_v<Time, unsigned long>);
static_assert(ModifierMasks::shift == ShiftMask && ModifierMasks::control == ControlMask &&
              ModifierMasks::alt == Mod1Mask && ModifierMasks::super == Mod4Mask);

namespace {

// A list beyond this is not a drag of files anyone meant; reading stops there.
constexpr qsizetype maxListBytes = 64 * 1024 * 1024;

} // namespace

std::unique_ptr<X11DragWatcher> X11DragWatcher::open(const QByteArray& displayName)
{
    Display* display = XOpenDisplay(displayName.isEmpty() ? nullptr : displayName.constData());
    if (!display) return nullptr;
    std::unique_ptr<X11DragWatcher> watcher(new X11DragWatcher(display));
    if (!watcher->setUp()) return nullptr;
    return watcher;
}

X11DragWatcher::X11DragWatcher(Display* display) : m_display(display)
{
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        if (m_converting) finishConversion({});
    });
}

X11DragWatcher::~X11DragWatcher()
{
    delete m_pump;
    if (m_window) XDestroyWindow(m_display, m_window);
    XCloseDisplay(m_display);
}

bool X11DragWatcher::setUp()
{
    int fixesError = 0;
    if (!XFixesQueryExtension(m_display, &m_fixesEventBase, &fixesError)) return false;
    int fixesMajor = 5, fixesMinor = 0;
    if (!XFixesQueryVersion(m_display, &fixesMajor, &fixesMinor)) return false;

    m_root = DefaultRootWindow(m_display);
    // Never mapped: it only receives the converted selection.
    m_window = XCreateSimpleWindow(m_display, m_root, -10, -10, 1, 1, 0, 0, 0);
    XSelectInput(m_display, m_window, PropertyChangeMask);
    m_xdndSelection = XInternAtom(m_display, "XdndSelection", False);
    m_uriList = XInternAtom(m_display, "text/uri-list", False);
    m_property = XInternAtom(m_display, "TOLVANE_DRAGGED_FILES", False);
    m_incr = XInternAtom(m_display, "INCR", False);
    XFixesSelectSelectionInput(m_display, m_window, m_xdndSelection,
                               XFixesSetSelectionOwnerNotifyMask | XFixesSelectionWindowDestroyNotifyMask |
                                   XFixesSelectionClientCloseNotifyMask);

    // Without XInput2 presses are still caught by the monitor's idle check, only later.
    int xiEvent = 0, xiError = 0;
    if (XQueryExtension(m_display, "XInputExtension", &m_xiOpcode, &xiEvent, &xiError)) {
        // 2.1 and later deliver raw events even while another client grabs the pointer.
        int major = 2, minor = 2;
        if (XIQueryVersion(m_display, &major, &minor) == Success) {
            selectRawEvents();
        } else {
            m_xiOpcode = -1;
        }
    } else {
        m_xiOpcode = -1;
    }
    XFlush(m_display);

    m_pump = new X11EventPump(
        m_display, [this](XEvent& event) { handle(event); }, this);
    m_pump->pumpLater();
    return true;
}

void X11DragWatcher::handle(XEvent& event)
{
    if (event.type == m_fixesEventBase + XFixesSelectionNotify) {
        const auto& notify = reinterpret_cast<const XFixesSelectionNotifyEvent&>(event);
        if (notify.selection != m_xdndSelection) return;
        ++m_changes;
        if (notify.owner != None) m_ownerTime = notify.selection_timestamp;
        return;
    }
    if (event.type == GenericEvent && event.xcookie.extension == m_xiOpcode) {
        handleRawEvent(event);
        return;
    }
    if (event.type == SelectionNotify) {
        const XSelectionEvent& answer = event.xselection;
        if (!m_converting || m_incremental || answer.requestor != m_window ||
            answer.selection != m_xdndSelection)
            return;
        // An answer to a request that timed out names that request's time; sources that echo
        // CurrentTime cannot be told apart, and their answer is the same drag's.
        if (m_requestTime != CurrentTime && answer.time != m_requestTime) return;
        if (answer.property == None) {
            // Refused: the time was not the one the source wants (or it has no file list).
            if (!requestNext()) finishConversion({});
            return;
        }
        readAnswer(false);
        return;
    }
    if (event.type == PropertyNotify) {
        const XPropertyEvent& change = event.xproperty;
        if (m_converting && m_incremental && change.window == m_window && change.atom == m_property &&
            change.state == PropertyNewValue)
            readAnswer(true);
    }
}

void X11DragWatcher::handleRawEvent(XEvent& event)
{
    if (!XGetEventData(m_display, &event.xcookie)) return;
    const int type = event.xcookie.evtype;
    const auto* raw = static_cast<const XIRawEvent*>(event.xcookie.data);
    const int detail = raw->detail;
    const Time time = raw->time;
    XFreeEventData(m_display, &event.xcookie);

    if (type == XI_RawButtonPress && isLeftButton(detail)) {
        follow(true);
        m_recent.push_front(time);
        emit buttonPressed();
        return;
    }
    // The release's time is never tried: a Qt source files its drop under it, and would hand
    // over that drop's data for it during a later drag.
    if (type == XI_RawButtonRelease) {
        if (isLeftButton(detail)) follow(false);
        return;
    }
    if (!m_following) return;
    m_recent.push_front(time);
    if (m_recent.size() > size_t(recentInputs)) m_recent.pop_back();
    if (type == XI_RawKeyPress || type == XI_RawKeyRelease) keysChangedSoon();
}

void X11DragWatcher::keysChangedSoon()
{
    // Queued, because raw events are also read from inside requestFiles(), and coalesced, since
    // the state is read afresh anyway. The server handles a key's raw and core events together,
    // before any request, so a state read after the raw event already holds the key.
    if (m_keysQueued) return;
    m_keysQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_keysQueued = false;
            emit keysChanged();
        },
        Qt::QueuedConnection);
}

bool X11DragWatcher::isLeftButton(int physicalButton)
{
    if (physicalButton <= 0) return false;
    // Raw events carry the physical button; a left-handed mapping makes another one the first.
    unsigned char map[256];
    const int mapped = XGetPointerMapping(m_display, map, int(sizeof map));
    return (physicalButton <= mapped ? map[physicalButton - 1] : physicalButton) == 1;
}

void X11DragWatcher::follow(bool on)
{
    m_recent.clear();
    if (on == m_following || m_xiOpcode < 0) return;
    m_following = on;
    selectRawEvents();
}

void X11DragWatcher::selectRawEvents()
{
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawButtonPress);
    XISetMask(bits, XI_RawButtonRelease);
    // Motion while no press is followed would only wake the application for nothing.
    if (m_following) {
        XISetMask(bits, XI_RawMotion);
        XISetMask(bits, XI_RawKeyPress);
        XISetMask(bits, XI_RawKeyRelease);
    }
    XIEventMask mask{XIAllMasterDevices, int(sizeof bits), bits};
    XISelectEvents(m_display, m_root, &mask, 1);
    XFlush(m_display);
}

void X11DragWatcher::requestFiles(FilesHandler done)
{
    if (const std::optional<QStringList> own = ownDrag()) {
        QMetaObject::invokeMethod(
            this, [done = std::move(done), files = *own] { done(files); }, Qt::QueuedConnection);
        return;
    }
    m_waiting.push_back(std::move(done));
    if (!m_converting) startConversion();
}

void X11DragWatcher::startConversion()
{
    m_converting = true;
    m_incremental = false;
    m_data.clear();
    m_tried.clear();
    m_requests = 0;
    XDeleteProperty(m_display, m_window, m_property);
    requestNext();
    m_timeout.start(answerTimeoutMs);
    // Xlib reads what has come in when it flushes, so a quick answer may already wait in its
    // queue, where the socket notifier cannot see it.
    m_pump->pumpLater();
}

bool X11DragWatcher::requestNext()
{
    if (m_requests == maxRequests) return false;
    catchUpOnInput();
    // Most sources want the time they took the selection at. Qt sources want the time of the
    // input event behind their latest position message (most likely the newest; events that
    // come in meanwhile are newer still), or CurrentTime while over a window that takes no
    // drops. Each refusal costs a round trip through the source, so the likely times go first.
    std::vector<Time> order;
    if (m_ownerTime != CurrentTime) order.push_back(m_ownerTime);
    if (!m_recent.empty()) order.push_back(m_recent.front());
    order.push_back(CurrentTime);
    order.insert(order.end(), m_recent.begin() + (m_recent.empty() ? 0 : 1), m_recent.end());
    auto next = std::find_if(order.begin(), order.end(), [this](Time time) {
        return std::find(m_tried.begin(), m_tried.end(), time) == m_tried.end();
    });
    // A source still catching up with the pointer refuses a time that it takes a moment later.
    if (next == order.end()) {
        m_tried.clear();
        next = order.begin();
    }
    ++m_requests;
    m_tried.push_back(*next);
    m_requestTime = *next;
    XConvertSelection(m_display, m_xdndSelection, m_uriList, m_property, m_window, m_requestTime);
    XFlush(m_display);
    return true;
}

void X11DragWatcher::catchUpOnInput()
{
    if (!m_following) return;
    XSync(m_display, False);
    // Button events keep their place in the queue, behind the owner changes that came first.
    const auto isMotionOrKey = [](Display*, XEvent* event, XPointer opcode) -> Bool {
        const XGenericEventCookie& cookie = event->xcookie;
        if (event->type != GenericEvent || cookie.extension != *reinterpret_cast<int*>(opcode)) return False;
        return cookie.evtype == XI_RawMotion || cookie.evtype == XI_RawKeyPress ||
               cookie.evtype == XI_RawKeyRelease;
    };
    XEvent event;
    while (XCheckIfEvent(m_display, &event, isMotionOrKey, reinterpret_cast<XPointer>(&m_xiOpcode)))
        handleRawEvent(event);
}

void X11DragWatcher::readAnswer(bool incremental)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(m_display, m_window, m_property, 0, LONG_MAX / 4, True,
                                          AnyPropertyType, &type, &format, &count, &after, &data);
    QByteArray chunk;
    if (status == Success && data && format == 8)
        chunk = QByteArray(reinterpret_cast<const char*>(data), qsizetype(count));
    if (data) XFree(data);
    if (status != Success) {
        finishConversion({});
        return;
    }
    if (!incremental) {
        if (type == m_incr) {
            // The source sends the list in pieces, each announced by a new value of the property.
            m_incremental = true;
            m_timeout.start(answerTimeoutMs);
            return;
        }
        finishConversion(format == 8 ? filePaths(chunk) : QStringList());
        return;
    }
    if (count == 0) {
        finishConversion(filePaths(m_data));
        return;
    }
    if (format != 8 || m_data.size() + chunk.size() > maxListBytes) {
        finishConversion({});
        return;
    }
    m_data += chunk;
    m_timeout.start(answerTimeoutMs);
}

void X11DragWatcher::finishConversion(const QStringList& paths)
{
    m_timeout.stop();
    m_converting = false;
    m_incremental = false;
    m_data.clear();
    FilesHandler done = std::move(m_waiting.front());
    m_waiting.pop_front();
    if (!m_waiting.empty()) startConversion();
    done(paths);
}

unsigned X11DragWatcher::pointerState()
{
    Window root = None, child = None;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int state = 0;
    // The state is filled in even when the pointer is on another screen.
    XQueryPointer(m_display, m_root, &root, &child, &rootX, &rootY, &x, &y, &state);
    // Stops following a press whose raw release never came.
    if (m_following && !(state & Button1Mask)) follow(false);
    m_pump->pumpLater();
    return state;
}

bool X11DragWatcher::buttonDown()
{
    return pointerState() & Button1Mask;
}

unsigned X11DragWatcher::modifiers()
{
    return pointerState();
}

bool X11DragWatcher::escDown()
{
    char keys[32] = {};
    XQueryKeymap(m_display, keys);
    const KeyCode code = XKeysymToKeycode(m_display, XK_Escape);
    m_pump->pumpLater();
    return code != 0 && (keys[code / 8] & (1 << (code % 8)));
}

QStringList X11DragWatcher::filePaths(const QByteArray& uriList)
{
    QStringList paths;
    for (QByteArray line : uriList.split('\n')) {
        // Lines end in CRLF; some sources also end the list with a NUL.
        line.replace('\0', QByteArray());
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        QUrl url = QUrl::fromEncoded(line);
        if (!url.isValid() || url.scheme() != QLatin1String("file")) continue;
        if (url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) url.setHost(QString());
        if (!url.host().isEmpty()) continue;
        const QString path = url.toLocalFile();
        if (path.startsWith(QLatin1Char('/'))) paths << path;
    }
    return paths;
}
