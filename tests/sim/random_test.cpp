#include "sim/random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "sim/simulation_state.h"
#include "sim_test_support.h"

namespace velunary {
namespace {

constexpr std::uint32_t kMax = 0xFFFFFFFFu;

TEST(RandomEngine, SharedEngineStartsFromTheDefaultSeed) {
  ResetProcessStateForTesting();
  RandomEngine copy = sharedRandom;
  EXPECT_EQ(copy(), 3499211612u);
  copy.discard(9998);
  EXPECT_EQ(copy(), 4123659995u);
}

TEST(UniformUnit, TakesTheLowWordFirstAndStaysBelowOne) {
  RandomEngine engine = EngineYielding({0, 0, 1, 0, 0, 1, kMax, kMax});
  EXPECT_EQ(UniformUnit(engine), 0.0);
  EXPECT_EQ(UniformUnit(engine), std::ldexp(1.0, -64));
  EXPECT_EQ(UniformUnit(engine), std::ldexp(1.0, -32));
  EXPECT_EQ(UniformUnit(engine), std::nextafter(1.0, 0.0));  // the sum rounds to 2^64
}

TEST(RandomHeading, TruncatesToWholeNumbersUpTo359) {
  // 359/360 of 2^32 lies between these two high words.
  RandomEngine engine = EngineYielding({0, 4283036831u, 0, 4283036832u, kMax, kMax});
  EXPECT_EQ(RandomHeading(engine), 358.0);
  EXPECT_EQ(RandomHeading(engine), 359.0);
  EXPECT_EQ(RandomHeading(engine), 359.0);
}

TEST(UniformInt, RejectsExactlyTheTopPartialRange) {
  RandomEngine engine = EngineYielding({kMax, 4, kMax - 1, kMax, 5, kMax, 77});
  const RandomEngine untouched = engine;
  EXPECT_EQ(UniformInt(engine, 3, 3), 3);
  EXPECT_EQ(engine, untouched);
  // n = 3: 4294967295 alone lies in the partial block.
  EXPECT_EQ(UniformInt(engine, 0, 2), 1);
  EXPECT_EQ(UniformInt(engine, 0, 2), 2);
  // n = 4 divides 2^32: nothing is rejected.
  EXPECT_EQ(UniformInt(engine, -10, -7), -7);
  // The full int range adds one raw output.
  EXPECT_EQ(UniformInt(engine, INT32_MIN, INT32_MAX), INT32_MIN + 5);
  EXPECT_EQ(UniformInt(engine, INT32_MIN, INT32_MAX), INT32_MAX);
  EXPECT_EQ(engine(), 77u);
}

}  // namespace
}  // namespace velunary
