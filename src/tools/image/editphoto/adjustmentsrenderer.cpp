#include "tools/image/editphoto/adjustmentsrenderer.h"

#include "toolkit/pools.h"
#include "tools/image/editphoto/tonecurve.h"
#include "tools/image/editphoto/whitebalance.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <optional>
#include <vector>

namespace {

constexpr float kr = 0.2126f, kg = 0.7152f, kb = 0.0722f;
constexpr int encodeSteps = 16383;
constexpr int rowsPerBand = 32;
// The detail steps measure against one Gaussian blur of this radius (pixels, whatever the size).
constexpr double detailSigma = 1.69;
constexpr int detailReach = 5;

// 8-bit sRGB to linear light and back; the encoding table is fine enough that every level
// comes back as itself.
struct Codec
{
    std::array<float, 256> decode{};
    std::array<uchar, encodeSteps + 1> encode{};

    Codec()
    {
        for (int i = 0; i < 256; ++i) {
            const double c = i / 255.0;
            decode[i] = float(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        for (int i = 0; i <= encodeSteps; ++i) {
            const double l = double(i) / encodeSteps;
            const double c = l <= 0.0031308 ? 12.92 * l : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
            encode[i] = uchar(std::lround(std::clamp(c, 0.0, 1.0) * 255));
        }
    }

    // Out-of-range values (and NaN) end at the nearest end.
    uchar toByte(float v) const
    {
        return encode[v > 0 ? (v < 1 ? int(v * encodeSteps + 0.5f) : encodeSteps) : 0];
    }
};

const Codec& codec()
{
    static const Codec c;
    return c;
}

// What the adjustments amount to, worked out once per render; a step left at 0 costs nothing.
struct Plan
{
    std::optional<float> gain;
    bool colour = false;
    float brightness = 0, contrast = 1, saturation = 1;
    bool tones = false;
    float highlightLoss = 0, shadowAmount = 0;
    std::optional<ToneCurve> lift, levels;
    std::optional<double> power;
    std::vector<float> curveTable; // the per-channel curves and gamma over 0 … 1, when any
    std::optional<std::array<float, 9>> balance;
    std::optional<float> vibrance;
    float noiseLevel = 0, sharpen = 0;
    std::optional<float> vignette;

    bool detail() const { return noiseLevel > 0 || sharpen > 0; }

    double channel(double v) const
    {
        if (lift) v = (*lift)(v);
        if (levels) v = (*levels)(v);
        if (power) v = std::copysign(std::pow(std::abs(v), *power), v);
        return v;
    }

    float curve(float v) const
    {
        if (curveTable.empty()) return v;
        if (!(v >= 0 && v <= 1)) return float(channel(v));
        const float at = v * float(curveTable.size() - 2);
        const int i = int(at);
        return curveTable[i] + (at - float(i)) * (curveTable[i + 1] - curveTable[i]);
    }
};

Plan makePlan(const PhotoAdjustments& a)
{
    Plan p;
    if (a.exposure != 0) p.gain = float(std::exp2(a.exposure));
    if (a.brightness != 0 || a.contrast != 0 || a.saturation != 0) {
        p.colour = true;
        p.brightness = float(0.25 * a.brightness / 100);
        p.contrast = float(1 + 0.5 * a.contrast / 100);
        p.saturation = float(1 + a.saturation / 100);
    }
    if (a.highlights != 0 || a.shadows != 0) {
        p.tones = true;
        p.highlightLoss = a.highlights <= 0 ? float(-a.highlights / 100) : 0;
        p.shadowAmount = float(a.shadows / 100);
        if (a.highlights > 0)
            p.lift = ToneCurve(
                {{{0, 0}, {0.25, 0.25}, {0.5, 0.5}, {0.75, 0.75 + 0.1 * a.highlights / 100}, {1, 1}}});
    }
    if (a.whites != 0 || a.blacks != 0) {
        const double w = a.whites / 100, b = a.blacks / 100;
        p.levels = ToneCurve({{{0, std::max(0.15 * b, 0.0)},
                               {0.25, 0.25 + 0.08 * b},
                               {0.5, 0.5 + 0.04 * (w + b)},
                               {0.75, 0.75 + 0.08 * w},
                               {1, std::min(1 + 0.15 * w, 1.0)}}});
    }
    if (a.gamma != 0) p.power = std::exp2(-a.gamma / 100);
    if (p.lift || p.levels || p.power) {
        p.curveTable.resize(4097 + 1);
        for (int i = 0; i <= 4096; ++i)
            p.curveTable[i] = float(p.channel(i / 4096.0));
        p.curveTable.back() = p.curveTable[4096];
    }
    if (a.temperature != 0 || a.tint != 0) {
        const std::array<double, 9> m = WhiteBalance::matrix(6500, 0, 6500 - 30 * a.temperature, a.tint);
        p.balance.emplace();
        std::transform(m.begin(), m.end(), p.balance->begin(), [](double v) { return float(v); });
    }
    if (a.vibrance != 0) p.vibrance = float(a.vibrance / 100);
    if (a.noise > 0) p.noiseLevel = float(0.06 * a.noise / 100);
    if (a.sharpness > 0) p.sharpen = float(1.5 * a.sharpness / 100);
    if (a.vignette > 0) p.vignette = float(1.6 * a.vignette / 100);
    return p;
}

float luma(const float* c)
{
    return kr * c[0] + kg * c[1] + kb * c[2];
}

// Everything that depends on the pixel alone, up to and including vibrance.
void colour(const Plan& p, float* c)
{
    if (p.gain)
        for (int i = 0; i < 3; ++i)
            c[i] *= *p.gain;
    if (p.colour) {
        const float y = luma(c);
        for (int i = 0; i < 3; ++i)
            c[i] = ((y + (c[i] - y) * p.saturation + p.brightness) - 0.5f) * p.contrast + 0.5f;
    }
    if (p.tones) {
        // Shadows weigh most in the darks, the highlight amount in the lights; the colour keeps
        // its proportions as its luminance moves.
        const float y = luma(c);
        if (y > 1e-6f) {
            const float d = 1 - std::clamp(y, 0.0f, 1.0f);
            const float to = y + p.shadowAmount * 0.5f * y * d * d - p.highlightLoss * 0.4f * y * y;
            const float k = std::max(to, 0.0f) / y;
            for (int i = 0; i < 3; ++i)
                c[i] *= k;
        }
    }
    for (int i = 0; i < 3; ++i)
        c[i] = p.curve(c[i]);
    if (p.balance) {
        const auto& m = *p.balance;
        const float r = c[0], g = c[1], b = c[2];
        for (int i = 0; i < 3; ++i)
            c[i] = m[i * 3] * r + m[i * 3 + 1] * g + m[i * 3 + 2] * b;
    }
    if (p.vibrance) {
        const float hi = std::max({c[0], c[1], c[2]}), lo = std::min({c[0], c[1], c[2]});
        const float sat = hi > 0 ? std::clamp((hi - lo) / hi, 0.0f, 1.0f) : 0;
        const float k = 1 + *p.vibrance * (1 - sat), y = luma(c);
        for (int i = 0; i < 3; ++i)
            c[i] = y + (c[i] - y) * k;
    }
}

// Multiplier of the vignette at a pixel: 1 at the centre, falling with the square of the
// distance over the half-diagonal, scaled by the fixed radius 1.6; never below 0.
struct Vignette
{
    float cx, cy, scale, intensity;

    Vignette(QSize s, float intensity)
        : cx(s.width() / 2.0f), cy(s.height() / 2.0f), scale(1 / ((cx * cx + cy * cy) * 1.6f * 1.6f)),
          intensity(intensity)
    {
    }

    float at(int x, int y) const
    {
        const float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
        return std::max(0.0f, 1 - intensity * (dx * dx + dy * dy) * scale);
    }
};

void store(QRgb& px, const float* c, const Codec& k)
{
    px = qRgba(k.toByte(c[0]), k.toByte(c[1]), k.toByte(c[2]), qAlpha(px));
}

void load(QRgb px, float* c, const Codec& k)
{
    c[0] = k.decode[qRed(px)];
    c[1] = k.decode[qGreen(px)];
    c[2] = k.decode[qBlue(px)];
}

QRgb* rowOf(uchar* bits, qsizetype stride, int y)
{
    return reinterpret_cast<QRgb*>(bits + stride * y);
}

std::array<float, 2 * detailReach + 1> kernel()
{
    std::array<float, 2 * detailReach + 1> k{};
    double sum = 0;
    for (int i = -detailReach; i <= detailReach; ++i)
        sum += std::exp(-i * i / (2 * detailSigma * detailSigma));
    for (int i = -detailReach; i <= detailReach; ++i)
        k[i + detailReach] = float(std::exp(-i * i / (2 * detailSigma * detailSigma)) / sum);
    return k;
}

// Blurs `n` values `step` apart, starting at `v`, in place; the ends are repeated outward.
void blurLine(quint16* v, int n, qsizetype step, std::vector<float>& line)
{
    static const auto k = kernel();
    line.resize(size_t(n) + 2 * detailReach);
    for (int i = 0; i < int(line.size()); ++i)
        line[i] = v[std::clamp(i - detailReach, 0, n - 1) * step];
    for (int i = 0; i < n; ++i) {
        float s = 0;
        for (int j = 0; j <= 2 * detailReach; ++j)
            s += k[j] * line[i + j];
        v[i * step] = quint16(std::lround(std::clamp(s, 0.0f, 65535.0f)));
    }
}

// Luminance detail, softened where it is below the noise level and strengthened by the
// sharpening, put back into the colours.
void detail(const Plan& p, uchar* bits, qsizetype stride, QSize size)
{
    const int w = size.width(), h = size.height();
    std::vector<quint16> plane(size_t(w) * size_t(h));
    const Codec& k = codec();
    QThreadPool& pool = Pools::preview();
    Pools::forBands(pool, h, rowsPerBand, [&](int first, int end) {
        float c[3];
        for (int y = first; y < end; ++y)
            for (int x = 0; x < w; ++x) {
                load(rowOf(bits, stride, y)[x], c, k);
                plane[size_t(y) * w + x] = quint16(std::lround(std::clamp(luma(c), 0.0f, 1.0f) * 65535));
            }
    });
    Pools::forBands(pool, h, rowsPerBand, [&](int first, int end) {
        std::vector<float> line;
        for (int y = first; y < end; ++y)
            blurLine(plane.data() + size_t(y) * w, w, 1, line);
    });
    Pools::forBands(pool, w, 16, [&](int first, int end) {
        std::vector<float> line;
        for (int x = first; x < end; ++x)
            blurLine(plane.data() + x, h, w, line);
    });
    const std::optional<Vignette> vignette =
        p.vignette ? std::optional<Vignette>(Vignette(size, *p.vignette)) : std::nullopt;
    Pools::forBands(pool, h, rowsPerBand, [&](int first, int end) {
        float c[3];
        for (int y = first; y < end; ++y) {
            QRgb* row = rowOf(bits, stride, y);
            for (int x = 0; x < w; ++x) {
                load(row[x], c, k);
                const float yv = luma(c), blurred = plane[size_t(y) * w + x] / 65535.0f;
                float d = yv - blurred;
                if (p.noiseLevel > 0) {
                    // Detail under the noise level goes; above it, the fixed edge sharpness of
                    // 0.4 gives back part of what the threshold took, never more than there was.
                    const float kept = std::max(std::abs(d) - p.noiseLevel, 0.0f) * 1.4f;
                    d = std::copysign(std::min(kept, std::abs(d)), d);
                }
                const float shift = blurred + d * (1 + p.sharpen) - yv;
                const float m = vignette ? vignette->at(x, y) : 1;
                for (float& v : c)
                    v = (v + shift) * m;
                store(row[x], c, k);
            }
        }
    });
}

} // namespace

namespace AdjustmentsRenderer {

QImage render(const QImage& image, const PhotoAdjustments& a)
{
    if (a == PhotoAdjustments{} || image.isNull()) return image;
    const Plan p = makePlan(a);
    QImage out =
        image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    uchar* bits = out.isNull() ? nullptr : out.bits(); // a copy of its own before the rows are shared out
    if (!bits) return {};
    const qsizetype stride = out.bytesPerLine();
    const int w = out.width();
    const Codec& k = codec();
    const std::optional<Vignette> vignette =
        p.vignette && !p.detail() ? std::optional<Vignette>(Vignette(out.size(), *p.vignette)) : std::nullopt;
    Pools::forBands(Pools::preview(), out.height(), rowsPerBand, [&](int first, int end) {
        float c[3];
        for (int y = first; y < end; ++y) {
            QRgb* row = rowOf(bits, stride, y);
            for (int x = 0; x < w; ++x) {
                load(row[x], c, k);
                colour(p, c);
                if (vignette)
                    for (float& v : c)
                        v *= vignette->at(x, y);
                store(row[x], c, k);
            }
        }
    });
    if (p.detail()) {
        try {
            detail(p, bits, stride, out.size());
        } catch (const std::bad_alloc&) {
            return {};
        }
    }
    return out;
}

} // namespace AdjustmentsRenderer
