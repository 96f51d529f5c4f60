// Where a rendered window has drawn dark marks (text, pictures) over its light frame.

#pragma once

#include <QImage>
#include <QRect>

// The bounds of the dark pixels within `area`; invalid when there are none.
inline QRect ink(const QImage& image, const QRect& area)
{
    QRect bounds;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 110) bounds |= QRect(x, y, 1, 1);
    return bounds;
}
