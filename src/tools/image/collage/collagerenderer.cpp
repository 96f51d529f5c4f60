#include "tools/image/collage/collagerenderer.h"

#include "toolkit/bitmap.h"
#include "toolkit/imagetools.h"
#include "tools/image/shared/backdrop.h"
#include "tools/image/shared/canvaslimit.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace CollageRenderer {

namespace {

QList<double> aspectsOf(const QList<QSize>& sizes)
{
    QList<double> aspects;
    for (QSize s : sizes)
        aspects << double(s.width()) / std::max(s.height(), 1);
    return aspects;
}

} // namespace

Cells cells(qsizetype count, CollageLayout layout, const QList<double>& aspects)
{
    Cells out;
    const auto n = double(count);
    switch (layout) {
    case CollageLayout::grid: {
        if (count < 1) return {QSizeF(1, 1), {}};
        const qsizetype cols = qsizetype(std::ceil(std::sqrt(n)));
        const qsizetype rows = (count + cols - 1) / cols;
        out.proportion = QSizeF(double(cols), double(rows));
        for (qsizetype i = 0; i < count; ++i)
            out.cells << QRectF(double(i % cols) / double(cols), double(i / cols) / double(rows),
                                1.0 / double(cols), 1.0 / double(rows));
        return out;
    }
    case CollageLayout::row: {
        double total = 0;
        for (double a : aspects)
            total += a;
        out.proportion = QSizeF(total, 1);
        double x = 0;
        for (double a : aspects) {
            out.cells << QRectF(x / total, 0, a / total, 1);
            x += a;
        }
        return out;
    }
    case CollageLayout::column: {
        double total = 0;
        for (double a : aspects)
            total += 1 / a;
        out.proportion = QSizeF(1, total);
        double y = 0;
        for (double a : aspects) {
            out.cells << QRectF(0, y / total, 1, (1 / a) / total);
            y += 1 / a;
        }
        return out;
    }
    case CollageLayout::featured:
        if (count < 2) return {QSizeF(1, 1), {QRectF(0, 0, 1, 1)}};
        out.proportion = QSizeF(1.5, 1);
        out.cells << QRectF(0, 0, 2.0 / 3, 1);
        for (qsizetype i = 1; i < count; ++i)
            out.cells << QRectF(2.0 / 3, double(i - 1) / (n - 1), 1.0 / 3, 1 / (n - 1));
        return out;
    }
    return out;
}

QSizeF canvasSize(const QList<QSize>& pictures, const CollageSettings& settings)
{
    const Cells c = cells(pictures.size(), settings.layout, aspectsOf(pictures));
    const double w = settings.width;
    // A very wide row rounds to no height at all; it keeps one pixel.
    const double h = std::max(std::round(w * c.proportion.height() / c.proportion.width()), 1.0);
    return {w, h};
}

QImage render(const QList<QImage>& pictures, const CollageSettings& settings)
{
    if (pictures.isEmpty()) return {};
    QList<QSize> sizes;
    for (const QImage& p : pictures)
        sizes << p.size();
    const QSizeF canvas = canvasSize(sizes, settings);
    if (!CanvasLimit::fits(canvas)) return {};
    std::optional<QImage> bitmap = Bitmap::make(canvas, true);
    if (!bitmap) return {};
    const double W = bitmap->width(), H = bitmap->height();
    QPainter painter(&*bitmap);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.fillRect(bitmap->rect(), Backdrop::solidColour(settings.background));

    const QList<QRectF> unit = cells(pictures.size(), settings.layout, aspectsOf(sizes)).cells;
    const double g = W * settings.spacing * 0.5;
    const double m = std::min(W, H);
    const QRectF inner = QRectF(0, 0, W, H).adjusted(g, g, -g, -g);
    for (qsizetype i = 0; i < pictures.size() && i < unit.size(); ++i) {
        const QImage& picture = pictures[i];
        if (picture.isNull()) continue;
        const QRectF u = unit[i];
        const QRectF r =
            QRectF(W * u.x(), H * u.y(), W * u.width(), H * u.height()).adjusted(g, g, -g, -g) & inner;
        if (!(r.width() > 1 && r.height() > 1)) continue;
        const double s = std::max(r.width() / picture.width(), r.height() / picture.height());
        const double dw = picture.width() * s, dh = picture.height() * s;
        const double k = m * settings.corners;
        QPainterPath clip;
        clip.addRoundedRect(r, std::min(r.width() / 2, k), std::min(r.height() / 2, k));
        painter.save();
        painter.setClipPath(clip);
        // Converted here, so that only one converted copy is held at a time.
        painter.drawImage(QRectF(r.center().x() - dw / 2, r.center().y() - dh / 2, dw, dh),
                          ImageTools::inSRgb(picture));
        painter.restore();
    }
    painter.end();
    return *bitmap;
}

} // namespace CollageRenderer
