// The entry point: command dispatch, global setup and setdown, the parameter change, the
// Param Utils acquisition, the guarded region and the second description of the effect.
#include "host/effect_main.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "host/effect_fixture.h"
#include "host/param_index.h"
#include "sim/simulation_state.h"

namespace velunary::testing {
namespace {

using refhost::Op;

constexpr const char* kParamUtils = "PF Param Utils Suite";
constexpr const char* kNoParamUtilsMessage = "Not able to acquire AEFX Suite.";

bool IsOpaqueBlack(const PF_EffectWorld& world) {
  if (IsAbsent(world)) return false;
  const refhost::Image image = refhost::Image::FromWorld(world);
  for (const PF_Pixel& p : image.pixels) {
    if (!(p == PF_Pixel{255, 0, 0, 0})) return false;
  }
  return image.width == kWidth && image.height == kHeight;
}

using EffectMainTest = EffectTest;

TEST_F(EffectMainTest, UnhandledCommandsReturnZeroAndChangeNothing) {
  SetUpEffect();
  RenderFrames(0, 2);
  const SimulationState before = simulationState;
  const long callsBefore = TotalHostCalls(host_);
  session_.OutData().out_flags = 0x12;
  std::strcpy(session_.OutData().return_msg, "untouched");
  const PF_OutData outBefore = session_.OutData();

  // An extra record naming the reset button must not make any of them reset.
  PF_UserChangedParamExtra resetButton{ResetButton};
  for (PF_Cmd cmd : {2, 5, 6, 7, 8, 9, 10, 12, 14, 24, -1}) {
    EXPECT_EQ(session_.Send(cmd, &resetButton), PF_Err_NONE) << "command " << cmd;
  }
  EXPECT_EQ(std::memcmp(&outBefore, &session_.OutData(), sizeof(PF_OutData)), 0);
  EXPECT_EQ(TotalHostCalls(host_), callsBefore);
  EXPECT_EQ(simulationState.particleHandle, before.particleHandle);
  EXPECT_EQ(simulationState.nextFrame, before.nextFrame);
  EXPECT_EQ(simulationState.trailMap.data, before.trailMap.data);
}

TEST_F(EffectMainTest, GlobalSetupAssignsVersionAndFlags) {
  session_.OutData().out_flags = 0x7FFF;
  session_.OutData().my_version = 1;
  ASSERT_EQ(session_.GlobalSetup(), PF_Err_NONE);
  EXPECT_EQ(session_.OutData().my_version, 524288u);
  EXPECT_EQ(session_.OutData().out_flags, PF_OutFlag_NON_PARAM_VARY);
  EXPECT_TRUE(host_.GetLedger().Empty());
}

TEST_F(EffectMainTest, ResetButtonStartsTheSimulationOver) {
  SetUpEffect();
  RenderFrames(0, 0);
  const refhost::Image firstFrame = session_.Output();
  RenderFrames(1, 4);
  ASSERT_NE(simulationState.particleHandle, nullptr);
  session_.OutData().out_flags = PF_OutFlag_NON_PARAM_VARY | PF_OutFlag_DISPLAY_ERROR_MESSAGE;

  ASSERT_EQ(session_.ChangeParam(ResetButton), PF_Err_NONE);
  EXPECT_EQ(session_.OutData().out_flags, PF_OutFlag_FORCE_RERENDER);
  EXPECT_EQ(simulationState.particleHandle, nullptr);
  EXPECT_EQ(simulationState.particles, nullptr);
  EXPECT_EQ(simulationState.nextFrame, 0);
  EXPECT_TRUE(IsOpaqueBlack(simulationState.trailMap));
  EXPECT_TRUE(IsOpaqueBlack(simulationState.infectionMap));
  EXPECT_EQ(host_.GetLedger().liveHandles, 0);
  EXPECT_EQ(host_.Acquisitions(kParamUtils, 3), 1);
  EXPECT_EQ(host_.Releases(kParamUtils, 3), 1);

  // Frame 0 of the new simulation is frame 0 of the first one.
  RenderFrames(0, 0);
  EXPECT_EQ(session_.Output(), firstFrame);
}

TEST_F(EffectMainTest, OtherChangesOnlyAskForARender) {
  SetUpEffect();
  RenderFrames(0, 3);
  const SimulationState before = simulationState;
  const long disposalsBefore = host_.CallCount(Op::DisposeHandle);
  const long newWorldsBefore = host_.CallCount(Op::NewWorld);

  for (int index :
       {Input, SpawnLayer, SensorAngle, Infection, SettingsGroupStart, SettingsGroupEnd}) {
    session_.OutData().out_flags = PF_OutFlag_NON_PARAM_VARY;
    EXPECT_EQ(session_.ChangeParam(index), PF_Err_NONE) << "index " << index;
    EXPECT_EQ(session_.OutData().out_flags, PF_OutFlag_FORCE_RERENDER) << "index " << index;
  }
  session_.OutData().out_flags = PF_OutFlag_NON_PARAM_VARY;
  EXPECT_EQ(session_.ChangeParam(ResetButton, /*withRecord=*/false), PF_Err_NONE);
  EXPECT_EQ(session_.OutData().out_flags, PF_OutFlag_FORCE_RERENDER);

  EXPECT_EQ(simulationState.particleHandle, before.particleHandle);
  EXPECT_EQ(simulationState.nextFrame, before.nextFrame);
  EXPECT_EQ(host_.CallCount(Op::DisposeHandle), disposalsBefore);
  EXPECT_EQ(host_.CallCount(Op::NewWorld), newWorldsBefore);
  EXPECT_EQ(host_.GetLedger().acquiredSuites, 0);
}

TEST_F(EffectMainTest, FailedResetIsTheResult) {
  SetUpEffect();
  RenderFrames(0, 1);
  host_.FailNthCall(Op::NewWorld, 1, PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(session_.ChangeParam(ResetButton), PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(session_.OutData().out_flags, PF_OutFlag_FORCE_RERENDER);
  EXPECT_EQ(simulationState.particleHandle, nullptr);
  EXPECT_EQ(host_.GetLedger().acquiredSuites, 0);
}

TEST_F(EffectMainTest, SetdownReturnsEverythingOnce) {
  // Before any render there is nothing to dispose.
  ASSERT_EQ(session_.GlobalSetup(), PF_Err_NONE);
  EXPECT_EQ(session_.GlobalSetdown(), PF_Err_NONE);
  EXPECT_EQ(host_.CallCount(Op::DisposeHandle), 0);
  EXPECT_EQ(host_.CallCount(Op::DisposeWorld), 0);
  EXPECT_TRUE(host_.GetLedger().Empty());

  SetUpEffect();
  RenderFrames(0, 2);
  ASSERT_EQ(session_.ChangeParam(ResetButton), PF_Err_NONE);  // both maps exist now
  RenderFrames(0, 1);
  ASSERT_EQ(host_.GetLedger().liveHandles, 1);
  ASSERT_GE(host_.GetLedger().liveWorlds, 2);
  const long handleDisposals = host_.CallCount(Op::DisposeHandle);

  ASSERT_EQ(session_.GlobalSetdown(), PF_Err_NONE);
  EXPECT_TRUE(host_.GetLedger().Empty());
  EXPECT_EQ(simulationState.particleHandle, nullptr);
  EXPECT_EQ(simulationState.particles, nullptr);
  EXPECT_TRUE(IsAbsent(simulationState.trailMap));
  EXPECT_TRUE(IsAbsent(simulationState.infectionMap));
  EXPECT_TRUE(IsAbsent(simulationState.stagingWorld));
  EXPECT_EQ(host_.CallCount(Op::DisposeHandle), handleDisposals + 1);
  const long worldDisposals = host_.CallCount(Op::DisposeWorld);

  ASSERT_EQ(session_.GlobalSetdown(), PF_Err_NONE);
  EXPECT_EQ(host_.CallCount(Op::DisposeHandle), handleDisposals + 1);
  EXPECT_EQ(host_.CallCount(Op::DisposeWorld), worldDisposals);
  EXPECT_TRUE(host_.GetLedger().Empty());
}

TEST_F(EffectMainTest, RenderAfterSetdownStartsFromFrameZero) {
  SetUpEffect();
  RenderFrames(0, 4);
  const refhost::Image frame4 = session_.Output();
  ASSERT_EQ(session_.RenderFrame(3), PF_Err_NONE);  // a replay: frame 4 is one step away
  ASSERT_EQ(session_.GlobalSetdown(), PF_Err_NONE);

  // Set up again without unloading: the fields are gone, so frame 4 must be replayed from
  // frame 0 rather than stepped once from nothing.
  SetUpEffect();
  ASSERT_EQ(session_.RenderFrame(4), PF_Err_NONE);
  EXPECT_EQ(session_.Output(), frame4);
  ASSERT_EQ(session_.GlobalSetdown(), PF_Err_NONE);
  EXPECT_TRUE(host_.GetLedger().Empty());
}

TEST_F(EffectMainTest, RefusedWorldDisposalIsNotTheResultAndTheRestIsReleased) {
  SetUpEffect();
  RenderFrames(0, 1);
  ASSERT_FALSE(IsAbsent(simulationState.trailMap));
  // Refused once, the world is tried again; refused twice, it is kept. Setdown answers
  // only 0 or a suite the host cannot supply.
  host_.FailNthCall(Op::DisposeWorld, 1, PF_Err_BAD_CALLBACK_PARAM);
  host_.FailNthCall(Op::DisposeWorld, 2, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(session_.GlobalSetdown(), PF_Err_NONE);
  EXPECT_EQ(host_.GetLedger().liveHandles, 0);
  EXPECT_EQ(host_.GetLedger().acquiredSuites, 0);
  // The refused world is still held and recorded, so the next setdown returns it.
  EXPECT_FALSE(IsAbsent(simulationState.trailMap));
  EXPECT_EQ(session_.GlobalSetdown(), PF_Err_NONE);
  EXPECT_TRUE(host_.GetLedger().Empty());
}

// Records the order of acquisitions and releases on the way to the host's basic suite.
std::vector<std::string> suiteEvents;
SPBasicSuite* realBasicSuite = nullptr;

SPErr RecordAcquire(const char* name, A_long version, const void** suite) {
  suiteEvents.push_back(std::string("+") + name);
  return realBasicSuite->AcquireSuite(name, version, suite);
}

SPErr RecordRelease(const char* name, A_long version) {
  suiteEvents.push_back(std::string("-") + name);
  return realBasicSuite->ReleaseSuite(name, version);
}

TEST_F(EffectMainTest, ParamUtilsSpansTheWholeSetdown) {
  SetUpEffect();
  RenderFrames(0, 1);
  SPBasicSuite recording{};
  recording.AcquireSuite = RecordAcquire;
  recording.ReleaseSuite = RecordRelease;
  realBasicSuite = session_.InData().pica_basicP;
  session_.InData().pica_basicP = &recording;
  suiteEvents.clear();

  ASSERT_EQ(session_.GlobalSetdown(), PF_Err_NONE);
  const std::vector<std::string> expected = {"+PF Param Utils Suite", "+PF Handle Suite",
                                             "-PF Handle Suite", "-PF Param Utils Suite"};
  EXPECT_EQ(suiteEvents, expected);
  session_.InData().pica_basicP = realBasicSuite;
}

TEST_F(EffectMainTest, MissingParamUtilsStopsTheCommandWithMessage) {
  SetUpEffect();
  RenderFrames(0, 2);
  const SimulationState before = simulationState;
  host_.SetSuiteMissing(kParamUtils, 3, true);

  for (PF_Cmd cmd : {PF_Cmd_USER_CHANGED_PARAM, PF_Cmd_GLOBAL_SETDOWN}) {
    session_.OutData().out_flags = PF_OutFlag_NON_PARAM_VARY;
    std::strcpy(session_.OutData().return_msg, "");
    PF_UserChangedParamExtra resetButton{ResetButton};
    EXPECT_EQ(session_.Send(cmd, &resetButton), 13) << "command " << cmd;
    EXPECT_EQ(session_.OutData().out_flags,
              PF_OutFlag_NON_PARAM_VARY | PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    EXPECT_STREQ(session_.OutData().return_msg, kNoParamUtilsMessage);
  }
  EXPECT_EQ(simulationState.particleHandle, before.particleHandle);
  EXPECT_EQ(simulationState.nextFrame, before.nextFrame);
  EXPECT_EQ(simulationState.trailMap.data, before.trailMap.data);
  EXPECT_EQ(host_.Releases(kParamUtils, 3), 0);
  EXPECT_EQ(host_.GetLedger().acquiredSuites, 0);

  // Without an output record there is nowhere to put the message.
  const long sprintfs = host_.CallCount(Op::Sprintf);
  PF_UserChangedParamExtra resetButton{ResetButton};
  for (PF_Cmd cmd : {PF_Cmd_USER_CHANGED_PARAM, PF_Cmd_GLOBAL_SETDOWN}) {
    EXPECT_EQ(EffectMain(cmd, &session_.InData(), nullptr, nullptr, nullptr, &resetButton), 13);
  }
  EXPECT_EQ(host_.CallCount(Op::Sprintf), sprintfs);
  EXPECT_EQ(simulationState.particleHandle, before.particleHandle);

  host_.SetSuiteMissing(kParamUtils, 3, false);
  EXPECT_EQ(session_.GlobalSetdown(), PF_Err_NONE);
  EXPECT_TRUE(host_.GetLedger().Empty());
}

TEST_F(EffectMainTest, NoExceptionReachesTheHost) {
  using AddParam = decltype(PF_InteractCallbacks::add_param);
  const std::pair<AddParam, PF_Err> cases[] = {
      {[](PF_ProgPtr, PF_ParamIndex, PF_ParamDef*) -> PF_Err { throw PF_Err{77}; }, 77},
      {[](PF_ProgPtr, PF_ParamIndex, PF_ParamDef*) -> PF_Err { throw std::bad_alloc(); },
       PF_Err_OUT_OF_MEMORY},
      {[](PF_ProgPtr, PF_ParamIndex, PF_ParamDef*) -> PF_Err { throw std::logic_error("x"); },
       PF_Err_INTERNAL_STRUCT_DAMAGED},
      {[](PF_ProgPtr, PF_ParamIndex, PF_ParamDef*) -> PF_Err { throw 2.5; },
       PF_Err_INTERNAL_STRUCT_DAMAGED},
  };
  for (const auto& [addParam, expected] : cases) {
    PF_InData in = host_.MakeInData(kWidth, kHeight);
    in.inter.add_param = addParam;
    PF_OutData out{};
    EXPECT_EQ(EffectMain(PF_Cmd_PARAMS_SETUP, &in, &out, nullptr, nullptr, nullptr), expected);
    EXPECT_EQ(out.num_params, 0);
  }
}

TEST_F(EffectMainTest, MissingSuiteInsideACommandIsItsResult) {
  SetUpEffect();
  RenderFrames(0, 1);
  const SimulationState before = simulationState;
  host_.SetSuiteMissing("PF Handle Suite", 2, true);
  EXPECT_EQ(session_.GlobalSetdown(), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host_.GetLedger().acquiredSuites, 0);
  // Nothing is released before the suite is had, so the simulation is still whole.
  EXPECT_EQ(simulationState.nextFrame, before.nextFrame);
  EXPECT_EQ(simulationState.trailMap.data, before.trailMap.data);
  EXPECT_EQ(simulationState.particleHandle, before.particleHandle);
  host_.SetSuiteMissing("PF Handle Suite", 2, false);
  EXPECT_EQ(session_.GlobalSetdown(), PF_Err_NONE);
  EXPECT_TRUE(host_.GetLedger().Empty());
}

// The description callback's arguments, as received, and how often it was called.
std::string described;
int descriptions = 0;

PF_Err Describe(PF_PluginDataPtr ptr, const A_char* name, const A_char* matchName,
                const A_char* category, const A_char* entryPoint, A_long kind, A_long version,
                A_long subversion, A_long reserved) {
  ++descriptions;
  described = std::to_string(*static_cast<int*>(ptr)) + "|" + name + "|" + matchName + "|" +
              category + "|" + entryPoint + "|" + std::to_string(kind) + "|" +
              std::to_string(version) + "|" + std::to_string(subversion) + "|" +
              std::to_string(reserved);
  return 0x5151;
}

TEST(PluginDataEntryFunctionTest, DescribesTheEffectOnceAndPassesTheResultOn) {
  int hostData = 42;
  EXPECT_EQ(PluginDataEntryFunction(&hostData, Describe, nullptr, "host", "1"), 0x5151);
  EXPECT_EQ(descriptions, 1);
  EXPECT_EQ(described, "42|Didezeri|DIVA Rezederu|Sample Plug-ins|EffectMain|" +
                           std::to_string(0x65464B54) + "|13|17|8");
  EXPECT_EQ(PluginDataEntryFunction(&hostData, nullptr, nullptr, "host", "1"),
            PF_Err_INVALID_CALLBACK);
}

}  // namespace
}  // namespace velunary::testing
