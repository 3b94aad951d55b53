// The counts and seeds read from the controls, and the diffusion's diagnostic. (The release
// of worlds, its retry, the record cleared only when the host took the world and the first
// error kept, is held by the fault sweep, the corpus and the double refusals.)
#include "sim/simulation_state.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "host/host_services.h"
#include "refhost/host.h"
#include "refhost/image.h"
#include "sim/diffuse_and_decay.h"

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

// The pass's one diagnostic: "err" on standard output when it ends with a positive code,
// also one it was entered with (and then makes and changes nothing); nothing on success.
TEST(DiffuseAndDecay, APendingCodeMakesNothingAndOnlyAPositiveOneIsReported) {
  ResetProcessStateForTesting();
  refhost::Host host;
  const PF_InData in = host.MakeInData(5, 5);
  const refhost::Image dot(5, 5, PF_Pixel{255, 90, 90, 90});
  PF_EffectWorld map{};
  PF_Err err = PF_Err_NONE;
  NewBlackWorld(&in, &map, &err);
  ASSERT_EQ(err, PF_Err_NONE);
  dot.CopyInto(map);
  const long calls = host.CountFailableCalls();
  // The last pass, entered without a code, succeeds.
  for (PF_Err pending : {PF_Err{PF_Err_OUT_OF_MEMORY}, PF_Err{1}, PF_Err{-1}, PF_Err{0}}) {
    err = pending;
    ::testing::internal::CaptureStdout();
    DiffuseAndDecay(&in, &err, map);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), pending > 0 ? "err" : "");
    EXPECT_EQ(err, pending);
    if (pending != PF_Err_NONE) {
      EXPECT_EQ(host.CountFailableCalls(), calls);
      EXPECT_EQ(refhost::Image::FromWorld(map), dot);
    }
  }
  EXPECT_EQ(HostDisposeWorld(&in, &map), PF_Err_NONE);
  EXPECT_TRUE(host.GetLedger().Empty());
}

}  // namespace
}  // namespace velunary
