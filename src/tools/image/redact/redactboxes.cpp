#include "tools/image/redact/redactboxes.h"

#include <cmath>

namespace {

const QRectF unit(0, 0, 1, 1);

bool finite(const QRectF& r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
           std::isfinite(r.height());
}

} // namespace

namespace RedactBoxes {

QList<QRectF> found(const QList<QRectF>& boxes, bool faces)
{
    QList<QRectF> out;
    for (QRectF box : boxes) {
        if (!finite(box)) continue;
        box = box.normalized();
        if (faces)
            box.adjust(-0.15 * box.width(), -0.25 * box.height(), 0.15 * box.width(), 0.25 * box.height());
        box &= unit;
        if (!box.isEmpty()) out << box;
    }
    return out;
}

QString note(qsizetype count, bool faces)
{
    if (count == 0) return faces ? QStringLiteral("No faces found.") : QStringLiteral("No text found.");
    const QString what = !faces       ? QStringLiteral("text areas")
                         : count == 1 ? QStringLiteral("face")
                                      : QStringLiteral("faces");
    return QStringLiteral("Found %1 %2. Click a box to keep it uncovered.").arg(count).arg(what);
}

} // namespace RedactBoxes
