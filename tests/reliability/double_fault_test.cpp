// Two failures in one render, as the fuzzer combined them: the second strikes the
// clean-up of the first. A host that refuses a check-in or a world once must still get it
// back, and the render after must start from nothing.
#include <gtest/gtest.h>

#include "scene_rig.h"

namespace velunary::reliability {
namespace {

using refhost::Op;

class DoubleFaultTest : public ::testing::Test {
 protected:
  DoubleFaultTest() {
    rig_.Render(0);
    rig_.Render(1);
  }

  void ExpectHoldsOnlyItsState() const { EXPECT_EQ(rig::HoldingsMismatch(rig_.host, {}), ""); }

  // One host at a time: the fresh start's frame 0 is rendered before the rig's host exists.
  const refhost::Image freshFrame0_ = FreshRender(PlainScene, 0);
  SessionRig rig_{PlainScene};
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

}  // namespace
}  // namespace velunary::reliability
