#include "tools/image/crop/cropmodel.h"

#include "toolkit/cropgeometry.h"

#include <algorithm>
#include <cmath>

void CropModel::setRect(const QRectF& rect)
{
    if (rect == m_rect) return;
    m_rect = rect;
    emit rectChanged();
}

void CropModel::setAspect(CropAspect aspect, QSize full)
{
    if (aspect == m_aspect) return;
    m_aspect = aspect;
    emit aspectChanged();
    if (const std::optional<double> q = ratio(aspect)) setRect(CropGeometry::fit(q, QSizeF(full), m_rect));
}

void CropModel::reset()
{
    if (m_aspect != CropAspect::free) {
        m_aspect = CropAspect::free;
        emit aspectChanged();
    }
    setRect(QRectF(0, 0, 1, 1));
}

qint64 CropModel::pixels(double unit, int side)
{
    return qint64(std::round(unit * side));
}

QRectF CropModel::typedWidth(const QRectF& rect, qint64 n, QSize full, std::optional<double> ratio)
{
    const double W = full.width(), H = full.height();
    if (W < 1) return rect;
    double w = std::min(std::max(double(n) / W, 0.01), 1 - rect.x());
    if (!ratio || H < 1) return QRectF(rect.x(), rect.y(), w, rect.height());
    double h = w * W / *ratio / H;
    if (h > 1 - rect.y()) {
        h = 1 - rect.y();
        w = h * H * *ratio / W;
    }
    return QRectF(rect.x(), rect.y(), w, h);
}

QRectF CropModel::typedHeight(const QRectF& rect, qint64 n, QSize full, std::optional<double> ratio)
{
    const double W = full.width(), H = full.height();
    if (H < 1) return rect;
    double h = std::min(std::max(double(n) / H, 0.01), 1 - rect.y());
    if (!ratio || W < 1) return QRectF(rect.x(), rect.y(), rect.width(), h);
    double w = h * H * *ratio / W;
    if (w > 1 - rect.x()) {
        w = 1 - rect.x();
        h = w * W / *ratio / H;
    }
    return QRectF(rect.x(), rect.y(), w, h);
}
