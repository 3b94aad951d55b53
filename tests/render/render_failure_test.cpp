// A render that cannot finish: refused times, a cancel, a suite the host cannot supply and
// every single host call of a render failing in turn. The effect must hand the host's
// code back, start over cleanly and hold nothing it does not mean to.
#include <gtest/gtest.h>

#include <limits>

#include "effect_rig.h"
#include "refhost/image.h"
#include "scenes/spawn_shape.h"

namespace velunary {
namespace {

using refhost::Image;
using refhost::Op;

constexpr int kWidth = 48;
constexpr int kHeight = 32;
// A code no host call answers by itself.
constexpr PF_Err kInjected = PF_Err_CANNOT_PARSE_KEYFRAME_TEXT;

void ExpectReset() {
  EXPECT_EQ(simulationState.nextFrame, 0);
  EXPECT_EQ(simulationState.particleHandle, nullptr);
  EXPECT_TRUE(IsAbsent(simulationState.trailMap));
  EXPECT_TRUE(IsAbsent(simulationState.infectionMap));
}

class RenderFailureTest : public ::testing::Test {
 protected:
  RenderFailureTest() : rig_(kWidth, kHeight) {}
  EffectRig rig_;
};

TEST_F(RenderFailureTest, RenderThatNamesNoFrameIsRefusedBeforeAnyHostCall) {
  rig_.FramesFor(0);
  const long calls = rig_.host.CountFailableCalls();
  const Particle* particles = simulationState.particles;
  // Straight to the entry point: the session itself has no parameter values without a
  // positive time step.
  PF_InData in_data = rig_.session.InData();
  PF_EffectWorld output{};
  PF_ParamDef* params[] = {nullptr};
  // No frame length; and the one index beyond 32 bits.
  const struct {
    A_long step;
    A_long time;
  } requests[] = {{0, kRate.timeStep}, {-1, std::numeric_limits<A_long>::min()}};
  for (const auto& request : requests) {
    in_data.time_step = request.step;
    in_data.current_time = request.time;
    EXPECT_EQ(
        EffectMain(PF_Cmd_RENDER, &in_data, &rig_.session.OutData(), params, &output, nullptr),
        PF_Err_BAD_CALLBACK_PARAM);
  }
  EXPECT_EQ(rig_.host.CountFailableCalls(), calls);
  EXPECT_EQ(simulationState.particles, particles);
  EXPECT_EQ(simulationState.nextFrame, 1);
}

TEST_F(RenderFailureTest, CancelMidReplayComesBackAndResets) {
  for (long frame = 0; frame < 3; ++frame) rig_.FramesFor(frame);
  const long checkouts = rig_.host.CallCount(Op::CheckoutParam);
  rig_.host.FailNthCall(Op::Abort, 2 * kCheckoutsPerFrame + 4, PF_Interrupt_CANCEL);
  EXPECT_EQ(rig_.session.RenderFrame(5), PF_Interrupt_CANCEL);
  EXPECT_EQ(rig_.host.CallCount(Op::CheckoutParam) - checkouts, 2 * kCheckoutsPerFrame + 4);
  ExpectReset();
  rig_.ExpectLedgerMatchesState();
  EXPECT_EQ(rig_.FramesFor(0), 1);
}

TEST_F(RenderFailureTest, SuiteErrorMidFrameLeavesNothingAndTheNextRenderReplays) {
  rig_.FramesFor(0);
  rig_.FramesFor(1);
  const long before = rig_.host.CallCount(Op::AcquireSuite);
  rig_.FramesFor(2);
  const long perFrame = rig_.host.CallCount(Op::AcquireSuite) - before;
  const Image third = rig_.session.Output();

  ASSERT_EQ(rig_.session.ChangeParam(ResetButton), PF_Err_NONE);
  rig_.FramesFor(0);
  rig_.FramesFor(1);
  // A frame's last acquisition is its diffusion's, after the particles have moved.
  rig_.host.FailNthCall(Op::AcquireSuite, perFrame, kInjected);
  EXPECT_EQ(rig_.session.RenderFrame(2), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(simulationState.nextFrame, 2);
  rig_.ExpectLedgerMatchesState();
  // Continuing would build on the half-done frame.
  EXPECT_EQ(rig_.FramesFor(2), 3);
  EXPECT_EQ(rig_.session.Output(), third);
}

// Every kind of host call a frame can make: both layers of another size (staged), a Spawn
// Layer, and infection fed by a layer.
constexpr int kSweepWidth = 24;
constexpr int kSweepHeight = 16;

void SetRichScene(EffectRig& rig) {
  rig.host.SetLayer(Input, scenes::DemoLayer(kSweepWidth / 2, kSweepHeight / 2));
  rig.host.SetLayer(SpawnLayer, scenes::SpawnDisc(kSweepWidth, kSweepHeight));
  rig.host.SetLayer(InfectedLayer, scenes::SpawnDisc(kSweepWidth / 2, kSweepHeight / 2));
  rig.host.SetValue(Infection, 1);
}

TEST(RenderFailureSweep, EveryFailableCallOfATwoFrameRenderInTurn) {
  long calls = 0;
  Image clean;
  {
    EffectRig rig(kSweepWidth, kSweepHeight);
    SetRichScene(rig);
    const long before = rig.host.CountFailableCalls();
    EXPECT_EQ(rig.FramesFor(1), 2);
    calls = rig.host.CountFailableCalls() - before;
    clean = rig.session.Output();
  }
  ASSERT_GT(calls, 2 * kCheckoutsPerFrame);
  for (long n = 1; n <= calls; ++n) {
    EffectRig rig(kSweepWidth, kSweepHeight);
    SetRichScene(rig);
    const long before = rig.host.CountFailableCalls();
    rig.host.FailNthFailableCall(n, kInjected);
    const PF_Err err = rig.session.RenderFrame(1);
    const Op op = rig.host.FailableCallOp(before + n);
    SCOPED_TRACE(testing::Message() << "call " << n << ": " << refhost::OpName(op));
    // Every record checked out is handed back exactly once, even one the host refuses.
    EXPECT_EQ(rig.host.CallCount(Op::CheckinParam),
              rig.host.CallCount(Op::CheckoutParam) - (op == Op::CheckoutParam ? 1 : 0));
    if (op == Op::ReleaseSuite) {
      // A release the host refuses is the host's own loss; the render is unaffected.
      EXPECT_EQ(err, PF_Err_NONE);
      EXPECT_EQ(rig.host.GetLedger().acquiredSuites, 1);
      continue;
    }
    if (op == Op::AcquireSuite) {
      // Thrown: the state stays as it was, holding nothing beyond itself.
      EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
    } else {
      const bool allocation = op == Op::NewHandle || op == Op::LockHandle;
      EXPECT_EQ(err, allocation ? PF_Err_OUT_OF_MEMORY : kInjected);
      ExpectReset();
    }
    rig.ExpectLedgerMatchesState(op == Op::CheckinParam ? 1 : 0);
    EXPECT_EQ(rig.FramesFor(1), 2);
    EXPECT_EQ(rig.session.Output(), clean);
  }
}

}  // namespace
}  // namespace velunary
