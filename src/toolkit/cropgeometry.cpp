#include "toolkit/cropgeometry.h"

#include <algorithm>
#include <initializer_list>

namespace CropGeometry {

namespace {

using enum Handle;

bool in(Handle h, std::initializer_list<Handle> group)
{
    return std::find(group.begin(), group.end(), h) != group.end();
}

double clamp(double v, double lo, double hi)
{
    return std::min(std::max(v, lo), hi);
}

} // namespace

QRectF adjusted(const QRectF& rect, Handle h, double dx, double dy, const Limits& limits)
{
    if (h == move) {
        return QRectF(clamp(rect.x() + dx, 0, 1 - rect.width()), clamp(rect.y() + dy, 0, 1 - rect.height()),
                      rect.width(), rect.height());
    }
    double left = rect.left(), top = rect.top(), right = rect.right(), bottom = rect.bottom();
    if (in(h, {tl, bl, l})) left += dx;
    if (in(h, {tr, r, br})) right += dx;
    if (in(h, {tl, t, tr})) top += dy;
    if (in(h, {bl, b, br})) bottom += dy;

    const double m = limits.minSide;
    left = std::max(std::min(left, right - m), 0.0);
    right = std::min(std::max(right, left + m), 1.0);
    top = std::max(std::min(top, bottom - m), 0.0);
    bottom = std::min(std::max(bottom, top + m), 1.0);
    if (!limits.aspect || limits.pixelSize.width() <= 0) return QRectF(left, top, right - left, bottom - top);

    const double k = *limits.aspect * limits.pixelSize.height() / limits.pixelSize.width();
    double w = right - left, hh = bottom - top;
    if (in(h, {t, b}))
        w = hh * k;
    else
        hh = w / k;
    if (w > 1) w = 1, hh = 1 / k;
    if (hh > 1) hh = 1, w = k;

    double x = rect.left();
    if (in(h, {tl, bl, l}))
        x = rect.right() - w;
    else if (in(h, {t, b}))
        x = rect.center().x() - w / 2;
    double y = rect.top();
    if (in(h, {tl, tr, t}))
        y = rect.bottom() - hh;
    else if (in(h, {l, r}))
        y = rect.center().y() - hh / 2;
    return QRectF(clamp(x, 0, 1 - w), clamp(y, 0, 1 - hh), w, hh);
}

QRectF fit(std::optional<double> aspect, QSizeF pixelSize, const std::optional<QRectF>& around)
{
    if (!aspect || pixelSize.width() <= 0 || pixelSize.height() <= 0) return QRectF(0, 0, 1, 1);
    const double k = *aspect * pixelSize.height() / pixelSize.width();
    const double w = 1 / k > 1 ? k : 1, h = 1 / k > 1 ? 1 : 1 / k;
    const QPointF c = around ? around->center() : QPointF(0.5, 0.5);
    return QRectF(clamp(c.x() - w / 2, 0, 1 - w), clamp(c.y() - h / 2, 0, 1 - h), w, h);
}

QPointF point(Handle h, const QRectF& rect)
{
    switch (h) {
    case tl:
        return rect.topLeft();
    case t:
        return QPointF(rect.center().x(), rect.top());
    case tr:
        return rect.topRight();
    case r:
        return QPointF(rect.right(), rect.center().y());
    case br:
        return rect.bottomRight();
    case b:
        return QPointF(rect.center().x(), rect.bottom());
    case bl:
        return rect.bottomLeft();
    case l:
        return QPointF(rect.left(), rect.center().y());
    case move:
        break;
    }
    return rect.center();
}

std::optional<Handle> hit(QPointF p, const QRectF& rect)
{
    for (Handle h : {l, bl, b, br, r, tr, t, tl}) {
        const QPointF c = point(h, rect);
        if (QRectF(c.x() - 13, c.y() - 13, 26, 26).contains(p)) return h;
    }
    if (rect.adjusted(12, 12, -12, -12).contains(p)) return move;
    return std::nullopt;
}

} // namespace CropGeometry
