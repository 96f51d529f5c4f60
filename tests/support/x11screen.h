#pragma once

// What the X server shows and knows of a window, read on a connection of the test's own.
// Include it after every Qt header: Xlib's macros are undefined again at its end.

#include <QByteArray>
#include <QPoint>
#include <QRgb>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

class X11Screen
{
  public:
    X11Screen() : m_display(XOpenDisplay(nullptr)) {}
    ~X11Screen()
    {
        if (m_display) XCloseDisplay(m_display);
    }
    X11Screen(const X11Screen&) = delete;
    X11Screen& operator=(const X11Screen&) = delete;

    bool isOpen() const { return m_display != nullptr; }

    // The colour the screen shows at `p`, as a viewer sees it (composited when a compositor runs).
    QRgb pixel(QPoint p) const
    {
        XImage* image =
            XGetImage(m_display, DefaultRootWindow(m_display), p.x(), p.y(), 1, 1, AllPlanes, ZPixmap);
        if (!image) return 0;
        const unsigned long value = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return qRgb(int((value >> 16) & 0xff), int((value >> 8) & 0xff), int(value & 0xff));
    }

    // 32 for a window with an alpha channel.
    int depth(unsigned long window) const
    {
        XWindowAttributes attributes;
        return XGetWindowAttributes(m_display, window, &attributes) ? attributes.depth : 0;
    }

    // Whether the window's outline is cut by the shape extension.
    bool shaped(unsigned long window) const
    {
        int bounding = 0, clip = 0, x = 0, y = 0, cx = 0, cy = 0;
        unsigned w = 0, h = 0, cw = 0, ch = 0;
        XShapeQueryExtents(m_display, window, &bounding, &x, &y, &w, &h, &clip, &cx, &cy, &cw, &ch);
        return bounding != 0;
    }

    // The window's text property `name` (WM_NAME, _NET_WM_NAME, …) as stored.
    QByteArray text(unsigned long window, const char* name) const
    {
        XTextProperty property{};
        const Atom atom = XInternAtom(m_display, name, 0);
        if (!XGetTextProperty(m_display, window, &property, atom) || !property.value) return {};
        const QByteArray value(reinterpret_cast<const char*>(property.value), int(property.nitems));
        XFree(property.value);
        return value;
    }

  private:
    Display* m_display;
};

#undef None
#undef Bool
#undef Status
#undef True
#undef False
#undef Unsorted
#undef KeyPress
#undef KeyRelease
#undef FocusIn
#undef FocusOut
#undef FontChange
#undef Expose
#undef CursorShape
#undef Always
#undef Success
#undef GrayScale
