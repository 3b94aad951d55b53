// The two numeric rules every pass shares: how a pixel's brightness is measured and how a
// double becomes a whole number. Both are part of the bit-exact definition of a frame.
#ifndef VELUNARY_SIM_PIXEL_MATH_H
#define VELUNARY_SIM_PIXEL_MATH_H

#include <bit>
#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// A layer's size in pixels (each at most INT32_MAX), as PixelOfPoint takes it.
struct PixelGrid {
  double width;
  double height;
};

// The pixel a point lands in: true, with *column and *row set, when RoundHalfAway of each
// coordinate lies on the grid, exactly as rounding and testing the rounded doubles would
// decide; false otherwise, NaN included. Every step and sensor of the passes is placed
// this way, so it avoids the bit work of a general rounding:
// - a coordinate rounds to 0 or more from above -0.5 on, and to the extent from the extent
//   less a half on;
// - in between, truncated, it fits an int; what truncation dropped is exact (the value and
//   its whole part lie within a factor of two, or the whole part is 0), and a half or more
//   of it rounds away from zero. Values in (-0.5, 0) keep 0.
// This is the form of targets without SSE2, which PixelOfPoint must match.
inline bool PixelOfPointScalar(double x, double y, const PixelGrid& grid, std::int32_t* column,
                               std::int32_t* row) {
  if (!(x > -0.5 && x < grid.width - 0.5 && y > -0.5 && y < grid.height - 0.5)) {
    return false;
  }
  const auto wholeX = static_cast<std::int32_t>(x);
  const auto wholeY = static_cast<std::int32_t>(y);
  *column = wholeX + (x - static_cast<double>(wholeX) >= 0.5 ? 1 : 0);
  *row = wholeY + (y - static_cast<double>(wholeY) >= 0.5 ? 1 : 0);
  return true;
}

// The same, both axes at once where SSE2 allows.
inline bool PixelOfPoint(double x, double y, const PixelGrid& grid, std::int32_t* column,
                         std::int32_t* row) {
#if defined(__SSE2__)
  // The row in the low lane, the column in the high one.
  const __m128d point = _mm_set_pd(x, y);
  const __m128d onGrid =
      _mm_and_pd(_mm_cmpgt_pd(point, _mm_set1_pd(-0.5)),
                 _mm_cmplt_pd(point, _mm_set_pd(grid.width - 0.5, grid.height - 0.5)));
  if (_mm_movemask_pd(onGrid) != 3) {
    return false;
  }
  const __m128i whole = _mm_cvttpd_epi32(point);
  const __m128d roundsUp =
      _mm_cmpge_pd(_mm_sub_pd(point, _mm_cvtepi32_pd(whole)), _mm_set1_pd(0.5));
  // A lane's all-ones mask is -1: subtracting it adds one.
  const __m128i pixel =
      _mm_sub_epi32(whole, _mm_shuffle_epi32(_mm_castpd_si128(roundsUp), _MM_SHUFFLE(3, 3, 2, 0)));
  *row = _mm_cvtsi128_si32(pixel);
  *column = _mm_cvtsi128_si32(_mm_srli_si128(pixel, 4));
  return true;
#else
  return PixelOfPointScalar(x, y, grid, column, row);
#endif
}

// RoundHalfAway(value) clamped to [0, 255], and 0 for a NaN. Clamped first and rounded
// after: rounding is monotone and keeps 0 and 255, so the order changes nothing, and the
// clamp is one maximum and one minimum. Clamping the rounded value took branches, which
// a grown network's saturated pixels send either way.
inline std::uint8_t RoundedByte(double value) {
#if defined(__SSE2__)
  // Spelt out: the compiler turns plain comparisons back into branches. Each takes its
  // second operand on a NaN.
  const double clamped =
      _mm_cvtsd_f64(_mm_min_sd(_mm_max_sd(_mm_set_sd(value), _mm_setzero_pd()), _mm_set_sd(255.0)));
#else
  const double nonNegative = value > 0.0 ? value : 0.0;
  const double clamped = nonNegative < 255.0 ? nonNegative : 255.0;
#endif
  // Rounded as PixelOfPoint rounds: the truncation and the exact fraction it dropped.
  const auto whole = static_cast<std::int32_t>(clamped);
  return static_cast<std::uint8_t>(whole + (clamped - static_cast<double>(whole) >= 0.5 ? 1 : 0));
}

}  // namespace velunary

#endif
