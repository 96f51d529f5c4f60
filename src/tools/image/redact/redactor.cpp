#include "tools/image/redact/redactor.h"

#include "tools/image/redact/redactcover.h"

#include <QRegion>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace {

constexpr int grow = 2;
// A box is at most about this many pixel blocks, or this many blur deviations, across its
// shorter side.
constexpr int blocksAcrossBox = 3;
constexpr int deviationsAcrossBox = 4;
// Products like 0.3 × 1000 come out a hair off a whole pixel; this much is not a pixel's part.
constexpr double slack = 1e-7;

bool finite(const QRectF& r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
           std::isfinite(r.height());
}

// `from` (ARGB32) over `box` of `out`, from the point `origin` of `from`.
void paste(QImage& out, QRect box, const QImage& from, QPoint origin)
{
    const bool opaque = !out.hasAlphaChannel();
    for (int y = 0; y < box.height(); ++y) {
        const QRgb* src = reinterpret_cast<const QRgb*>(from.constScanLine(origin.y() + y)) + origin.x();
        QRgb* dst = reinterpret_cast<QRgb*>(out.scanLine(box.top() + y)) + box.left();
        if (opaque)
            for (int x = 0; x < box.width(); ++x)
                dst[x] = src[x] | 0xff000000u;
        else
            std::memcpy(dst, src, size_t(box.width()) * sizeof(QRgb));
    }
}

void fill(QImage& out, QRect box, QRgb colour)
{
    for (int y = box.top(); y <= box.bottom(); ++y)
        std::fill_n(reinterpret_cast<QRgb*>(out.scanLine(y)) + box.left(), box.width(), colour);
}

// The covering of `region` as ARGB32, or a null image when the one given isn't one for it.
QImage checked(QImage cover, QRect region)
{
    if (cover.isNull() || cover.size() != region.size()) return {};
    if (cover.format() != QImage::Format_ARGB32) cover.convertTo(QImage::Format_ARGB32);
    return cover.format() == QImage::Format_ARGB32 ? cover : QImage();
}

} // namespace

namespace Redactor {

QRect pixelBox(const QRectF& unitBox, QSize size)
{
    const QRectF u = unitBox.normalized();
    const double w = size.width(), h = size.height();
    const auto low = [](double v, double end) { return int(std::clamp(std::floor(v + slack), 0.0, end)); };
    const auto high = [](double v, double end) { return int(std::clamp(std::ceil(v - slack), 0.0, end)); };
    const int left = low(u.left() * w - grow, w), top = low(u.top() * h - grow, h);
    const int right = high(u.right() * w + grow, w), bottom = high(u.bottom() * h + grow, h);
    if (right <= left || bottom <= top) return {};
    return QRect(left, top, right - left, bottom - top);
}

double blurRadius(QSize size)
{
    return 0.03 * std::min(size.width(), size.height());
}

double blurRadius(QSize size, QRect box)
{
    return std::max(blurRadius(size), std::min(box.width(), box.height()) / double(deviationsAcrossBox));
}

int blockSize(QSize size)
{
    return int(std::lround(std::max(0.035 * std::min(size.width(), size.height()), 8.0)));
}

int blockSize(QSize size, QRect box)
{
    const int shorter = std::min(box.width(), box.height());
    return std::max(blockSize(size), (shorter + blocksAcrossBox - 1) / blocksAcrossBox);
}

QImage cover(const QImage& image, QRect region, RedactStyle style, double amount)
{
    switch (style) {
    case RedactStyle::blur:
        return RedactCover::blurred(image, region, amount);
    case RedactStyle::pixelate:
        return RedactCover::pixelated(image, region, int(std::lround(amount)),
                                      QPoint(150, image.height() - 150));
    case RedactStyle::black:
    case RedactStyle::white:
        break;
    }
    return {};
}

std::optional<QImage> render(const QImage& image, const QList<QRectF>& unitBoxes, RedactStyle style,
                             const Cover& makeCover)
{
    if (image.isNull()) return std::nullopt;
    const QImage src =
        image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (src.isNull()) return std::nullopt;
    QList<QRect> boxes;
    for (const QRectF& unit : unitBoxes) {
        if (!finite(unit)) return std::nullopt;
        if (const QRect box = pixelBox(unit, src.size()); !box.isEmpty()) boxes << box;
    }
    QImage out = src;
    if (boxes.isEmpty()) return out;
    if (!out.bits()) return std::nullopt; // the copy of its own that the boxes are drawn on

    if (style == RedactStyle::black || style == RedactStyle::white) {
        for (const QRect& box : boxes)
            fill(out, box, style == RedactStyle::black ? 0xff000000u : 0xffffffffu);
        return out;
    }
    // What shows of each box is the part no later box lies over; the parts that share a
    // deviation or block size are cut from one covering made over their span.
    std::map<double, QRegion> parts;
    QRegion later;
    for (qsizetype i = boxes.size() - 1; i >= 0; --i) {
        const QRect box = boxes[i];
        const double amount =
            style == RedactStyle::blur ? blurRadius(src.size(), box) : double(blockSize(src.size(), box));
        parts[amount] += QRegion(box).subtracted(later);
        later += box;
    }
    for (const auto& [amount, region] : parts) {
        if (region.isEmpty()) continue;
        const QRect span = region.boundingRect();
        const QImage covering = checked(makeCover(src, span, style, amount), span);
        if (covering.isNull()) return std::nullopt;
        for (const QRect& part : region)
            paste(out, part, covering, part.topLeft() - span.topLeft());
    }
    return out;
}

} // namespace Redactor
