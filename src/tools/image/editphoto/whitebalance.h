#pragma once

#include <array>

// Colour casts for the temperature and tint sliders.
namespace WhiteBalance {

// Row-major 3 × 3 matrix over linear sRGB that turns the white of a light at `kelvin` with
// `tint` into the white of one at `toKelvin` with `toTint` (a Bradford adaptation): a grey
// takes on the cast of the second light, so a lower target temperature warms the picture. Tint
// moves the white off the black-body curve by tint / 3000 in CIE 1960 uv, toward magenta when
// positive, toward green when negative. Temperatures are held to 1667 … 25000 K.
std::array<double, 9> matrix(double kelvin, double tint, double toKelvin, double toTint);

} // namespace WhiteBalance
