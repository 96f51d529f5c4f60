#include "toolkit/unitbox.h"

#include <algorithm>
#include <cmath>

namespace UnitBox {

QRectF dragged(QPointF from, QPointF to, QSizeF shown)
{
    if (!(shown.width() > 0) || !(shown.height() > 0)) return {};
    const QRectF box(std::min(from.x(), to.x()) / shown.width(), std::min(from.y(), to.y()) / shown.height(),
                     std::abs(to.x() - from.x()) / shown.width(),
                     std::abs(to.y() - from.y()) / shown.height());
    return box & QRectF(0, 0, 1, 1);
}

bool kept(const QRectF& box, double minSide)
{
    return box.width() > minSide && box.height() > minSide;
}

QRectF shownRect(const QRectF& box, QSizeF shown)
{
    return {box.x() * shown.width(), box.y() * shown.height(), box.width() * shown.width(),
            box.height() * shown.height()};
}

} // namespace UnitBox
