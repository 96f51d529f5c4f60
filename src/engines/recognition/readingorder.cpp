#include "engines/recognition/ocr.h"

#include <algorithm>

namespace OCR {

QRectF normalized(const QRectF& pixels, const QSize& size)
{
    if (size.isEmpty()) return {};
    const double w = size.width(), h = size.height();
    return QRectF(pixels.left() / w, 1 - pixels.bottom() / h, pixels.width() / w, pixels.height() / h);
}

namespace {

// Each pair of boxes that `same` takes for one thing becomes the box that holds both.
template <typename Same> QList<QRectF> joined(QList<QRectF> boxes, Same same)
{
    for (qsizetype i = 0; i < boxes.size(); ++i)
        for (qsizetype j = i + 1; j < boxes.size(); ++j) {
            if (!same(boxes[i], boxes[j])) continue;
            boxes[i] |= boxes[j];
            boxes.removeAt(j);
            j = i; // the grown box may now meet one it passed
        }
    return boxes;
}

bool overlapByHalf(const QRectF& a, const QRectF& b)
{
    const QRectF common = a & b;
    return common.width() * common.height() >= std::min(a.width() * a.height(), b.width() * b.height()) / 2;
}

} // namespace

QList<QRectF> merged(QList<QRectF> boxes)
{
    return joined(std::move(boxes), overlapByHalf);
}

QList<QRectF> mergedLines(QList<QRectF> boxes)
{
    return joined(std::move(boxes), [](const QRectF& a, const QRectF& b) {
        const QRectF common = a & b;
        return overlapByHalf(a, b) ||
               (common.width() > 0 && common.height() >= std::min(a.height(), b.height()) / 2);
    });
}

QString readingOrder(QList<Line> lines)
{
    lines.removeIf([](const Line& l) { return l.text.trimmed().isEmpty(); });
    // A tolerance compared pair by pair is not a strict ordering (a ~ b and b ~ c while a < c),
    // which std::sort may not be given; rows are formed first, then ordered inside.
    std::sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
        if (a.box.center().y() != b.box.center().y()) return a.box.center().y() > b.box.center().y();
        return a.box.left() < b.box.left();
    });
    for (qsizetype start = 0; start < lines.size();) {
        qsizetype end = start + 1;
        while (end < lines.size() && lines[start].box.center().y() - lines[end].box.center().y() <= 0.01)
            ++end;
        std::stable_sort(lines.begin() + start, lines.begin() + end,
                         [](const Line& a, const Line& b) { return a.box.left() < b.box.left(); });
        start = end;
    }

    QStringList out;
    const QRectF* last = nullptr;
    for (const Line& line : lines) {
        // y grows upward here: a box's top() is its lower edge and its bottom() its upper edge.
        if (last && last->top() - line.box.bottom() > 0.9 * last->height()) out << QString();
        out << line.text.trimmed();
        last = &line.box;
    }
    return out.join(QLatin1Char('\n'));
}

} // namespace OCR
