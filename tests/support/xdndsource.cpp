// A drag source that behaves like a GTK application's, written at the XDND level for the X11
// tests to drive with xdotool:
//   xdndsource PATH…
// It covers the top-left 200 × 200 pixels of the screen and prints "ready" once it is on screen.
// A left press and a move of a few pixels start a drag of the files. Like GTK, it offers only a
// move while Shift is held and a copy or a move (suggesting the copy) otherwise, and it reads the
// keys from the pointer's motion events only: a key changes the offer at the next motion. It
// prints "status ACTION" for every answer of a drop target ("status none" when refused) and,
// when the drag ends, "dropped copy", "dropped move", "dropped link" or "dropped none". Like a
// source that honours a move, it deletes the files when the target took them with a move.

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int dragDistance = 8;
// How long a drop target may take to answer a position or a drop before the drag fails.
constexpr int answerTimeoutMs = 3000;

std::string uriList(char** paths, int count)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string list;
    for (int i = 0; i < count; ++i) {
        list += "file://";
        for (const unsigned char c : std::string(paths[i])) {
            const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                               c == '/' || c == '-' || c == '.' || c == '_' || c == '~';
            if (plain) {
                list += char(c);
            } else {
                list += '%';
                list += hex[c >> 4];
                list += hex[c & 15];
            }
        }
        list += "\r\n";
    }
    return list;
}

void say(const char* line)
{
    std::puts(line);
    std::fflush(stdout);
}

class Source
{
  public:
    Source(Display* display, std::vector<std::string> files, std::string list)
        : m_display(display), m_files(std::move(files)), m_list(std::move(list))
    {
        m_root = DefaultRootWindow(display);
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.background_pixel = 0x406080;
        attributes.event_mask = ButtonPressMask | ButtonReleaseMask | Button1MotionMask | ExposureMask;
        m_window = XCreateWindow(display, m_root, 0, 0, 200, 200, 0, CopyFromParent, InputOutput,
                                 CopyFromParent, CWOverrideRedirect | CWBackPixel | CWEventMask, &attributes);
        for (auto& [atom, name] :
             std::initializer_list<std::pair<Atom*, const char*>>{{&m_aware, "XdndAware"},
                                                                  {&m_selection, "XdndSelection"},
                                                                  {&m_enter, "XdndEnter"},
                                                                  {&m_position, "XdndPosition"},
                                                                  {&m_status, "XdndStatus"},
                                                                  {&m_leave, "XdndLeave"},
                                                                  {&m_drop, "XdndDrop"},
                                                                  {&m_finished, "XdndFinished"},
                                                                  {&m_copy, "XdndActionCopy"},
                                                                  {&m_move, "XdndActionMove"},
                                                                  {&m_link, "XdndActionLink"},
                                                                  {&m_actionList, "XdndActionList"},
                                                                  {&m_uriType, "text/uri-list"},
                                                                  {&m_targets, "TARGETS"}})
            *atom = XInternAtom(display, name, False);
        XMapRaised(display, m_window);
        XFlush(display);
    }

    void run()
    {
        for (;;) {
            XEvent event;
            if (!next(event, -1)) return;
            handle(event);
        }
    }

  private:
    // The next event; false when none came within `timeoutMs` (never when negative).
    bool next(XEvent& event, int timeoutMs)
    {
        while (!XPending(m_display)) {
            pollfd ready{ConnectionNumber(m_display), POLLIN, 0};
            if (poll(&ready, 1, timeoutMs) <= 0) return false;
        }
        XNextEvent(m_display, &event);
        return true;
    }

    void handle(XEvent& event)
    {
        switch (event.type) {
        case Expose:
            if (!m_shown) say("ready");
            m_shown = true;
            break;
        case ButtonPress:
            if (event.xbutton.button == Button1) {
                m_pressed = true;
                m_pressX = event.xbutton.x_root;
                m_pressY = event.xbutton.y_root;
            }
            break;
        case MotionNotify:
            moved(event.xmotion);
            break;
        case ButtonRelease:
            if (event.xbutton.button != Button1) break;
            m_pressed = false;
            if (m_dragging) released(event.xbutton.time);
            break;
        case ClientMessage:
            if (event.xclient.message_type == m_status) statusArrived(event.xclient);
            break;
        case SelectionRequest:
            answer(event.xselectionrequest);
            break;
        }
    }

    void moved(const XMotionEvent& motion)
    {
        if (!m_dragging) {
            if (!m_pressed ||
                std::abs(motion.x_root - m_pressX) + std::abs(motion.y_root - m_pressY) < dragDistance)
                return;
            begin(motion.time);
        }
        // The offer follows the keys held at this motion, as GTK reads them.
        const bool shift = motion.state & ShiftMask;
        const std::vector<Atom> offer = shift ? std::vector<Atom>{m_move} : std::vector<Atom>{m_copy, m_move};
        if (offer != m_offer) {
            m_offer = offer;
            XChangeProperty(m_display, m_window, m_actionList, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(offer.data()), int(offer.size()));
        }
        m_suggested = shift ? m_move : m_copy;
        m_x = motion.x_root;
        m_y = motion.y_root;
        m_time = motion.time;

        const Window target = targetAt(m_x, m_y);
        if (target != m_target) {
            if (m_target) send(m_leave, {});
            m_target = target;
            m_waiting = false;
            m_accepted = None;
            if (m_target) send(m_enter, {long(5) << 24, long(m_uriType)});
        }
        if (!m_target) return;
        // Like GTK, one position at a time: the latest waits for the target's answer.
        if (m_waiting) {
            m_pending = true;
            return;
        }
        sendPosition();
    }

