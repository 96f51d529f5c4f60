#include "platform/compositor.h"

#include "platform/x11eventpump.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QtGui/qguiapplication_platform.h>
#include <algorithm>

// Xlib's macros (None, Bool, Status…) clash with Qt's names, so its headers come last.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

namespace {

int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

} // namespace

Compositor& Compositor::shared()
{
    static QPointer<Compositor> instance;
    if (!instance) instance = new Compositor(QCoreApplication::instance());
    return *instance;
}

Compositor::Compositor(QObject* parent) : QObject(parent)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    // The server Qt talks to, on a connection of our own whose events nothing else reads.
    QByteArray name;
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>(); x11 && x11->display())
        name = DisplayString(x11->display());
    m_display = XOpenDisplay(name.isEmpty() ? nullptr : name.constData());
    if (!m_display) return;
    for (int n = 0; n < ScreenCount(m_display); ++n) {
        const QByteArray selection = "_NET_WM_CM_S" + QByteArray::number(n);
        m_selections << XInternAtom(m_display, selection.constData(), False);
    }
    watch();
}

Compositor::~Compositor()
{
    delete m_pump;
    if (m_display) XCloseDisplay(m_display);
}

void Compositor::watch()
{
    int fixesError = 0, major = 5, minor = 0;
    // Without XFixes the windows still ask each time they are shown.
    if (!XFixesQueryExtension(m_display, &m_fixesEventBase, &fixesError) ||
        !XFixesQueryVersion(m_display, &major, &minor))
        return;
    for (int n = 0; n < m_selections.size(); ++n)
        XFixesSelectSelectionInput(m_display, RootWindow(m_display, n), m_selections[n],
                                   XFixesSetSelectionOwnerNotifyMask |
                                       XFixesSelectionWindowDestroyNotifyMask |
                                       XFixesSelectionClientCloseNotifyMask);
    XFlush(m_display);
    m_pump = new X11EventPump(
        m_display,
        [this](XEvent& event) {
            if (event.type == m_fixesEventBase + XFixesSelectionNotify) emit changed();
        },
        this);
}

bool Compositor::running(quintptr window)
{
    if (!m_display) return true;
    const int screen = screenOf(window);
    const bool owned = XGetSelectionOwner(m_display, m_selections.value(screen)) != 0;
    if (m_pump) m_pump->pumpLater();
    return owned;
}

int Compositor::screenOf(quintptr window)
{
    if (window == 0 || m_selections.size() < 2) return DefaultScreen(m_display);
    // The window may be gone already; its error must not end the process.
    XWindowAttributes attributes;
    XSync(m_display, False);
    XErrorHandler previous = XSetErrorHandler(ignoreErrors);
    const Status found = XGetWindowAttributes(m_display, Window(window), &attributes);
    XSync(m_display, False);
    XSetErrorHandler(previous);
    return found ? XScreenNumberOfScreen(attributes.screen) : DefaultScreen(m_display);
}

void Compositor::reconsider(quintptr window, double opacity)
{
    if (!m_display || window == 0) return;
    // The opacity the window has already, as Qt stores it: telling it again is what counts.
    const auto value = static_cast<unsigned long>(std::clamp(opacity, 0.0, 1.0) * 0xffffffffUL);
    const Atom property = XInternAtom(m_display, "_NET_WM_WINDOW_OPACITY", False);
    XSync(m_display, False);
    XErrorHandler previous = XSetErrorHandler(ignoreErrors);
    XChangeProperty(m_display, Window(window), property, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&value), 1);
    XSync(m_display, False);
    XSetErrorHandler(previous);
}

void Compositor::repaint(const QRect& area)
{
    if (!m_display || area.isEmpty()) return;
    // Exposing the root window makes a compositor draw that part of the screen again.
    XClearArea(m_display, DefaultRootWindow(m_display), area.x(), area.y(), unsigned(area.width()),
               unsigned(area.height()), True);
    XFlush(m_display);
}
