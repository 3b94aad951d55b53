// Refusals the fault sweep does not combine. Two failures in one render, as the fuzzer
// combined them: the second strikes the clean-up of the first, and a host that refuses a
// check-in or a world once must still get it back, the render after starting from nothing.
// And a memory limit that refuses the particle array, or leaves room for only one of the
// old and the grown array. (Controls at the ends of their ranges and tiny layers are
// sessions of the fuzz corpus.)
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

refhost::Image FreshRender(long frame) {
  return rig::SessionRig::FreshRender(kWidth, kHeight, {}, frame);
}

class DoubleFaultTest : public ::testing::Test {
 protected:
  DoubleFaultTest() {
    rig_.Render(0);
    rig_.Render(1);
  }

  void ExpectHoldsOnlyItsState() const { EXPECT_EQ(rig::HoldingsMismatch(rig_.host, {}), ""); }

  // One host at a time: the fresh start's frame 0 is rendered before the rig's host exists.
  const refhost::Image freshFrame0_ = FreshRender(0);
  rig::SessionRig rig_{kWidth, kHeight, rig::kRate};
};

TEST_F(DoubleFaultTest, CheckInRefusedWhileACancelledFrameEndsIsNotRepeated) {
  rig_.host.FailNthCall(Op::Abort, 1, PF_Interrupt_CANCEL);
  rig_.host.FailNthCall(Op::CheckinParam, 1, kInjected);
  EXPECT_EQ(rig_.session.RenderFrame(2), PF_Interrupt_CANCEL);
  EXPECT_EQ(rig_.host.CallCount(Op::CheckinParam), 2 * 15 + 1);
  EXPECT_EQ(rig::HoldingsMismatch(rig_.host, {0, 1}), "");
}

TEST_F(DoubleFaultTest, SensingWorldRefusedWhileAMissingSuiteUnwindsIsTriedAgain) {
  rig_.host.SetSuiteMissing(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1, true);
  rig_.host.FailNthCall(Op::DisposeWorld, 1, kInjected);
  EXPECT_EQ(rig_.session.RenderFrame(2), PF_Err_BAD_CALLBACK_PARAM);
  ExpectHoldsOnlyItsState();
}

TEST_F(DoubleFaultTest, MapRefusedByTheResetOfAFailedRenderLeavesNoOldPixels) {
  // Refused once, the map is taken back at the second attempt; refused twice, it stays
  // held with the old trail, which the next frame 0 must not grow on.
  for (long refusals : {1, 2}) {
    SCOPED_TRACE(testing::Message() << refusals << " refusals");
    rig_.Render(0);
    rig_.Render(1);
    rig_.host.FailNthCall(Op::Abort, 1, PF_Interrupt_CANCEL);
    for (long n = 1; n <= refusals; ++n) rig_.host.FailNthCall(Op::DisposeWorld, n, kInjected);
    EXPECT_EQ(rig_.session.RenderFrame(2), PF_Interrupt_CANCEL);
    EXPECT_EQ(IsAbsent(simulationState.trailMap), refusals == 1);
    ExpectHoldsOnlyItsState();
    EXPECT_EQ(rig_.Render(0), freshFrame0_);
    ExpectHoldsOnlyItsState();
  }
}

TEST_F(DoubleFaultTest, MapRefusedByAFailedResetButtonLeavesNoOldPixels) {
  // The reset tries the map twice, and after its failure twice more; all four refused.
  for (long n = 1; n <= 4; ++n) rig_.host.FailNthCall(Op::DisposeWorld, n, kInjected);
  EXPECT_EQ(rig_.session.ChangeParam(ResetButton), kInjected);
  EXPECT_EQ(rig_.Render(0), freshFrame0_);
  ExpectHoldsOnlyItsState();
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

TEST(MemoryLimit, RefusingTheParticleArrayFailsTheRenderUntilThereIsEnough) {
  const refhost::Image fresh = FreshRender(1);
  rig::SessionRig rig(kWidth, kHeight, rig::kRate);
  rig.Render(0);
  const std::uint64_t bytes =
      std::uint64_t{sizeof(Particle)} * static_cast<std::uint64_t>(simulationState.particleCount);
  ASSERT_EQ(rig.session.GlobalSetdown(), PF_Err_NONE);

  rig.host.SetMemoryLimit(bytes - 1);
  EXPECT_EQ(rig.session.RenderFrame(1), PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(rig::HoldsAnything(rig.host, {}), "");
  // Exactly enough is enough.
  rig.host.SetMemoryLimit(bytes);
  EXPECT_EQ(rig.Render(1), fresh);
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
