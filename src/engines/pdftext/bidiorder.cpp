#include "engines/pdftext/bidiorder.h"

#include <QChar>
#include <QList>
#include <algorithm>

namespace {

enum class Dir { ltr, rtl, number, neutral };

Dir direction(char32_t c)
{
    switch (QChar::direction(c)) {
    case QChar::DirL:
    case QChar::DirLRE:
    case QChar::DirLRO:
    case QChar::DirLRI:
        return Dir::ltr;
    case QChar::DirR:
    case QChar::DirAL:
    case QChar::DirRLE:
    case QChar::DirRLO:
    case QChar::DirRLI:
        return Dir::rtl;
    case QChar::DirEN:
    case QChar::DirAN:
        return Dir::number;
    default:
        return Dir::neutral;
    }
}

bool isEmbedding(char32_t c)
{
    return c >= 0x202A && c <= 0x202E;
}

} // namespace

namespace PDFText {

bool hasRightToLeft(const QString& text)
{
    for (const char32_t c : text.toUcs4())
        if (direction(c) == Dir::rtl) return true;
    return false;
}

void toReadingOrder(std::vector<PlacedChar>& line)
{
    const size_t n = line.size();
    std::vector<Dir> dirs(n);
    int rtl = 0, ltr = 0;
    for (size_t i = 0; i < n; ++i) {
        dirs[i] = direction(line[i].c);
        rtl += dirs[i] == Dir::rtl;
        ltr += dirs[i] == Dir::ltr;
    }
    if (rtl == 0) return;
    const Dir base = rtl > ltr ? Dir::rtl : Dir::ltr;
    // The strong direction next to each character on either side; the line's own at its ends.
    const auto nearest = [&](size_t i, int step) {
        for (auto j = qsizetype(i) + step; j >= 0 && j < qsizetype(n); j += step)
            if (dirs[size_t(j)] == Dir::ltr || dirs[size_t(j)] == Dir::rtl) return dirs[size_t(j)];
        return base;
    };
    // A number next to right-to-left text reads from left to right inside it.
    std::vector<Dir> resolved = dirs;
    std::vector<int> levels(n);
    const int ltrLevel = base == Dir::rtl ? 2 : 0;
    for (size_t i = 0; i < n; ++i)
        if (dirs[i] == Dir::number)
            resolved[i] = nearest(i, -1) == Dir::rtl || nearest(i, 1) == Dir::rtl ? Dir::rtl : Dir::ltr;
    for (size_t i = 0; i < n; ++i) {
        if (dirs[i] == Dir::number) {
            levels[i] = resolved[i] == Dir::rtl ? 2 : ltrLevel;
        } else if (dirs[i] != Dir::neutral) {
            levels[i] = dirs[i] == Dir::rtl ? 1 : ltrLevel;
        } else {
            // Spaces and punctuation between two stretches of one direction go with them.
            const auto side = [&](int step) {
                for (auto j = qsizetype(i) + step; j >= 0 && j < qsizetype(n); j += step)
                    if (resolved[size_t(j)] != Dir::neutral) return resolved[size_t(j)];
                return base;
            };
            const Dir left = side(-1), right = side(1);
            levels[i] = left == right ? (left == Dir::rtl ? 1 : ltrLevel) : (base == Dir::rtl ? 1 : 0);
        }
    }
    // Laying a line out reverses its runs from the deepest level up; reading it back undoes
    // those reversals from the shallowest down.
    const int deepest = *std::max_element(levels.begin(), levels.end());
    for (int level = 1; level <= deepest; ++level)
        for (size_t i = 0; i < n;) {
            if (levels[i] < level) {
                ++i;
                continue;
            }
            size_t end = i;
            while (end < n && levels[end] >= level)
                ++end;
            std::reverse(line.begin() + qsizetype(i), line.begin() + qsizetype(end));
            std::reverse(levels.begin() + qsizetype(i), levels.begin() + qsizetype(end));
            i = end;
        }
}

QString withoutEmbeddings(const QString& text)
{
    QString out;
    out.reserve(text.size());
    // Spaces that open an embedding stood after its words on the page: they go after its end.
    QList<qsizetype> moved; // by open embedding, the spaces taken from its start
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == 0x202C) {
            if (!moved.isEmpty()) out += QString(moved.takeLast(), QLatin1Char(' '));
        } else if (isEmbedding(c)) {
            qsizetype spaces = 0;
            while (i + 1 < text.size() && text.at(i + 1) == QLatin1Char(' ')) {
                ++spaces;
                ++i;
            }
            moved.append(spaces);
        } else {
            out += text.at(i);
        }
    }
    for (const qsizetype spaces : std::as_const(moved))
        out += QString(spaces, QLatin1Char(' '));
    return out;
}

} // namespace PDFText
