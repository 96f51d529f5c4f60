#include "platform/workspaces.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <algorithm>

// Xlib's macros (None, Bool, Status…) clash with Qt's names, so its headers come last.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace Workspaces {

void showOnAll(quintptr window)
{
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb")) return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return;

    const long everyDesktop = 0xFFFFFFFF;
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_DESKTOP", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&everyDesktop), 1);
    // Added to the states already there; Qt adds its own to these when it maps the window.
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    const Atom sticky = XInternAtom(display, "_NET_WM_STATE_STICKY", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool present = false;
    if (XGetWindowProperty(display, window, state, 0, 1024, False, XA_ATOM, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        const auto* atoms = reinterpret_cast<const Atom*>(data);
        present = format == 32 && std::find(atoms, atoms + count, sticky) != atoms + count;
        XFree(data);
    }
    if (!present)
        XChangeProperty(display, window, state, XA_ATOM, 32, PropModeAppend,
                        reinterpret_cast<const unsigned char*>(&sticky), 1);
    // Done before Qt reads the state back on its own connection to the server.
    XSync(display, False);
}

} // namespace Workspaces
