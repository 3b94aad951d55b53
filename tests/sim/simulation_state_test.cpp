// The counts and seeds read from the controls, and the state a test starts from.
#include "sim/simulation_state.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "sim/random.h"

namespace velunary {
namespace {

TEST(Settings, ParticleCountRoundsHalfAwayAndSaturatesAndSeedTruncates) {
  constexpr A_long kWidest = std::numeric_limits<A_long>::max();
  const struct {
    double percent;
    A_long width, height;
    std::int32_t count;
  } counts[] = {{15, 1920, 1080, 311040},
                {2, 5, 5, 1},
                {30, 5, 3, 5},
                {30, 2, 1, 1},
                {15, 1, 1, 0},
                {30, 30000, 30000, 270000000},
                {30, kWidest, kWidest, std::numeric_limits<std::int32_t>::max()}};
  for (const auto& c : counts) {
    EXPECT_EQ(ParticleCountFor(c.percent, c.width, c.height), c.count)
        << c.percent << " % of " << c.width << "x" << c.height;
  }
  EXPECT_EQ(RandomSeedFor(-0.7), 0);
  EXPECT_EQ(RandomSeedFor(-32767.9), -32767);
}

TEST(Settings, TestsStartFromTheStateAtLoad) {
  sharedRandom.discard(3);
  simulationState.nextFrame = 7;
  ResetProcessStateForTesting();
  EXPECT_EQ(sharedRandom, RandomEngine{});
  EXPECT_EQ(simulationState.nextFrame, 0);
}

}  // namespace
}  // namespace velunary
