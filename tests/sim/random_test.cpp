#include "sim/random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <sstream>
#include <thread>

#include "sim/simulation_state.h"

namespace velunary {
namespace {

constexpr std::uint32_t kMax = 0xFFFFFFFFu;

// An engine whose next outputs are `outputs`. With state words 0 to k + 1 zero, the twist
// makes the k-th next word equal to word 397 + k, which therefore holds the k-th output
// untempered. Loaded through the standard text format; the trailing position 624 (no word
// used yet) is what libstdc++ reads as well.
RandomEngine EngineYielding(std::initializer_list<std::uint32_t> outputs) {
  std::uint32_t words[624] = {};
  int k = 397;
  for (std::uint32_t y : outputs) {
    y ^= y >> 18;
    y ^= (y << 15) & 0xEFC60000u;
    std::uint32_t x = y;
    for (int i = 0; i < 4; ++i) x = y ^ ((x << 7) & 0x9D2C5680u);
    words[k++] = x ^ (x >> 11) ^ (x >> 22);
  }
  std::stringstream text;
  for (std::uint32_t word : words) text << word << ' ';
  text << 624;
  RandomEngine engine;
  text >> engine;
  return engine;
}

TEST(RandomEngine, SharedEngineStartsFromTheDefaultSeed) {
  ResetProcessStateForTesting();
  RandomEngine copy = sharedRandom;
  EXPECT_EQ(copy(), 3499211612u);
  copy.discard(9998);
  EXPECT_EQ(copy(), 4123659995u);
}

TEST(RandomEngine, SensingEngineIsSeededOnTheThreadsFirstCallOnly) {
  std::uint32_t outputs[2] = {};
  std::thread worker([&] {
    outputs[0] = static_cast<std::uint32_t>(SensingRandom(4294934528u)());
    outputs[1] = static_cast<std::uint32_t>(SensingRandom(7)());
  });
  worker.join();
  RandomEngine expected(4294934528u);
  EXPECT_EQ(outputs[0], expected());
  EXPECT_EQ(outputs[1], expected());
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
