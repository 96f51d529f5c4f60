#pragma once

#include <QRectF>

// One screen in global, y-down coordinates: its whole frame and the part left free of panels
// and docks.
struct ScreenArea
{
    QRectF frame;
    QRectF available;
};
