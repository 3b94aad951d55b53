// The two numeric rules every pass shares: how a pixel's brightness is measured and how a
// double becomes a whole number. Both are part of the bit-exact definition of a frame.
#ifndef VELUNARY_SIM_PIXEL_MATH_H
#define VELUNARY_SIM_PIXEL_MATH_H

#include <bit>
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

// Nearest whole number, halves away from zero (2.5 -> 3, -2.5 -> -3): std::round to the
// bit, signed zeros included. Written out because on the baseline x86-64 target
// std::round is a library call, and a particle's step and sensors round seven times; the
// same integer steps on the bits, inline, cost a few cycles.
inline double RoundHalfAway(double value) {
  constexpr std::uint64_t kSign = std::uint64_t{1} << 63;
  constexpr std::uint64_t kOne = std::uint64_t{0x3ff} << 52;
  constexpr std::uint64_t kFraction = (std::uint64_t{1} << 52) - 1;
  std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  const int exponent = static_cast<int>((bits >> 52) & 0x7ff) - 0x3ff;
  if (exponent >= 52) {
    return value;  // whole already, or infinite, or NaN
  }
  if (exponent < 0) {
    // |value| < 1: zero, or one from a half upwards, with the value's sign.
    bits &= kSign;
    if (exponent == -1) bits |= kOne;
  } else {
    // Add a half (carrying into the exponent if need be), then drop the bits worth less
    // than one.
    bits += (std::uint64_t{1} << 51) >> exponent;
    bits &= ~(kFraction >> exponent);
  }
  return std::bit_cast<double>(bits);
}

// The pixel of a coordinate on an axis `extent` pixels long (at most INT32_MAX): true,
// with *pixel set, when RoundHalfAway(value) lies in [0, extent), exactly as rounding and
// testing the rounded double would decide; false otherwise, NaN included. The passes round
// every step and sensor this way, so it avoids the bit work of a general rounding.
inline bool PixelOnAxis(double value, double extent, std::int32_t* pixel) {
  // A value rounds to 0 or more from above -0.5 on, and to extent from extent - 0.5 on.
  if (!(value > -0.5 && value < extent - 0.5)) {
    return false;
  }
  // Truncated, the value fits an int; what truncation dropped is exact (the value and its
  // whole part lie within a factor of two, or the whole part is 0), and a half or more of
  // it rounds away from zero. Values in (-0.5, 0) keep 0.
  const auto whole = static_cast<std::int32_t>(value);
  *pixel = whole + (value - static_cast<double>(whole) >= 0.5 ? 1 : 0);
  return true;
}

}  // namespace velunary

#endif
