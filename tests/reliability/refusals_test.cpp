// Refusals a script of the fuzz corpus cannot plan, since it fails one host call at a
// time: a world the host refuses back twice, which the effect keeps recorded and must not
// grow on; and a memory limit that leaves room for only one of the old and the grown
// particle array. (A refusal during a cancel or a missing suite's unwinding is a session
// of the corpus; controls at the ends of their ranges and tiny layers are too.)
#include <gtest/gtest.h>

#include <cstdint>

#include "host/param_index.h"
#include "refhost/image.h"
#include "rig/session_rig.h"
#include "scenes/spawn_shape.h"
#include "sim/particle.h"
#include "sim/simulation_state.h"

namespace velunary {
namespace {

using refhost::Op;
using rig::kInjected;

constexpr int kWidth = 24;
constexpr int kHeight = 16;

TEST(DoubleFault, MapRefusedByTheResetOfAFailedRenderLeavesNoOldPixels) {
  refhost::Image fresh;
  {  // one host at a time: the fresh start's frame 0 comes before the rig's host exists
    rig::SessionRig freshStart(kWidth, kHeight, rig::kRate);
    fresh = freshStart.Render(0);
  }
  rig::SessionRig rig(kWidth, kHeight, rig::kRate);
  // Refused once, the map is taken back at the second attempt; refused twice, it stays
  // held with the old trail, which the next frame 0 must not grow on.
  for (long refusals : {1, 2}) {
    SCOPED_TRACE(testing::Message() << refusals << " refusals");
    rig.Render(0);
    rig.Render(1);
    rig.host.FailNthCall(Op::Abort, 1, PF_Interrupt_CANCEL);
    for (long n = 1; n <= refusals; ++n) rig.host.FailNthCall(Op::DisposeWorld, n, kInjected);
    EXPECT_EQ(rig.session.RenderFrame(2), PF_Interrupt_CANCEL);
    EXPECT_EQ(IsAbsent(simulationState.trailMap), refusals == 1);
    EXPECT_EQ(rig::HoldingsMismatch(rig.host, {}), "");
    EXPECT_EQ(rig.Render(0), fresh);
    EXPECT_EQ(rig::HoldingsMismatch(rig.host, {}), "");
  }
}

// Seeding stages the Spawn Layer in a world of its own; refused back twice, that world
// ends the render, and the reset after the failure must take it back.
TEST(DoubleFault, StagingWorldRefusedTwiceIsTakenBackByTheReset) {
  rig::SessionRig rig(kWidth, kHeight, rig::kRate);
  rig.host.SetLayer(SpawnLayer, scenes::SpawnDisc(kWidth, kHeight));
  rig.host.FailNthCall(Op::DisposeWorld, 1, kInjected);
  rig.host.FailNthCall(Op::DisposeWorld, 2, kInjected);
  EXPECT_EQ(rig.session.RenderFrame(0), kInjected);
  EXPECT_EQ(rig::HoldingsMismatch(rig.host, {}), "");
}

TEST(MemoryLimit, GrowthWithoutRoomForBothArraysStartsTheParticlesAfresh) {
  rig::SessionRig rig(kWidth, kHeight, rig::kRate);
  rig.host.SetKeyframe(ParticleCount, 0, 2);
  rig.host.SetKeyframe(ParticleCount, 1, 30);
  rig.Render(0);
  const std::int32_t grown = 115;  // round(0.3 * 16 * 24)
  // Room for the grown array alone: the old one must go before the new one is made.
  rig.host.SetMemoryLimit(std::uint64_t{sizeof(Particle)} * grown);
  const long handles = rig.host.CallCount(Op::NewHandle);
  rig.Render(1);
  EXPECT_EQ(rig.host.CallCount(Op::NewHandle) - handles, 2);
  EXPECT_EQ(simulationState.particleCount, grown);
  EXPECT_EQ(rig::HoldingsMismatch(rig.host, {}), "");
}

}  // namespace
}  // namespace velunary
