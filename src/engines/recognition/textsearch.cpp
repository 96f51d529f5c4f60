#include "engines/recognition/textsearch.h"

#include <algorithm>
#include <cmath>

namespace {

// The side of a tile's own part: a few megapixels, so that a photo's tiles spread over the cores.
constexpr int tileSide = 1536;
// A tile reaches this far past its own part on every side, so that a line up to twice as tall,
// centred in the part, lies whole in the tile.
constexpr int tileMargin = 192;
// Each coarser copy is shrunk so that a line too tall for the finer one's tiles is still some
// 90 pixels high in it, well inside what Tesseract reads.
constexpr double shrinkStep = 4;
// Lower than this, no line is read: a copy whose shorter side is less holds nothing to find.
constexpr int shortestLine = 16;

// `length` cut into `count` nearly equal parts; the part `i`, as [start, end).
std::pair<int, int> part(int length, int count, int i)
{
    return {int(qint64(length) * i / count), int(qint64(length) * (i + 1) / count)};
}

// How many parts `length` is cut into: each, with the margins, no longer than about a tile.
int parts(int length)
{
    return std::max(1, (length - 2 * tileMargin + tileSide - 1) / tileSide);
}

} // namespace

namespace TextSearch {

QSize shrunk(QSize size, double shrink)
{
    return {std::max(1, int(std::lround(size.width() / shrink))),
            std::max(1, int(std::lround(size.height() / shrink)))};
}

int tallestInTile()
{
    return 2 * tileMargin;
}

QList<Run> runs(QSize size)
{
    QList<Run> out;
    if (size.isEmpty()) return out;
    for (double shrink = 1;; shrink *= shrinkStep) {
        const QSize level = shrunk(size, shrink);
        const QRect whole(QPoint(), level);
        const int columns = parts(level.width()), rows = parts(level.height());
        if (columns == 1 && rows == 1) {
            out << Run{shrink, whole};
            // A line as tall as this copy's shorter side is still read whole.
            if (std::min(level.width(), level.height()) <= tallestInTile()) break;
            continue;
        }
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c) {
                const auto [left, right] = part(level.width(), columns, c);
                const auto [top, bottom] = part(level.height(), rows, r);
                const QRect own(left, top, right - left, bottom - top);
                out << Run{shrink, own.adjusted(-tileMargin, -tileMargin, tileMargin, tileMargin) & whole};
            }
        if (std::min(level.width(), level.height()) / shrinkStep < shortestLine) break;
    }
    return out;
}

} // namespace TextSearch
