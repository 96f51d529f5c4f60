#include "engines/image/gifwriter.h"

#include "core/checkedfile.h"
#include "core/converterror.h"

#include <QHash>
#include <algorithm>
#include <array>
#include <gif_lib.h>
#include <vector>

namespace {

constexpr int binCount = 1 << 15; // 5 bits of each of red, green and blue

int binOf(QRgb c)
{
    return ((qRed(c) >> 3) << 10) | ((qGreen(c) >> 3) << 5) | (qBlue(c) >> 3);
}

bool opaque(QRgb c)
{
    return qAlpha(c) >= 128;
}

struct Histogram
{
    std::vector<qint64> count = std::vector<qint64>(binCount);
    std::vector<std::array<qint64, 3>> sum = std::vector<std::array<qint64, 3>>(binCount);
};

// One box of median cut: the occupied bins it holds and their pixel count.
struct Box
{
    std::vector<int> bins;
    qint64 pixels = 0;

    int channel(int bin, int axis) const { return (bin >> (10 - 5 * axis)) & 31; }
    // The axis (0 red, 1 green, 2 blue) with the widest spread, and that spread.
    std::pair<int, int> widest() const
    {
        std::array<int, 3> lo{31, 31, 31}, hi{0, 0, 0};
        for (int b : bins)
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::min(lo[a], channel(b, a));
                hi[a] = std::max(hi[a], channel(b, a));
            }
        int axis = 0;
        for (int a = 1; a < 3; ++a)
            if (hi[a] - lo[a] > hi[axis] - lo[axis]) axis = a;
        return {axis, hi[axis] - lo[axis]};
    }
};

// Splits the box at the pixel-weighted median of its widest axis; false when it cannot split.
bool split(Box& box, Box& other, const Histogram& h)
{
    const auto [axis, spread] = box.widest();
    if (spread == 0 || box.bins.size() < 2) return false;
    std::sort(box.bins.begin(), box.bins.end(),
              [&](int a, int b) { return box.channel(a, axis) < box.channel(b, axis); });
    qint64 seen = 0;
    size_t cut = 1;
    for (; cut < box.bins.size(); ++cut) {
        seen += h.count[size_t(box.bins[cut - 1])];
        if (seen * 2 >= box.pixels) break;
    }
    cut = std::clamp<size_t>(cut, 1, box.bins.size() - 1);
    other.bins.assign(box.bins.begin() + qsizetype(cut), box.bins.end());
    box.bins.resize(cut);
    other.pixels = 0;
    for (int b : other.bins)
        other.pixels += h.count[size_t(b)];
    box.pixels -= other.pixels;
    return true;
}

// The exact colours of the image when there are no more than `paletteSize` of them.
std::optional<QList<QRgb>> exactColours(const QImage& img, int paletteSize)
{
    QHash<QRgb, int> seen;
    for (int y = 0; y < img.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (opaque(row[x]) && !seen.contains(row[x] | 0xFF000000u)) {
                if (seen.size() == paletteSize) return std::nullopt;
                seen.insert(row[x] | 0xFF000000u, int(seen.size()));
            }
    }
    QList<QRgb> out(seen.size());
    for (auto it = seen.cbegin(); it != seen.cend(); ++it)
        out[it.value()] = it.key();
    return out;
}

} // namespace

