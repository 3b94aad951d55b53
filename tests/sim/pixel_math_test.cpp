#include "sim/pixel_math.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace velunary {
namespace {

bool SameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b) ||
         (std::isnan(a) && std::isnan(b));
}

// Values where a hand-written rounding goes wrong first: exact halves and their
// neighbours on either side, both zeros, the edge of the range where every double is
// whole, values beyond any int64, and the non-finite ones.
std::vector<double> HardValues() {
  std::vector<double> values;
  for (int k = -4000; k <= 4000; ++k) {
    const double half = k + 0.5;
    for (double v : {half, std::nextafter(half, -INFINITY), std::nextafter(half, INFINITY),
                     static_cast<double>(k), std::nextafter(static_cast<double>(k), 0.0)}) {
      values.push_back(v);
    }
  }
  for (double v : {0.0,
                   -0.0,
                   0.49999999999999994,
                   -0.49999999999999994,
                   0x1p52,
                   -0x1p52,
                   0x1p52 - 0.5,
                   -(0x1p52 - 0.5),
                   0x1p52 - 1.5,
                   0x1p53 + 2.0,
                   0x1p63,
                   -0x1p63,
                   1e300,
                   -1e300,
                   std::numeric_limits<double>::denorm_min(),
                   -std::numeric_limits<double>::denorm_min(),
                   std::numeric_limits<double>::max(),
                   std::numeric_limits<double>::infinity(),
                   -std::numeric_limits<double>::infinity(),
                   std::numeric_limits<double>::quiet_NaN()}) {
    values.push_back(v);
  }
  return values;
}

TEST(RoundHalfAwayTest, EqualsStdRoundToTheBit) {
  std::vector<double> values = HardValues();
  std::mt19937_64 bits(7);
  for (int k = 0; k < 1000000; ++k) {
    // Any bit pattern: every exponent, both signs, NaNs and infinities included.
    values.push_back(std::bit_cast<double>(bits()));
    // Pixel coordinates as the passes form them.
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
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace velunary
