#include "tools/image/editphoto/whitebalance.h"

#include <algorithm>
#include <cmath>

namespace {

using Mat = std::array<double, 9>;
using Vec = std::array<double, 3>;

constexpr Mat bradford{0.8951, 0.2664, -0.1614, -0.7502, 1.7135, 0.0367, 0.0389, -0.0685, 1.0296};
constexpr Mat rgbToXyz{0.4124564, 0.3575761, 0.1804375, 0.2126729, 0.7151522,
                       0.0721750, 0.0193339, 0.1191920, 0.9503041};

Mat times(const Mat& a, const Mat& b)
{
    Mat m{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k)
                m[r * 3 + c] += a[r * 3 + k] * b[k * 3 + c];
    return m;
}

Vec times(const Mat& a, const Vec& v)
{
    Vec o{};
    for (int r = 0; r < 3; ++r)
        o[r] = a[r * 3] * v[0] + a[r * 3 + 1] * v[1] + a[r * 3 + 2] * v[2];
    return o;
}

Mat inverse(const Mat& m)
{
    const double a = m[0], b = m[1], c = m[2], d = m[3], e = m[4], f = m[5], g = m[6], h = m[7], i = m[8];
    const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    return {(e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det,
            (f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det,
            (d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det};
}

// Chromaticity (x, y) of a black body, by the cubic fits of Kim et al.
std::array<double, 2> planck(double t)
{
    const double t1 = 1e3 / t, t2 = t1 * t1, t3 = t2 * t1;
    const double x = t <= 4000 ? -0.2661239 * t3 - 0.2343589 * t2 + 0.8776956 * t1 + 0.179910
                               : -3.0258469 * t3 + 2.1070379 * t2 + 0.2226347 * t1 + 0.240390;
    const double x2 = x * x, x3 = x2 * x;
    const double y = t <= 2222   ? -1.1063814 * x3 - 1.34811020 * x2 + 2.18555832 * x - 0.20219683
                     : t <= 4000 ? -0.9549476 * x3 - 1.37418593 * x2 + 2.09137015 * x - 0.16748867
                                 : 3.0817580 * x3 - 5.87338670 * x2 + 3.75112997 * x - 0.37001483;
    return {x, y};
}

std::array<double, 2> toUv(std::array<double, 2> xy)
{
    const double d = -2 * xy[0] + 12 * xy[1] + 3;
    return {4 * xy[0] / d, 6 * xy[1] / d};
}

// XYZ of the white of a light, with Y = 1.
Vec white(double kelvin, double tint)
{
    const double t = std::clamp(kelvin, 1667.0, 25000.0);
    auto [u, v] = toUv(planck(t));
    // The unit normal of the curve, turned so that it points below it (toward magenta).
    const auto a = toUv(planck(std::max(1667.0, t - 10))), b = toUv(planck(std::min(25000.0, t + 10)));
    double nu = -(b[1] - a[1]), nv = b[0] - a[0];
    const double len = std::hypot(nu, nv);
    if (nv > 0) nu = -nu, nv = -nv;
    u += tint / 3000 * nu / len;
    v += tint / 3000 * nv / len;
    const double d = 2 * u - 8 * v + 4, x = 3 * u / d, y = 2 * v / d;
    return {x / y, 1, (1 - x - y) / y};
}

} // namespace

namespace WhiteBalance {

std::array<double, 9> matrix(double kelvin, double tint, double toKelvin, double toTint)
{
    const Vec from = times(bradford, white(kelvin, tint)), to = times(bradford, white(toKelvin, toTint));
    const Mat scale{to[0] / from[0], 0, 0, 0, to[1] / from[1], 0, 0, 0, to[2] / from[2]};
    const Mat adapt = times(inverse(bradford), times(scale, bradford));
    return times(inverse(rgbToXyz), times(adapt, rgbToXyz));
}

} // namespace WhiteBalance
