#include "toolkit/progressbar.h"

#include "toolkit/theme.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace ProgressBar {

void paint(QPainter& painter, const QRectF& rect, std::optional<double> value, double phase)
{
    if (rect.isEmpty()) return;
    const double w = rect.width();
    const double radius = rect.height() / 2;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath capsule;
    capsule.addRoundedRect(rect, radius, radius);
    painter.setClipPath(capsule);
    painter.setPen(Qt::NoPen);

    painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.12f));
    painter.drawRoundedRect(rect, radius, radius);

    QRectF fill = rect;
    if (value) {
        const double v = *value > 0 ? std::min(*value, 1.0) : 0.0; // NaN counts as 0
        fill.setWidth(std::max(w * v, std::min(4.0, w)));
    } else {
        fill.setWidth(w * segment);
        fill.moveLeft(rect.left() + std::clamp(phase, 0.0, 1.0) * (1 - segment) * w);
    }
    painter.setBrush(Theme::orange());
    painter.drawRoundedRect(fill, radius, radius);
    painter.restore();
}

} // namespace ProgressBar
