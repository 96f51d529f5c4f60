#include "engines/recognition/facesearch.h"

#include <algorithm>
#include <cmath>

namespace {

// The detector's own window: nothing narrower can be found.
constexpr int detectorWindow = 24;
// Faces this narrow are found on a large photo, a head in a crowd.
constexpr int largePhotoFace = 32;
// The side of a tile's kept part: the detector needs a little over 100 MB for such a tile.
constexpr int tileSide = 1536;
// A tiled run looks for faces up to this many times its smallest.
constexpr int tiledRange = 4;
// Each coarser copy is shrunk so that its smallest faces are two thirds of the largest the finer
// one looked for: a face near a limit of one run lies well inside the next.
constexpr double shrinkStep = tiledRange / 1.5;

// `length` cut into `count` nearly equal parts; the part `i`, as [start, end).
std::pair<int, int> part(int length, int count, int i)
{
    return {int(qint64(length) * i / count), int(qint64(length) * (i + 1) / count)};
}

} // namespace

namespace FaceSearch {

int smallestFace(QSize size)
{
    // A small picture keeps its faces to at least a fortieth of its shorter side, as a photo
    // shown whole would; a large one is searched down to heads in a crowd.
    return std::max(detectorWindow, std::min(largePhotoFace, std::min(size.width(), size.height()) / 40));
}

QSize shrunk(QSize size, double shrink)
{
    return {std::max(1, int(std::lround(size.width() / shrink))),
            std::max(1, int(std::lround(size.height() / shrink)))};
}

QList<Run> runs(QSize size)
{
    QList<Run> out;
    if (size.isEmpty()) return out;
    const int smallest = smallestFace(size);
    const int largest = smallest * tiledRange;
    for (double shrink = 1;; shrink *= shrinkStep) {
        const QSize level = shrunk(size, shrink);
        if (std::min(level.width(), level.height()) < smallest) break;
        if (level.width() <= tileSide + largest && level.height() <= tileSide + largest) {
            out << Run{shrink, QRect(QPoint(), level), QRect(QPoint(), level), smallest, 0};
            break;
        }
        // Every face up to `largest` centred in a tile's kept part lies inside its area.
        const int columns = (level.width() + tileSide - 1) / tileSide;
        const int rows = (level.height() + tileSide - 1) / tileSide;
        const QRect whole(QPoint(), level);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c) {
                const auto [left, right] = part(level.width(), columns, c);
                const auto [top, bottom] = part(level.height(), rows, r);
                const QRect keep(left, top, right - left, bottom - top);
                const int margin = largest / 2 + 1;
                out << Run{shrink, keep.adjusted(-margin, -margin, margin, margin) & whole, keep, smallest,
                           largest};
            }
    }
    return out;
}

} // namespace FaceSearch
