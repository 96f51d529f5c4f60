#pragma once

#include "core/screenarea.h"

#include <QList>

namespace Screens {

// The screens of this session, the primary one first.
QList<ScreenArea> current();

} // namespace Screens
