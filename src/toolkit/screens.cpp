#include "toolkit/screens.h"

#include <QGuiApplication>
#include <QScreen>

namespace Screens {

QList<ScreenArea> current()
{
    QList<ScreenArea> screens;
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary) screens << ScreenArea{QRectF(primary->geometry()), QRectF(primary->availableGeometry())};
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != primary)
            screens << ScreenArea{QRectF(screen->geometry()), QRectF(screen->availableGeometry())};
    return screens;
}

} // namespace Screens
