#include "toolkit/fittedimage.h"

void FittedImage::fit(const QImage& picture, QSizeF size, double dpr)
{
    const QSize pixels = (size * dpr).toSize();
    if (pixels.isEmpty() || (m_image.size() == pixels && m_from == picture.cacheKey())) return;
    m_image = picture.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_image.setDevicePixelRatio(dpr);
    m_from = picture.cacheKey();
}
