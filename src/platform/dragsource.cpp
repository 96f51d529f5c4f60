#include "platform/dragsource.h"

#include "platform/x11dragwatcher.h"

#include <QGuiApplication>

namespace {

// Main thread only, as every drag is.
std::optional<QStringList>& ownDragFiles()
{
    static std::optional<QStringList> files;
    return files;
}

} // namespace

std::unique_ptr<DragSource> DragSource::system()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    return X11DragWatcher::open();
}

void DragSource::setOwnDrag(const std::optional<QStringList>& files)
{
    ownDragFiles() = files;
}

std::optional<QStringList> DragSource::ownDrag()
{
    return ownDragFiles();
}