    void begin(Time time)
    {
        m_dragging = true;
        XSetSelectionOwner(m_display, m_selection, m_window, time);
        XGrabPointer(m_display, m_window, False, PointerMotionMask | ButtonReleaseMask, GrabModeAsync,
                     GrabModeAsync, None, None, time);
    }

    void sendPosition()
    {
        send(m_position, {0, long(m_x) << 16 | m_y, long(m_time), long(m_suggested)});
        m_waiting = true;
        m_pending = false;
    }

    // The XdndAware window under the point, searched from the top-level window down.
    Window targetAt(int x, int y)
    {
        Window window = m_root, child = None;
        int cx = 0, cy = 0;
        XTranslateCoordinates(m_display, m_root, m_root, x, y, &cx, &cy, &child);
        while (child && child != m_window) {
            window = child;
            Atom type = None;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char* data = nullptr;
            XGetWindowProperty(m_display, window, m_aware, 0, 1, False, XA_ATOM, &type, &format, &count,
                               &after, &data);
            if (data) XFree(data);
            if (type == XA_ATOM) return window;
            XTranslateCoordinates(m_display, m_root, window, x, y, &cx, &cy, &child);
        }
        return None;
    }

    void statusArrived(const XClientMessageEvent& status)
    {
        if (!m_target || Window(status.data.l[0]) != m_target) return;
        m_waiting = false;
        m_accepted = (status.data.l[1] & 1) ? Atom(status.data.l[4]) : None;
        std::printf("status %s\n", actionName(m_accepted));
        std::fflush(stdout);
        if (m_pending) sendPosition();
    }

    void released(Time time)
    {
        m_dragging = false;
        XUngrabPointer(m_display, time);
        // The answer to the latest position decides, as in GTK.
        XEvent event;
        while (m_target && (m_waiting || m_pending)) {
            if (!next(event, answerTimeoutMs)) {
                m_accepted = None;
                break;
            }
            handle(event);
        }
        Atom result = None;
        if (m_target && m_accepted != None) {
            send(m_drop, {0, long(time)});
            result = awaitFinished();
        } else if (m_target) {
            send(m_leave, {});
        }
        m_target = None;
        m_offer.clear();
        if (result == m_move) {
            for (const std::string& file : m_files)
                unlink(file.c_str());
        }
        std::printf("dropped %s\n", actionName(result));
        std::fflush(stdout);
    }

    // The action the target reports when it has taken the drop; none when it refused or
    // did not answer in time. Requests for the data are answered meanwhile.
    Atom awaitFinished()
    {
        XEvent event;
        while (next(event, answerTimeoutMs)) {
            if (event.type == ClientMessage && event.xclient.message_type == m_finished &&
                Window(event.xclient.data.l[0]) == m_target)
                return (event.xclient.data.l[1] & 1) ? Atom(event.xclient.data.l[2]) : None;
            if (event.type == SelectionRequest) answer(event.xselectionrequest);
        }
        return None;
    }

    void answer(const XSelectionRequestEvent& request)
    {
        XSelectionEvent notify{};
        notify.type = SelectionNotify;
        notify.requestor = request.requestor;
        notify.selection = request.selection;
        notify.target = request.target;
        notify.time = request.time;
        // Clients older than ICCCM 2 name no property; the target's name then serves.
        const Atom property = request.property ? request.property : request.target;
        if (request.selection == m_selection && request.target == m_uriType) {
            XChangeProperty(m_display, request.requestor, property, m_uriType, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(m_list.data()), int(m_list.size()));
            notify.property = property;
        } else if (request.selection == m_selection && request.target == m_targets) {
            const Atom targets[] = {m_targets, m_uriType};
            XChangeProperty(m_display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(targets), 2);
            notify.property = property;
        }
        XSendEvent(m_display, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&notify));
        XFlush(m_display);
    }

    // Sends an XDND message to the current target: the source window, then `rest`.
    void send(Atom type, std::initializer_list<long> rest)
    {
        XEvent event{};
        XClientMessageEvent& message = event.xclient;
        message.type = ClientMessage;
        message.window = m_target;
        message.message_type = type;
        message.format = 32;
        message.data.l[0] = long(m_window);
        int i = 1;
        for (const long value : rest)
            message.data.l[i++] = value;
        XSendEvent(m_display, m_target, False, NoEventMask, &event);
        XFlush(m_display);
    }

    const char* actionName(Atom action) const
    {
        return action == m_copy ? "copy" : action == m_move ? "move" : action == m_link ? "link" : "none";
    }

    Display* m_display;
    std::vector<std::string> m_files;
    std::string m_list;
    Window m_root = None, m_window = None;
    Atom m_aware, m_selection, m_enter, m_position, m_status, m_leave, m_drop, m_finished;
    Atom m_copy, m_move, m_link, m_actionList, m_uriType, m_targets;

    bool m_shown = false;
    bool m_pressed = false;
    int m_pressX = 0, m_pressY = 0;
    bool m_dragging = false;
    std::vector<Atom> m_offer;
    Atom m_suggested = None;
    int m_x = 0, m_y = 0;
    Time m_time = CurrentTime;
    Window m_target = None;
    bool m_waiting = false; // a position awaits the target's answer
    bool m_pending = false; // a newer position waits to be sent
    Atom m_accepted = None; // the action of the target's latest answer; none when refused
};

} // namespace

int main(int argc, char** argv)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fputs("xdndsource: no display\n", stderr);
        return 1;
    }
    Source source(display, std::vector<std::string>(argv + 1, argv + argc), uriList(argv + 1, argc - 1));
    source.run();
    XCloseDisplay(display);
    return 0;
}
