// The entry point's own answers that no session check sees: a refused disposal at setdown,
// the message when Param Utils cannot be had, and the guarded region. (Dispatch, resets and
// every host failure are checked by the fuzz corpus and the fault sweep.)
#include "plugin/effect_main.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <utility>

#include "host/param_index.h"
#include "rig/session_rig.h"
#include "sim/simulation_state.h"

namespace velunary {
namespace {

using refhost::Op;

class EffectMainTest : public ::testing::Test {
 protected:
  EffectMainTest() {
    for (long frame = 0; frame <= 2; ++frame) EXPECT_EQ(rig_.FramesFor(frame), 1);
  }

  rig::SessionRig rig_{40, 30, rig::kRate};
};

TEST_F(EffectMainTest, RefusedWorldDisposalIsNotTheResultAndTheRestIsReleased) {
  const refhost::Image first = rig_.Render(0);
  // Refused once, the world is tried again; refused twice, it is kept. Setdown answers
  // only 0 or a suite the host cannot supply.
  for (long n : {1, 2}) rig_.host.FailNthCall(Op::DisposeWorld, n, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(rig_.session.GlobalSetdown(), PF_Err_NONE);
  EXPECT_EQ(rig::HoldingsMismatch(rig_.host, {}), "");
  // The refused world is still held and recorded, so the next setdown returns it; a render
  // before then starts on black maps, not on the pixels it holds.
  EXPECT_FALSE(IsAbsent(simulationState.trailMap));
  EXPECT_EQ(rig_.Render(0), first);
  EXPECT_EQ(rig_.session.GlobalSetdown(), PF_Err_NONE);
  EXPECT_TRUE(rig_.host.GetLedger().Empty());
}

// The change and setdown stop at once, with the message where there is an output record.
TEST_F(EffectMainTest, MissingParamUtilsStopsTheCommandWithMessage) {
  const SimulationState before = simulationState;
  rig_.host.SetSuiteMissing("PF Param Utils Suite", 3, true);
  PF_UserChangedParamExtra resetButton{ResetButton};
  for (PF_Cmd cmd : {PF_Cmd_USER_CHANGED_PARAM, PF_Cmd_GLOBAL_SETDOWN}) {
    rig_.session.OutData().out_flags = PF_OutFlag_NON_PARAM_VARY;
    std::strcpy(rig_.session.OutData().return_msg, "");
    EXPECT_EQ(rig_.session.Send(cmd, &resetButton), 13) << "command " << cmd;
    EXPECT_EQ(rig_.session.OutData().out_flags,
              PF_OutFlag_NON_PARAM_VARY | PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    EXPECT_STREQ(rig_.session.OutData().return_msg, "Not able to acquire AEFX Suite.");
    const long sprintfs = rig_.host.CallCount(Op::Sprintf);
    EXPECT_EQ(EffectMain(cmd, &rig_.session.InData(), nullptr, nullptr, nullptr, &resetButton), 13);
    EXPECT_EQ(rig_.host.CallCount(Op::Sprintf), sprintfs);
    // A host that lends no suites at all refuses it as surely.
    PF_InData noSuites = rig_.session.InData();
    noSuites.pica_basicP = nullptr;
    EXPECT_EQ(EffectMain(cmd, &noSuites, nullptr, nullptr, nullptr, &resetButton), 13);
  }
  EXPECT_EQ(simulationState.particleHandle, before.particleHandle);
  EXPECT_EQ(simulationState.nextFrame, before.nextFrame);
  EXPECT_EQ(simulationState.trailMap.data, before.trailMap.data);
  EXPECT_EQ(rig::HoldingsMismatch(rig_.host, {}), "");
}

TEST_F(EffectMainTest, NoExceptionReachesTheHost) {
  using AddParam = decltype(PF_InteractCallbacks::add_param);
  const std::pair<AddParam, PF_Err> cases[] = {
      {[](PF_ProgPtr, PF_ParamIndex, PF_ParamDef*) -> PF_Err { throw PF_Err{77}; }, 77},
      {[](PF_ProgPtr, PF_ParamIndex, PF_ParamDef*) -> PF_Err { throw std::bad_alloc(); },
       PF_Err_OUT_OF_MEMORY},
      {[](PF_ProgPtr, PF_ParamIndex, PF_ParamDef*) -> PF_Err { throw 2.5; },
       PF_Err_INTERNAL_STRUCT_DAMAGED},
  };
  for (const auto& [addParam, expected] : cases) {
    PF_InData in = rig_.host.MakeInData(40, 30);
    in.inter.add_param = addParam;
    PF_OutData out{};
    EXPECT_EQ(EffectMain(PF_Cmd_PARAMS_SETUP, &in, &out, nullptr, nullptr, nullptr), expected);
    EXPECT_EQ(out.num_params, 0);
  }
}

}  // namespace
}  // namespace velunary
