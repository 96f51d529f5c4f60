#include "tools/image/editphoto/tonecurve.h"

#include <cmath>

ToneCurve::ToneCurve(const Points& points) : m_p(points)
{
    std::array<double, 4> secant{};
    for (int k = 0; k < 4; ++k)
        secant[k] = (m_p[k + 1][1] - m_p[k][1]) / (m_p[k + 1][0] - m_p[k][0]);
    m_slope[0] = secant[0];
    m_slope[4] = secant[3];
    for (int k = 1; k < 4; ++k)
        m_slope[k] = secant[k - 1] * secant[k] <= 0 ? 0 : (secant[k - 1] + secant[k]) / 2;
    // Tangents limited so that no segment overshoots its end points.
    for (int k = 0; k < 4; ++k) {
        if (secant[k] == 0) {
            m_slope[k] = m_slope[k + 1] = 0;
            continue;
        }
        const double a = m_slope[k] / secant[k], b = m_slope[k + 1] / secant[k];
        const double r = a * a + b * b;
        if (r > 9) {
            const double t = 3 / std::sqrt(r);
            m_slope[k] = t * a * secant[k];
            m_slope[k + 1] = t * b * secant[k];
        }
    }
}

double ToneCurve::operator()(double x) const
{
    if (x <= m_p[0][0]) return m_p[0][1] + (x - m_p[0][0]) * m_slope[0];
    if (x >= m_p[4][0]) return m_p[4][1] + (x - m_p[4][0]) * m_slope[4];
    int k = 0;
    while (x > m_p[k + 1][0])
        ++k;
    const double h = m_p[k + 1][0] - m_p[k][0], t = (x - m_p[k][0]) / h;
    const double t2 = t * t, t3 = t2 * t;
    return (2 * t3 - 3 * t2 + 1) * m_p[k][1] + (t3 - 2 * t2 + t) * h * m_slope[k] +
           (-2 * t3 + 3 * t2) * m_p[k + 1][1] + (t3 - t2) * h * m_slope[k + 1];
}
