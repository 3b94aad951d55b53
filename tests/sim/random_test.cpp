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

// Inverts MT19937's output tempering.
std::uint32_t Untemper(std::uint32_t y) {
  y ^= y >> 18;
  y ^= (y << 15) & 0xEFC60000u;
  std::uint32_t x = y;
  for (int i = 0; i < 4; ++i) x = y ^ ((x << 7) & 0x9D2C5680u);
  return x ^ (x >> 11) ^ (x >> 22);
}

// An engine whose next outputs are exactly `outputs`. With the state words 0 to k + 1
// zero, the twist makes the k-th next word equal to state word 397 + k, so those words
// hold the untempered outputs. The state is loaded through the standard text format; the
// trailing position 624 (the words are whole, none used yet) is what libstdc++ also reads.
RandomEngine EngineYielding(std::initializer_list<std::uint32_t> outputs) {
  std::uint32_t words[624] = {};
  int k = 397;
  for (std::uint32_t output : outputs) words[k++] = Untemper(output);
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

TEST(RandomEngine, SensingEngineIsSeededOncePerThread) {
  for (std::uint32_t seed : {7u, 4294934528u}) {
    std::uint32_t first = 0;
    std::uint32_t second = 0;
    std::thread worker([&] {
      first = static_cast<std::uint32_t>(SensingRandom(seed)());
      second = static_cast<std::uint32_t>(SensingRandom(seed + 1)());
    });
    worker.join();
    RandomEngine expected(seed);
    EXPECT_EQ(first, expected());
    EXPECT_EQ(second, expected());
  }
}

TEST(UniformUnit, TakesTheLowWordFirstAndStaysBelowOne) {
  RandomEngine zeros = EngineYielding({0, 0});
  EXPECT_EQ(UniformUnit(zeros), 0.0);
  RandomEngine lowOne = EngineYielding({1, 0, 0, 1});
  EXPECT_EQ(UniformUnit(lowOne), std::ldexp(1.0, -64));
  EXPECT_EQ(UniformUnit(lowOne), std::ldexp(1.0, -32));
  // The sum rounds up to 2^64 here.
  RandomEngine top = EngineYielding({kMax, kMax});
  EXPECT_EQ(UniformUnit(top), std::nextafter(1.0, 0.0));
}

TEST(UniformReal, ScalesThenShifts) {
  RandomEngine half = EngineYielding({0, 0x80000000u});
  EXPECT_EQ(UniformReal(half, -3.0, 5.0), 1.0);
}

TEST(RandomHeading, TruncatesToWholeNumbersUpTo359) {
  // 359 / 360 of 2^32 lies between these two high words.
  RandomEngine below = EngineYielding({0, 4283036831u});
  EXPECT_EQ(RandomHeading(below), 358.0);
  RandomEngine at = EngineYielding({0, 4283036832u});
  EXPECT_EQ(RandomHeading(at), 359.0);
  RandomEngine top = EngineYielding({kMax, kMax});
  EXPECT_EQ(RandomHeading(top), 359.0);
}

TEST(UniformInt, DrawsNothingForASingleValue) {
  RandomEngine engine(11);
  const RandomEngine before = engine;
  EXPECT_EQ(UniformInt(engine, 3, 3), 3);
  EXPECT_EQ(engine, before);
}

TEST(UniformInt, RejectsExactlyTheTopPartialRange) {
  // n = 3: only 4294967295 lies in the partial block.
  RandomEngine rejected = EngineYielding({kMax, 4, 77});
  EXPECT_EQ(UniformInt(rejected, 0, 2), 1);
  EXPECT_EQ(rejected(), 77u);
  RandomEngine kept = EngineYielding({kMax - 1, 77});
  EXPECT_EQ(UniformInt(kept, 0, 2), 2);
  EXPECT_EQ(kept(), 77u);
  // n = 4 divides 2^32: nothing is rejected.
  RandomEngine whole = EngineYielding({kMax, 5});
  EXPECT_EQ(UniformInt(whole, -10, -7), -7);
  EXPECT_EQ(UniformInt(whole, -10, -7), -9);
}

TEST(UniformInt, FullRangeAddsOneRawOutput) {
  RandomEngine engine = EngineYielding({5, kMax});
  EXPECT_EQ(UniformInt(engine, INT32_MIN, INT32_MAX), INT32_MIN + 5);
  EXPECT_EQ(UniformInt(engine, INT32_MIN, INT32_MAX), INT32_MAX);
}

}  // namespace
}  // namespace velunary
