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
//
// Written out because the baseline x86-64 target has no rounding instruction, so
// std::round is a library call, made several times per particle. Below 2^52 the truncation
// fits an int64 and the fraction magnitude - truncated is exact; from 2^52 on, and for
// infinities and NaN, the value is its own rounding (the addition quiets a signalling NaN,
// as the library does). copysign keeps std::round's sign of zero (-0.3 -> -0.0).
inline double RoundHalfAway(double value) {
  constexpr double kTwoTo52 = 4503599627370496.0;
  const double magnitude = std::fabs(value);
  if (!(magnitude < kTwoTo52)) {
    return value + 0.0;
  }
  const double truncated = static_cast<double>(static_cast<std::int64_t>(magnitude));
  const double up = magnitude - truncated >= 0.5 ? 1.0 : 0.0;
  return std::copysign(truncated + up, value);
}

}  // namespace velunary

#endif
