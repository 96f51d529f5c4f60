#include "engines/image/pngrows.h"

#include <algorithm>
#include <cstring>

namespace {

// A filtered byte's weight in the choice: its distance from zero read as a signed byte.
inline unsigned weight(uchar v)
{
    return v < 128 ? v : 256u - v;
}

inline uchar paeth(int a, int b, int c)
{
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    return uchar(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Packs 32-bit pixels (0xAARRGGBB) into RGB or RGBA bytes.
void fromRgb32(const uchar* line, int width, bool alpha, uchar* out)
{
    const auto* pixels = reinterpret_cast<const QRgb*>(line);
    for (int x = 0; x < width; ++x) {
        const QRgb p = pixels[x];
        *out++ = uchar(qRed(p));
        *out++ = uchar(qGreen(p));
        *out++ = uchar(qBlue(p));
        if (alpha) *out++ = uchar(qAlpha(p));
    }
}

} // namespace

bool PngRows::accepts(const QImage& image)
{
    if (image.isNull()) return false;
    switch (image.format()) {
    case QImage::Format_Invalid:
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
    case QImage::Format_Grayscale16:
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied:
        return false;
    default:
        return true;
    }
}

PngRows::PngRows(const QImage& image) : m_image(image)
{
    if (image.format() == QImage::Format_Grayscale8)
        m_colour = Colour::grey;
    else
        m_colour = image.hasAlphaChannel() ? Colour::rgba : Colour::rgb;
    m_channels = m_colour == Colour::grey ? 1 : m_colour == Colour::rgb ? 3 : 4;
    m_rowBytes = qsizetype(image.width()) * m_channels;
}

PngRows::Filterer::Filterer(const PngRows& rows) : m_rows(rows)
{
    // Each buffer holds a filter type byte and then a row; the current row's samples double as
    // the unfiltered candidate.
    const size_t size = size_t(rows.m_rowBytes) + 1;
    m_previous.assign(size, 0);
    m_current.assign(size, 0);
    for (std::vector<uchar>& candidate : m_candidates)
        candidate.assign(size, 0);
}

void PngRows::Filterer::samples(int y, uchar* out)
{
    const QImage& image = m_rows.m_image;
    const uchar* line = image.constScanLine(y);
    const int width = image.width();
    const bool alpha = m_rows.m_colour == Colour::rgba;
    switch (image.format()) {
    case QImage::Format_Grayscale8:
    case QImage::Format_RGB888:
    case QImage::Format_RGBA8888:
        std::memcpy(out, line, size_t(m_rows.m_rowBytes));
        return;
    case QImage::Format_BGR888:
        for (int x = 0; x < width; ++x, line += 3) {
            *out++ = line[2];
            *out++ = line[1];
            *out++ = line[0];
        }
        return;
    case QImage::Format_RGBX8888:
        for (int x = 0; x < width; ++x, line += 4) {
            *out++ = line[0];
            *out++ = line[1];
            *out++ = line[2];
        }
        return;
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        fromRgb32(line, width, alpha, out);
        return;
    default:
        break;
    }
    // Every other format goes through Qt's own conversion, one row at a time, to the 32-bit
    // format Qt's PNG encoder would have converted it to.
    const QImage row(line, width, 1, image.bytesPerLine(), image.format());
    const QImage converted = row.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    fromRgb32(converted.constScanLine(0), width, alpha, out);
}

const uchar* PngRows::Filterer::filtered(int y)
{
    if (y == m_have + 1) {
        std::swap(m_previous, m_current);
    } else if (y > 0) {
        samples(y - 1, m_previous.data() + 1);
    } else {
        std::fill(m_previous.begin(), m_previous.end(), 0);
    }
    samples(y, m_current.data() + 1);
    m_have = y;
    m_current[0] = 0;

    const qsizetype n = m_rows.m_rowBytes;
    const qsizetype bpp = m_rows.m_channels;
    const uchar* cur = m_current.data() + 1;
    const uchar* prev = m_previous.data() + 1;
    uchar* sub = m_candidates[1].data() + 1;
    uchar* up = m_candidates[2].data() + 1;
    uchar* avg = m_candidates[3].data() + 1;
    uchar* pae = m_candidates[4].data() + 1;
    quint64 sums[5] = {0, 0, 0, 0, 0};
    for (qsizetype i = 0; i < std::min(bpp, n); ++i) {
        sub[i] = cur[i];
        up[i] = uchar(cur[i] - prev[i]);
        avg[i] = uchar(cur[i] - (prev[i] >> 1));
        pae[i] = uchar(cur[i] - prev[i]); // Paeth's predictor is the byte above where none is left
    }
    for (qsizetype i = bpp; i < n; ++i) {
        const int a = cur[i - bpp], b = prev[i], c = prev[i - bpp];
        sub[i] = uchar(cur[i] - a);
        up[i] = uchar(cur[i] - b);
        avg[i] = uchar(cur[i] - ((a + b) >> 1));
        pae[i] = uchar(cur[i] - paeth(a, b, c));
    }
    for (qsizetype i = 0; i < n; ++i) {
        sums[0] += weight(cur[i]);
        sums[1] += weight(sub[i]);
        sums[2] += weight(up[i]);
        sums[3] += weight(avg[i]);
        sums[4] += weight(pae[i]);
    }
    int best = 0;
    for (int f = 1; f < 5; ++f)
        if (sums[f] < sums[best]) best = f;
    if (best == 0) return m_current.data();
    m_candidates[best][0] = uchar(best);
    return m_candidates[best].data();
}
