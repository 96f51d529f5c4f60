#include "app/wheelpanel.h"

WheelPanel::WheelPanel(QWidget* parent) : FloatingPanel(QSize(320, 320), Kind::overlay, parent)
{
    // Without a title of its own X11 gets only the application's name as _NET_WM_NAME and an
    // empty WM_NAME, which older tools and window lists read.
    setWindowTitle(QStringLiteral("Tolvane"));
}