namespace GifWriter {

Indexed quantize(const QImage& image, int paletteSize)
{
    const QImage img = image.convertToFormat(QImage::Format_ARGB32);
    Indexed out;
    out.pixels.resize(qsizetype(img.width()) * img.height());
    const auto fill = [&](const auto& indexOf) {
        for (int y = 0; y < img.height(); ++y) {
            const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
            char* dst = out.pixels.data() + qsizetype(y) * img.width();
            for (int x = 0; x < img.width(); ++x)
                dst[x] = char(opaque(row[x]) ? indexOf(row[x] | 0xFF000000u) : paletteSize);
        }
    };
    if (const auto exact = exactColours(img, paletteSize)) {
        out.palette = *exact;
        QHash<QRgb, int> index;
        for (int i = 0; i < out.palette.size(); ++i)
            index.insert(out.palette[i], i);
        fill([&](QRgb c) { return index.value(c); });
        return out;
    }

    Histogram h;
    for (int y = 0; y < img.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if (!opaque(row[x])) continue;
            const int b = binOf(row[x]);
            ++h.count[size_t(b)];
            h.sum[size_t(b)][0] += qRed(row[x]);
            h.sum[size_t(b)][1] += qGreen(row[x]);
            h.sum[size_t(b)][2] += qBlue(row[x]);
        }
    }
    std::vector<Box> boxes(1);
    for (int b = 0; b < binCount; ++b)
        if (h.count[size_t(b)] > 0) {
            boxes[0].bins.push_back(b);
            boxes[0].pixels += h.count[size_t(b)];
        }
    // The most populous box that can still be split is split next.
    std::vector<bool> done(1, false);
    while (int(boxes.size()) < paletteSize) {
        int pick = -1;
        for (int i = 0; i < int(boxes.size()); ++i)
            if (!done[size_t(i)] && (pick < 0 || boxes[size_t(i)].pixels > boxes[size_t(pick)].pixels))
                pick = i;
        if (pick < 0) break;
        Box other;
        if (!split(boxes[size_t(pick)], other, h)) {
            done[size_t(pick)] = true;
            continue;
        }
        boxes.push_back(std::move(other));
        done.push_back(false);
    }

    std::vector<quint8> indexOfBin(binCount, 0);
    for (size_t i = 0; i < boxes.size(); ++i) {
        std::array<qint64, 3> s{0, 0, 0};
        for (int b : boxes[i].bins) {
            indexOfBin[size_t(b)] = quint8(i);
            for (int a = 0; a < 3; ++a)
                s[a] += h.sum[size_t(b)][size_t(a)];
        }
        const qint64 n = std::max<qint64>(1, boxes[i].pixels);
        out.palette << qRgb(int(s[0] / n), int(s[1] / n), int(s[2] / n));
    }
    fill([&](QRgb c) { return indexOfBin[size_t(binOf(c))]; });
    return out;
}

void write(const QImage& image, const QString& path)
{
    const auto failed = [] { return ConvertError::failed(QStringLiteral("Couldn’t encode GIF")); };
    if (image.isNull() || image.width() > 65535 || image.height() > 65535) throw failed();
    const bool transparent = image.hasAlphaChannel();
    const Indexed indexed = quantize(image, transparent ? 255 : 256);

    std::array<GifColorType, 256> colours{};
    for (qsizetype i = 0; i < indexed.palette.size(); ++i)
        colours[size_t(i)] = {GifByteType(qRed(indexed.palette[i])), GifByteType(qGreen(indexed.palette[i])),
                              GifByteType(qBlue(indexed.palette[i]))};
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    int error = 0;
    CheckedFile file(path);
    const OutputFunc put = [](GifFileType* gif, const GifByteType* bytes, int size) {
        return int(
            static_cast<CheckedFile*>(gif->UserData)->write(reinterpret_cast<const char*>(bytes), size));
    };
    GifFileType* gif = EGifOpen(&file, put, &error);
    if (!gif || !map) {
        GifFreeMapObject(map);
        if (gif) EGifCloseFile(gif, &error);
        throw failed();
    }
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, image.width(), image.height(), 8, 0, map) == GIF_OK;
    if (ok && transparent) {
        GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, 255};
        GifByteType ext[4];
        const size_t len = EGifGCBToExtension(&gcb, ext);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(len), ext) == GIF_OK;
    }
    ok = ok && EGifPutImageDesc(gif, 0, 0, image.width(), image.height(), false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < image.height(); ++y) {
        auto* row = reinterpret_cast<GifPixelType*>(const_cast<char*>(indexed.pixels.constData())) +
                    qsizetype(y) * image.width();
        ok = EGifPutLine(gif, row, image.width()) == GIF_OK;
    }
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    GifFreeMapObject(map);
    file.finish();
    if (!ok) throw failed();
}

} // namespace GifWriter
