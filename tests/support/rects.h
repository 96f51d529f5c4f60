// Comparing unit rectangles in the crop tests, and printing one when they differ.

#pragma once

#include <QRectF>
#include <QString>
#include <cmath>

inline bool near(const QRectF& a, const QRectF& b)
{
    const auto close = [](double x, double y) { return std::abs(x - y) < 1e-9; };
    return close(a.x(), b.x()) && close(a.y(), b.y()) && close(a.width(), b.width()) &&
           close(a.height(), b.height());
}

inline QString text(const QRectF& r)
{
    return QStringLiteral("(%1, %2, %3, %4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}
