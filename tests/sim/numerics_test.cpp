// The numbers playback depends on to the last bit: rounding, sine and cosine (with their
// memo) and the unit draw. A slip in any of them rarely flips a heading or a turn, so the
// golden frames alone may not notice.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "sim/pixel_math.h"
#include "sim/random.h"
#include "sim/sin_cos.h"

namespace velunary {
namespace {

using Limits = std::numeric_limits<double>;

bool SameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b) ||
         (std::isnan(a) && std::isnan(b));
}

void AddWithBothSigns(std::vector<double>& values, std::initializer_list<double> magnitudes) {
  for (double v : magnitudes) {
    values.push_back(v);
    values.push_back(-v);
  }
}

// Values where a hand-written rounding goes wrong first: exact halves and their
// neighbours on either side, both zeros, the edge of the range where every double is
// whole, values beyond any int64, the non-finite ones and the last pixels an int can
// index; then any bit pattern, and pixel coordinates as the passes form them.
TEST(RoundHalfAwayTest, EqualsStdRoundToTheBitAndPicksItsPixelAndByte) {
  std::vector<double> values;
  AddWithBothSigns(
      values, {0.0, 0.49999999999999994, 0x1p52, 0x1p52 - 0.5, 0x1p52 - 1.5, 0x1p53 + 2.0, 0x1p63,
               1e300, Limits::denorm_min(), Limits::max(), Limits::infinity(), Limits::quiet_NaN(),
               0x1p31 - 1.5, std::nextafter(0x1p31 - 1.5, 0.0), 0x1p31 - 0.5});
  for (int k = -4000; k <= 4000; ++k) {
    const double half = k + 0.5;
    values.insert(values.end(),
                  {half, std::nextafter(half, -INFINITY), std::nextafter(half, INFINITY),
                   static_cast<double>(k), std::nextafter(static_cast<double>(k), 0.0)});
  }
  std::mt19937_64 bits(7);
  for (int k = 0; k < 1000000; ++k) {
    values.push_back(std::bit_cast<double>(bits()));
    values.push_back(static_cast<double>(bits() % 5000000) / 1000.0 - 500.0);
  }
  long mismatches = 0;
  for (const double v : values) {
    volatile double input = v;  // keeps the library call from being folded away
    const double expected = std::round(input);
    if (!SameBits(RoundHalfAway(v), expected) && ++mismatches <= 5) {
      ADD_FAILURE() << std::hexfloat << v << " rounds to " << RoundHalfAway(v) << ", not "
                    << expected;
    }
    // The pixel the passes take on either axis, in both forms: the rounded value in [0, extent).
    for (const auto pixelOf : {&PixelOfPoint, &PixelOfPointScalar}) {
      for (const double extent : {1.0, 1920.0, 2147483647.0}) {
        std::int32_t column = -1, row = -1;
        const bool inside = expected >= 0.0 && expected < extent;
        const bool across = pixelOf(v, 0.0, PixelGrid{extent, 1.0}, &column, &row);
        const bool wrong = across != inside || (inside && (column != expected || row != 0));
        const bool down = pixelOf(0.0, v, PixelGrid{1.0, extent}, &column, &row);
        if ((wrong || down != inside || (inside && (row != expected || column != 0))) &&
            ++mismatches <= 5) {
          ADD_FAILURE() << std::hexfloat << v << " on " << extent << " gives pixel " << column
                        << ", " << row;
        }
      }
    }
    // The byte a deposit lays.
    const double byte = std::isnan(v) ? 0.0 : std::clamp(expected, 0.0, 255.0);
    if (RoundedByte(v) != byte && ++mismatches <= 5) {
      ADD_FAILURE() << std::hexfloat << v << " gives byte " << int{RoundedByte(v)};
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// Angles of every kind the passes meet: whole-number headings, headings that drifted by
// many turns, sums and differences with sensor angles up to 360, the neighbourhoods of
// multiples of pi/2 (where argument reduction is hardest), huge and tiny magnitudes of
// either sign, and the non-finite values. First, while a new memo's slots are all zero, the
// one NaN whose bits' complement is zero: an empty slot stands for it and must not answer it.
std::vector<double> Angles() {
  std::vector<double> angles{std::bit_cast<double>(~std::uint64_t{0})};
  AddWithBothSigns(angles, {0.0, Limits::denorm_min(), Limits::min(), 1e22, 1e300, 1e308,
                            Limits::max(), Limits::infinity(), Limits::quiet_NaN()});
  for (int k = -100000; k <= 100000; ++k) {
    const double quarterTurns = k * (std::numbers::pi / 2);
    angles.insert(angles.end(),
                  {static_cast<double>(k), quarterTurns, std::nextafter(quarterTurns, 0.0)});
  }
  double drifting = 17.0;
  for (int k = 0; k < 200000; ++k) {
    drifting += (k % 3 == 0) ? -0.7 : 1.3;
    angles.insert(angles.end(), {drifting, drifting - 359.0, drifting + 45.0});
  }
  std::mt19937_64 bits(20240601);
  for (int k = 0; k < 400000; ++k) {
    const int exponent = static_cast<int>(bits() % 1100) - 60;  // 2^-60 .. 2^1039 (inf)
    const double mantissa = 1.0 + static_cast<double>(bits() >> 11) * 0x1p-53;
    const double magnitude = std::ldexp(mantissa, exponent);
    angles.push_back((bits() & 1) != 0 ? magnitude : -magnitude);
  }
  return angles;
}

// SinCos, and the memo whether it remembers an angle or not, give the library's separate
// sin and cos to the bit. The list holds far more angles than the memo has slots, so the
// second round finds some remembered and others evicted by angles sharing their slot.
TEST(SinCosTest, SinCosAndTheMemoEqualSeparateSinAndCosToTheBit) {
  const std::vector<double> angles = Angles();
  auto memo = std::make_unique<SinCosMemo>();
  long mismatches = 0;
  for (int round = 0; round < 2; ++round) {
    for (const double angle : angles) {
      // Separate volatile reads keep the compiler from fusing these two calls into sincos.
      volatile double forSine = angle, forCosine = angle;
      const double sine = std::sin(forSine);
      const double cosine = std::cos(forCosine);
      for (const SinCosPair got : {SinCos(angle), memo->Of(angle)}) {
        if ((!SameBits(got.sine, sine) || !SameBits(got.cosine, cosine)) && ++mismatches <= 5) {
          ADD_FAILURE() << "angle " << std::hexfloat << angle << ": " << got.sine << ", "
                        << got.cosine << " against sin, cos " << sine << ", " << cosine;
        }
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// A unit draw is the engine's next two outputs as a 64-bit fraction, low word first,
// rounded once (and kept below 1).
TEST(UniformUnit, IsTheNextTwoOutputsAsA64BitFractionLowWordFirst) {
  RandomEngine engine(7);
  RandomEngine raw(7);
  for (int i = 0; i < 10000; ++i) {
    const std::uint64_t low = raw(), high = raw();
    // One rounding, of the 64-bit integer to a double; then an exact scaling.
    const double expected = std::ldexp(static_cast<double>(high << 32 | low), -64);
    ASSERT_EQ(UniformUnit(engine), expected < 1.0 ? expected : std::nextafter(1.0, 0.0)) << i;
  }
}

}  // namespace
}  // namespace velunary
