#include "tools/image/redact/redactcover.h"

#include "toolkit/pools.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <new>
#include <vector>

namespace {

constexpr int rowsPerBand = 16;
constexpr int columnsPerBand = 16;

// Three box blurs of radius r spread like a Gaussian of variance r(r + 1). Never less than 1:
// on a tiny picture a radius of 0 would show the picture itself.
int boxRadius(double sigma)
{
    const double r = (std::sqrt(1 + 4 * sigma * sigma) - 1) / 2;
    return std::max(1, int(std::lround(std::isfinite(r) ? std::min(r, 1e6) : 1.0)));
}

// Blurs `n` premultiplied pixels in place, three box passes of radius r; the ends repeat outward.
void blurLine(QRgb* px, int n, int r, std::vector<QRgb>& tmp)
{
    tmp.resize(size_t(n));
    const int d = 2 * r + 1;
    const auto at = [&](int i) { return px[std::clamp(i, 0, n - 1)]; };
    for (int pass = 0; pass < 3; ++pass) {
        int a = 0, red = 0, green = 0, blue = 0;
        const auto add = [&](QRgb c, int sign) {
            a += sign * qAlpha(c);
            red += sign * qRed(c);
            green += sign * qGreen(c);
            blue += sign * qBlue(c);
        };
        for (int k = -r; k <= r; ++k)
            add(at(k), 1);
        for (int i = 0; i < n; ++i) {
            tmp[size_t(i)] = qRgba((red + r) / d, (green + r) / d, (blue + r) / d, (a + r) / d);
            add(at(i + r + 1), 1);
            add(at(i - r), -1);
        }
        std::copy(tmp.begin(), tmp.end(), px);
    }
}

// The rows of an image written from several threads: its bits are taken once, beforehand, so
// that no thread makes the image detach.
struct Rows
{
    uchar* bits;
    qsizetype stride;

    explicit Rows(QImage& image) : bits(image.bits()), stride(image.bytesPerLine()) {}
    QRgb* operator[](int y) const { return reinterpret_cast<QRgb*>(bits + stride * y); }
};

int cellOf(int v, int anchor, int block)
{
    const int d = v - anchor;
    return d >= 0 ? d / block : -((-d + block - 1) / block);
}

// The alpha-weighted average of the pixels of `cell`, as a straight (not premultiplied) colour.
QRgb average(const QImage& image, QRect cell)
{
    quint64 a = 0, red = 0, green = 0, blue = 0;
    for (int y = cell.top(); y <= cell.bottom(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = cell.left(); x <= cell.right(); ++x) {
            const quint64 alpha = qAlpha(row[x]);
            a += alpha;
            red += alpha * qRed(row[x]);
            green += alpha * qGreen(row[x]);
            blue += alpha * qBlue(row[x]);
        }
    }
    if (a == 0) return 0;
    const quint64 n = quint64(cell.width()) * quint64(cell.height());
    return qRgba(int((red + a / 2) / a), int((green + a / 2) / a), int((blue + a / 2) / a),
                 int((a + n / 2) / n));
}

} // namespace

namespace RedactCover {

QImage blurred(const QImage& image, QRect region, double sigma)
{
    const int r = boxRadius(sigma);
    // Each pass carries a wrong value r further in from a cut edge: three passes need 3r around
    // the region for it to come out exact. At the image's own edges repeating is what is meant.
    const QRect area = region.adjusted(-3 * r, -3 * r, 3 * r, 3 * r) & image.rect();
    if (!area.contains(region)) return {};
    QImage work = image.copy(area);
    work.convertTo(QImage::Format_ARGB32_Premultiplied);
    if (work.isNull() || work.size() != area.size() || !work.bits()) return {};
    const Rows rows(work);
    const int w = work.width(), h = work.height();
    std::atomic<bool> failed{false};
    QThreadPool& pool = Pools::preview();
    Pools::forBands(pool, h, rowsPerBand, [&](int first, int end) {
        try {
            std::vector<QRgb> tmp;
            for (int y = first; y < end; ++y)
                blurLine(rows[y], w, r, tmp);
        } catch (const std::bad_alloc&) {
            failed = true;
        }
    });
    Pools::forBands(pool, w, columnsPerBand, [&](int first, int end) {
        try {
            // A few columns at a time, gathered row by row so that each row is read once.
            const int n = end - first;
            std::vector<QRgb> columns(size_t(n) * size_t(h)), tmp;
            for (int y = 0; y < h; ++y) {
                const QRgb* row = rows[y];
                for (int i = 0; i < n; ++i)
                    columns[size_t(i) * size_t(h) + size_t(y)] = row[first + i];
            }
            for (int i = 0; i < n; ++i)
                blurLine(columns.data() + size_t(i) * size_t(h), h, r, tmp);
            for (int y = 0; y < h; ++y) {
                QRgb* row = rows[y];
                for (int i = 0; i < n; ++i)
                    row[first + i] = columns[size_t(i) * size_t(h) + size_t(y)];
            }
        } catch (const std::bad_alloc&) {
            failed = true;
        }
    });
    if (failed) return {};
    work.convertTo(QImage::Format_ARGB32);
    if (work.isNull() || area == region) return work;
    return work.copy(region.translated(-area.topLeft()));
}

QImage pixelated(const QImage& image, QRect region, int block, QPoint anchor)
{
    region &= image.rect();
    QImage out(region.size(), QImage::Format_ARGB32);
    if (out.isNull() || !out.bits()) return {};
    const Rows shownRows(out);
    block = std::max(1, block);
    const int firstRow = cellOf(region.top(), anchor.y(), block);
    const int firstColumn = cellOf(region.left(), anchor.x(), block);
    const int lastColumn = cellOf(region.right(), anchor.x(), block);
    const int cellRows = cellOf(region.bottom(), anchor.y(), block) - firstRow + 1;
    Pools::forBands(Pools::preview(), cellRows, 1, [&](int first, int end) {
        for (int cy = firstRow + first; cy < firstRow + end; ++cy)
            for (int cx = firstColumn; cx <= lastColumn; ++cx) {
                const QRect cell =
                    QRect(anchor.x() + cx * block, anchor.y() + cy * block, block, block) & image.rect();
                const QRgb colour = average(image, cell);
                const QRect shown = (cell & region).translated(-region.topLeft());
                for (int y = shown.top(); y <= shown.bottom(); ++y)
                    std::fill_n(shownRows[y] + shown.left(), shown.width(), colour);
            }
    });
    return out;
}

} // namespace RedactCover
