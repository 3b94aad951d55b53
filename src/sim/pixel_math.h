// The two numeric rules every pass shares: how a pixel's brightness is measured and how a
// double becomes a whole number. Both are part of the bit-exact definition of a frame.
#ifndef VELUNARY_SIM_PIXEL_MATH_H
#define VELUNARY_SIM_PIXEL_MATH_H

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

// Nearest whole number, halves away from zero (2.5 -> 3, -2.5 -> -3), signed zeros
// included. Only values taken once a frame are rounded this way; the passes' per-particle
// roundings go through RoundedInRange below.
inline double RoundHalfAway(double value) {
  return std::round(value);
}

// RoundHalfAway(value) as an int, for a value in (-0.5, INT32_MAX - 0.5): the truncation,
// plus one when what it dropped is a half or more. What truncation drops is exact (the
// value and its whole part lie within a factor of two, or the whole part is 0), and values
// in (-0.5, 0) keep 0.
inline std::int32_t RoundedInRange(double value) {
  const auto whole = static_cast<std::int32_t>(value);
  return whole + (value - static_cast<double>(whole) >= 0.5 ? 1 : 0);
}

// A layer's size in pixels (each at most INT32_MAX), as PixelOfPoint takes it.
struct PixelGrid {
  double width;
  double height;
};

// The pixel a point lands in: true, with *column and *row set, when RoundHalfAway of each
// coordinate lies on the grid, exactly as rounding and testing the rounded doubles would
// decide; false otherwise, NaN included. Every step and sensor of the passes is placed
// this way, without the work of a general rounding: a coordinate rounds to 0 or more from
// above -0.5 on, and to the extent from the extent less a half on; in between,
// RoundedInRange applies.
// This is the form of targets without SSE2, which PixelOfPoint must match.
inline bool PixelOfPointScalar(double x, double y, const PixelGrid& grid, std::int32_t* column,
                               std::int32_t* row) {
  if (!(x > -0.5 && x < grid.width - 0.5 && y > -0.5 && y < grid.height - 0.5)) {
    return false;
  }
  *column = RoundedInRange(x);
  *row = RoundedInRange(y);
  return true;
}

// The same, both axes at once where SSE2 allows.
inline bool PixelOfPoint(double x, double y, const PixelGrid& grid, std::int32_t* column,
                         std::int32_t* row) {
#if defined(__SSE2__)
  // RoundedInRange on both lanes: the row in the low one, the column in the high one.
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
  return static_cast<std::uint8_t>(RoundedInRange(clamped));
}

}  // namespace velunary

#endif
