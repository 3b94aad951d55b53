#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "refhost/host.h"
#include "refhost/session.h"
#include "refhost_fixture.h"

namespace refhost {
namespace {

// What the fake effect saw of its last command.
struct Seen {
  std::vector<PF_Cmd> commands;
  PF_InData in{};
  std::vector<PF_ParamDef> params;
  PF_LayerDef output{};
  void* extra = nullptr;
  A_long changedIndex = -1;
  std::string returnMsgOnEntry;
};
Seen seen;

// Declares one slider and one checkbox; renders by filling the output with the slider's
// value checked out at the current time; answers "about" through the ANSI suite.
PF_Err FakeEffect(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef* params[],
                  PF_LayerDef* output, void* extra) {
  seen.commands.push_back(cmd);
  seen.in = *in;
  seen.output = *output;
  seen.extra = extra;
  seen.params.clear();
  for (int i = 0; params[i] != nullptr; ++i) seen.params.push_back(*params[i]);
  switch (cmd) {
    case PF_Cmd_PARAMS_SETUP: {
      PF_ParamDef def{};
      def.param_type = PF_Param_FLOAT_SLIDER;
      in->utils->ansi.strcpy(def.name, "Level");
      def.u.fs_d.valid_max = 255;
      def.u.fs_d.value = 9;
      if (PF_Err err = in->inter.add_param(in->effect_ref, -1, &def)) return err;
      def = PF_ParamDef{};
      def.param_type = PF_Param_CHECKBOX;
      if (PF_Err err = in->inter.add_param(in->effect_ref, -1, &def)) return err;
      out->num_params = 3;
      return PF_Err_NONE;
    }
    case PF_Cmd_RENDER: {
      PF_ParamDef level{};
      if (PF_Err err = in->inter.checkout_param(in->effect_ref, 1, in->current_time, in->time_step,
                                                in->time_scale, &level)) {
        return err;
      }
      const auto v = static_cast<A_u_char>(level.u.fs_d.value);
      const PF_Pixel color{255, v, v, v};
      PF_Err err = in->utils->fill(in->effect_ref, &color, nullptr, output);
      in->inter.checkin_param(in->effect_ref, &level);
      return err;
    }
    case PF_Cmd_USER_CHANGED_PARAM:
      seen.changedIndex = extra ? static_cast<PF_UserChangedParamExtra*>(extra)->param_index : -1;
      return PF_Err_NONE;
    case PF_Cmd_ABOUT: {
      seen.returnMsgOnEntry = out->return_msg;
      const void* table = nullptr;
      if (in->pica_basicP->AcquireSuite(kPFANSISuite, kPFANSISuiteVersion1, &table) != 0) {
        return PF_Err_BAD_CALLBACK_PARAM;
      }
      static_cast<const PF_ANSICallbacksSuite1*>(table)->sprintf(out->return_msg, "About %d", 7);
      in->pica_basicP->ReleaseSuite(kPFANSISuite, kPFANSISuiteVersion1);
      return PF_Err_NONE;
    }
    default:
      return PF_Err_NONE;
  }
}

class SessionTest : public ::testing::Test {
 protected:
  SessionTest() { seen = Seen{}; }

  Host host;
  Session session{host, FakeEffect, 6, 4, FrameRate{2, 48}};
};

TEST_F(SessionTest, TheInputRecordIsBoundToTheHost) {
  ASSERT_EQ(session.GlobalSetup(), PF_Err_NONE);
  EXPECT_EQ(seen.commands, std::vector<PF_Cmd>{PF_Cmd_GLOBAL_SETUP});
  EXPECT_EQ(seen.in.appl_id, 0x46585443);  // "FXTC"
  EXPECT_EQ(seen.in.width, 6);
  EXPECT_EQ(seen.in.height, 4);
  EXPECT_EQ(seen.in.time_step, 2);
  EXPECT_EQ(seen.in.time_scale, 48u);
  EXPECT_EQ(seen.in.effect_ref, host.MakeInData(1, 1).effect_ref);
  EXPECT_NE(seen.in.pica_basicP, nullptr);
  EXPECT_NE(seen.in.utils, nullptr);
}

TEST_F(SessionTest, ParamsSetupRecordsTheDeclarationsAfresh) {
  ASSERT_EQ(session.ParamsSetup(), PF_Err_NONE);
  ASSERT_EQ(session.ParamsSetup(), PF_Err_NONE);
  EXPECT_EQ(host.ParamCount(), 3);
  EXPECT_EQ(session.OutData().num_params, 3);
}

TEST_F(SessionTest, FrameKRendersAtKTimesTheTimeStepOfTheFrameRate) {
  ASSERT_EQ(session.ParamsSetup(), PF_Err_NONE);
  host.SetKeyframe(1, 0, 0);
  host.SetKeyframe(1, 10, 100);
  ASSERT_EQ(session.RenderFrame(3), PF_Err_NONE);
  EXPECT_EQ(seen.in.current_time, 6);
  EXPECT_EQ(session.Output(), Image(6, 4, PF_Pixel{255, 30, 30, 30}));
  // The parameters array holds every parameter's value at the current time.
  ASSERT_EQ(seen.params.size(), 3u);
  EXPECT_EQ(seen.params[1].u.fs_d.value, 30);
  ASSERT_EQ(session.RenderAt(5), PF_Err_NONE);  // frame 2.5
  EXPECT_EQ(session.Output().At(0, 0).red, 25);
  EXPECT_TRUE(host.GetLedger().Empty());
  session.SetFrameRate(FrameRate{5, 30});
  ASSERT_EQ(session.RenderFrame(4), PF_Err_NONE);
  EXPECT_EQ(seen.in.current_time, 20);
  EXPECT_EQ(seen.in.time_scale, 30u);
}

TEST_F(SessionTest, TheOutputIsPaddedZeroedAndFollowsTheLayerSize) {
  EXPECT_EQ(session.Output(), Image(6, 4));
  ASSERT_EQ(session.ParamsSetup(), PF_Err_NONE);
  ASSERT_EQ(session.RenderFrame(0), PF_Err_NONE);
  EXPECT_EQ(seen.output.rowbytes, PaddedRowbytes(6));
  session.SetLayerSize(3, 5);
  EXPECT_EQ(session.Output(), Image(3, 5));
  ASSERT_EQ(session.RenderFrame(0), PF_Err_NONE);
  EXPECT_EQ(seen.in.width, 3);
  EXPECT_EQ(seen.output.height, 5);
  EXPECT_EQ(session.Output(), Image(3, 5, PF_Pixel{255, 9, 9, 9}));
}

TEST_F(SessionTest, AboutClearsTheMessageAndReadsIt) {
  std::strcpy(session.OutData().return_msg, "stale");
  std::string text;
  ASSERT_EQ(session.About(&text), PF_Err_NONE);
  EXPECT_EQ(seen.returnMsgOnEntry, "");
  EXPECT_EQ(text, "About 7");
  host.SetSuiteMissing(kPFANSISuite, 1, true);
  EXPECT_EQ(session.About(&text), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(text, "");
}

}  // namespace
}  // namespace refhost
