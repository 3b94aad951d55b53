// The two numeric rules every pass shares: how a pixel's brightness is measured and how a
// double becomes a whole number. Both are part of the bit-exact definition of a frame.
#ifndef VELUNARY_SIM_PIXEL_MATH_H
#define VELUNARY_SIM_PIXEL_MATH_H

#include <cmath>
#include <cstdint>

namespace velunary {

// Rec. 709 weights on the 0..255 scale; each product formed alone, summed as
// (red + green) + blue. Pure white gives 254.99999999999997, so nothing reaches 255.
inline double Luminance(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  const double r = 0.2126 * static_cast<double>(red);
  const double g = 0.7152 * static_cast<double>(green);
  const double b = 0.0722 * static_cast<double>(blue);
  return (r + g) + b;
}

// Luminance of the pixel whose four bytes (alpha, red, green, blue) start at `argb`.
inline double LuminanceAt(const std::uint8_t* argb) {
  return Luminance(argb[1], argb[2], argb[3]);
}

// Nearest whole number, halves away from zero (2.5 -> 3, -2.5 -> -3), as std::round.
inline double RoundHalfAway(double value) {
  return std::round(value);
}

}  // namespace velunary

#endif
