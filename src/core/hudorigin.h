#pragma once

#include "core/screenarea.h"

#include <QList>
#include <QPointF>
#include <QVariant>
#include <optional>

// The place the user last dragged a progress panel to, kept in the settings store as
// "hudOrigin" until it is cleared. Main thread.
namespace HUDOrigin {

// The stored place while it still lies on one of `screens` (with 20 of slack), else none.
std::optional<QPointF> saved(const QList<ScreenArea>& screens);
// The same check of a stored value: anything but two finite numbers counts as none.
std::optional<QPointF> saved(const QVariant& stored, const QList<ScreenArea>& screens);

void save(QPointF origin);
// New panels open near the drop point again.
void clear();

} // namespace HUDOrigin
