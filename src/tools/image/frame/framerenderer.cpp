#include "tools/image/frame/framerenderer.h"

#include "toolkit/bitmap.h"
#include "toolkit/dropshadow.h"
#include "toolkit/imagetools.h"
#include "tools/image/shared/canvaslimit.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace FrameRenderer {

namespace {

// The shadow's mask is blurred at most at this many pixels: a blurred rounded rectangle has no
// detail a smaller mask loses, and a 24-megapixel one would cost far more than the picture.
constexpr double shadowPixels = 1'000'000;

void paintBackdrop(QPainter& painter, const QRectF& pixels, QSizeF canvas, const Backdrop& backdrop,
                   const QImage& background)
{
    switch (backdrop.kind) {
    case Backdrop::Kind::gradient:
        painter.fillRect(pixels,
                         Backdrop::gradientStyle(backdrop.index, {0, 0}, {canvas.width(), canvas.height()}));
        return;
    case Backdrop::Kind::solid:
        painter.fillRect(pixels, Backdrop::solidColour(backdrop.index));
        return;
    case Backdrop::Kind::custom:
        painter.fillRect(pixels, backdrop.colour.isValid() ? backdrop.colour.toRgb() : QColor(Qt::white));
        return;
    case Backdrop::Kind::image: {
        painter.fillRect(pixels, Qt::white);
        if (background.isNull()) return;
        const double bw = background.width(), bh = background.height();
        const double f = std::max(canvas.width() / bw, canvas.height() / bh);
        const double dw = f * bw, dh = f * bh;
        painter.drawImage(QRectF((canvas.width() - dw) * 0.5, (canvas.height() - dh) * 0.5, dw, dh),
                          ImageTools::inSRgb(background));
        return;
    }
    }
}

void paintShadow(QPainter& painter, const QPainterPath& shape, QSize pixels, const Layout& at)
{
    QColor colour(Qt::black);
    colour.setAlphaF(float(at.shadowAlpha));
    const double f = std::min(1.0, std::sqrt(shadowPixels / (double(pixels.width()) * pixels.height())));
    if (f >= 1) {
        DropShadow::paint(painter, shape, colour, at.blur, at.shadowOffset);
        return;
    }
    QImage small(int(std::ceil(pixels.width() * f)), int(std::ceil(pixels.height() * f)),
                 QImage::Format_ARGB32_Premultiplied);
    if (small.isNull()) return;
    small.fill(Qt::transparent);
    {
        QPainter inSmall(&small);
        inSmall.setRenderHint(QPainter::Antialiasing);
        DropShadow::paint(inSmall, QTransform::fromScale(f, f).map(shape), colour, at.blur * f,
                          at.shadowOffset * f);
    }
    painter.drawImage(QRectF(0, 0, small.width() / f, small.height() / f), small);
}

} // namespace

Layout layout(QSizeF picture, const FrameSettings& settings)
{
    const double W = picture.width(), H = picture.height();
    const double L = std::max(W, H), S = std::min(W, H);
    const double p = L * settings.padding;
    double w = W + 2 * p, h = H + 2 * p;
    if (const std::optional<double> k = FrameRatios::value(settings.ratio)) {
        if (w / h > *k)
            h = w / *k;
        else
            w = h * *k;
    }
    Layout out;
    out.canvas = QSizeF(w, h);
    out.picture = QRectF((w - W) * 0.5, (h - H) * 0.5, W, H);
    out.radius = S * settings.corners;
    if (settings.shadow > 0) {
        out.blur = L * 0.05 * settings.shadow;
        // Toward the top edge, as the live preview has always shown it.
        out.shadowOffset = QPointF(0, -0.35 * out.blur);
        out.shadowAlpha = 0.25 + 0.2 * settings.shadow;
    }
    return out;
}

QImage render(const QImage& picture, const FrameSettings& settings, const QImage& background)
{
    if (picture.isNull()) return {};
    const Layout at = layout(QSizeF(picture.size()), settings);
    if (!CanvasLimit::fits(at.canvas)) return {};
    std::optional<QImage> bitmap = Bitmap::make(at.canvas, true);
    if (!bitmap) return {};
    QPainter painter(&*bitmap);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    // The whole pixel rectangle, also the part a fractional canvas size rounded up.
    paintBackdrop(painter, QRectF(bitmap->rect()), at.canvas, settings.backdrop, background);

    QPainterPath shape;
    shape.addRoundedRect(at.picture, at.radius, at.radius);
    if (settings.shadow > 0) {
        paintShadow(painter, shape, bitmap->size(), at);
        // Under the picture too: its transparent parts show white while there is a shadow.
        painter.fillPath(shape, Qt::white);
    }
    painter.setClipPath(shape);
    painter.drawImage(at.picture, ImageTools::inSRgb(picture));
    painter.end();
    return *bitmap;
}

} // namespace FrameRenderer
