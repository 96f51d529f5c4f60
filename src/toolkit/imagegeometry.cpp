#include "toolkit/imagegeometry.h"

#include <QColorSpace>
#include <algorithm>
#include <cmath>

QRectF fittedRect(QSizeF content, QSizeF box, double padding)
{
    const double availableW = std::max(box.width() - 2 * padding, 1.0);
    const double availableH = std::max(box.height() - 2 * padding, 1.0);
    if (!(content.width() > 0 && content.height() > 0)) return QRectF(0, 0, availableW, availableH);
    const double scale = std::min(availableW / content.width(), availableH / content.height());
    const QSizeF fitted = content * scale;
    return QRectF(QPointF((box.width() - fitted.width()) / 2, (box.height() - fitted.height()) / 2), fitted);
}

QImage downscaled(const QImage& image, double maxSide)
{
    const double s = maxSide / std::max(image.width(), image.height());
    if (!(s < 1)) return image; // also NaN, and an empty image
    const int w = std::max(int(std::trunc(s * image.width())), 1);
    const int h = std::max(int(std::trunc(s * image.height())), 1);
    QImage small = image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (small.isNull()) return image;
    if (!small.colorSpace().isValid()) small.setColorSpace(QColorSpace::SRgb);
    return small;
}
