#include "platform/dragsource.h"

#include "platform/x11dragwatcher.h"

#include <QGuiApplication>

std::unique_ptr<DragSource> DragSource::system()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    return X11DragWatcher::open();
}
