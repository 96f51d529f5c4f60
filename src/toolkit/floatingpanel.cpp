#include "toolkit/floatingpanel.h"

namespace {

Qt::WindowFlags flags(bool unmanaged)
{
    Qt::WindowFlags f = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                        Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint;
    if (unmanaged) f |= Qt::X11BypassWindowManagerHint;
    return f;
}

} // namespace

FloatingPanel::FloatingPanel(QSize size, bool unmanaged, QWidget* parent) : QWidget(parent, flags(unmanaged))
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(size);
}
