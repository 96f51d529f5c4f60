#pragma once

#include <array>

// A smooth monotone curve through five points with increasing x (Fritsch–Carlson cubic
// interpolation), continued as straight lines beyond the first and last points.
class ToneCurve
{
  public:
    using Points = std::array<std::array<double, 2>, 5>;

    explicit ToneCurve(const Points& points);

    double operator()(double x) const;

  private:
    Points m_p;
    std::array<double, 5> m_slope{};
};
