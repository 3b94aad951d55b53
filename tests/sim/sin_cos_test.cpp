#include "sim/sin_cos.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace velunary {
namespace {

// Angles of every kind the passes meet: whole-number headings, headings that drifted by
// many turns, sums and differences with sensor angles up to 360, the neighbourhoods of
// multiples of pi/2 (where argument reduction is hardest), huge and tiny magnitudes of
// either sign, and the non-finite values.
std::vector<double> Angles() {
  std::vector<double> angles;
  for (int k = -100000; k <= 100000; ++k) {
    angles.push_back(k);
    angles.push_back(k * (std::numbers::pi / 2));
    angles.push_back(std::nextafter(k * (std::numbers::pi / 2), 0.0));
  }
  double drifting = 17.0;
  for (int k = 0; k < 200000; ++k) {
    drifting += (k % 3 == 0) ? -0.7 : 1.3;
    angles.push_back(drifting);
    angles.push_back(drifting - 359.0);
    angles.push_back(drifting + 45.0);
  }
  std::mt19937_64 bits(20240601);
  for (int k = 0; k < 400000; ++k) {
    const int exponent = static_cast<int>(bits() % 1100) - 60;  // 2^-60 .. 2^1039 (inf)
    const double mantissa = 1.0 + static_cast<double>(bits() >> 11) * 0x1p-53;
    const double magnitude = std::ldexp(mantissa, exponent);
    angles.push_back((bits() & 1) != 0 ? magnitude : -magnitude);
  }
  for (double special :
       {0.0, -0.0, std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::min(),
        1e22, -1e22, 1e300, -1e308, std::numeric_limits<double>::max(),
        std::numeric_limits<double>::lowest(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
    angles.push_back(special);
  }
  return angles;
}

bool SameValue(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b) ||
         (std::isnan(a) && std::isnan(b));
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
      volatile double forSine = angle;
      volatile double forCosine = angle;
      const double sine = std::sin(forSine);
      const double cosine = std::cos(forCosine);
      for (const SinCosPair got : {SinCos(angle), memo->Of(angle)}) {
        if ((!SameValue(got.sine, sine) || !SameValue(got.cosine, cosine)) && ++mismatches <= 5) {
          ADD_FAILURE() << "angle " << std::hexfloat << angle << ": " << got.sine << ", "
                        << got.cosine << " against sin, cos " << sine << ", " << cosine;
        }
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(SinCosMemoTest, AnEmptySlotIsNotTakenForTheNaNItStandsFor) {
  auto memo = std::make_unique<SinCosMemo>();  // value-initialised: every slot zero
  const double nan = std::bit_cast<double>(~std::uint64_t{0});
  const SinCosPair pair = memo->Of(nan);
  EXPECT_TRUE(std::isnan(pair.sine));
  EXPECT_TRUE(std::isnan(pair.cosine));
  EXPECT_TRUE(std::isnan(memo->Of(nan).sine));  // and again, once "stored"
}

}  // namespace
}  // namespace velunary
