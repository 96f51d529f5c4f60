#include "toolkit/dropshadow.h"

#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

namespace DropShadow {

namespace {

// One box blur of the alpha channel along rows (step 1) or columns (step = width).
void boxPass(std::vector<float>& a, std::vector<float>& tmp, int lines, int length, int lineStep, int step,
             int r)
{
    if (r < 1) return;
    const float scale = 1.0f / float(2 * r + 1);
    for (int line = 0; line < lines; ++line) {
        const int base = line * lineStep;
        float sum = 0;
        for (int i = -r; i <= r; ++i)
            if (i >= 0 && i < length) sum += a[size_t(base + i * step)];
        for (int i = 0; i < length; ++i) {
            tmp[size_t(i)] = sum * scale;
            const int out = i - r, in = i + r + 1;
            if (out >= 0) sum -= a[size_t(base + out * step)];
            if (in < length) sum += a[size_t(base + in * step)];
        }
        for (int i = 0; i < length; ++i)
            a[size_t(base + i * step)] = tmp[size_t(i)];
    }
}

} // namespace

void paint(QPainter& painter, const QPainterPath& shape, const QColor& colour, double radius, QPointF offset)
{
    if (shape.isEmpty() || colour.alpha() == 0) return;
    const double dpr = painter.device() ? std::max(1.0, painter.device()->devicePixelRatioF()) : 1.0;
    const double margin = std::ceil(radius * 1.5) + 2;
    const QRectF area = shape.boundingRect().adjusted(-margin, -margin, margin, margin);
    const int w = int(std::ceil(area.width() * dpr)), h = int(std::ceil(area.height() * dpr));
    if (w <= 0 || h <= 0 || qint64(w) * h > 16'000'000) return;

    QImage mask(w, h, QImage::Format_Alpha8);
    mask.fill(0);
    {
        QPainter mp(&mask);
        mp.setRenderHint(QPainter::Antialiasing);
        mp.scale(dpr, dpr);
        mp.translate(-area.topLeft());
        mp.fillPath(shape, Qt::black);
    }

    std::vector<float> a(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        const uchar* row = mask.constScanLine(y);
        for (int x = 0; x < w; ++x)
            a[size_t(y) * size_t(w) + size_t(x)] = row[x];
    }
    // Three box passes approximate a Gaussian whose sigma is half the radius.
    const double sigma = radius * dpr / 2;
    const int r = std::max(0, int(std::lround(std::sqrt(4 * sigma * sigma + 1) / 2.0 - 0.5)));
    std::vector<float> tmp(size_t(std::max(w, h)));
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(a, tmp, h, w, w, 1, r);
        boxPass(a, tmp, w, h, 1, w, r);
    }

    QImage shadow(w, h, QImage::Format_ARGB32_Premultiplied);
    const QColor c = colour.toRgb();
    for (int y = 0; y < h; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(shadow.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const double alpha =
                std::clamp(a[size_t(y) * size_t(w) + size_t(x)] / 255.0, 0.0, 1.0) * c.alphaF();
            row[x] = qPremultiply(qRgba(c.red(), c.green(), c.blue(), int(std::lround(alpha * 255))));
        }
    }
    shadow.setDevicePixelRatio(dpr);
    painter.drawImage(area.topLeft() + offset, shadow);
}

} // namespace DropShadow
