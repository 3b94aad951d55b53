// The declared parameters as the host stores them: every field of every row, and what a
// refused row leaves behind.
#include "host/params_setup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/effect_fixture.h"
#include "host/param_index.h"

namespace velunary::testing {
namespace {

using refhost::Op;

struct Row {
  int index;
  const char* name;
  PF_ParamType type;
  A_long id;
  PF_ParamFlags flags;
};

// What the host's effect controls and saved projects depend on.
constexpr Row kRows[] = {
    {SpawnLayer, "Spawn Layer", PF_Param_LAYER, 2, PF_ParamFlag_SUPERVISE},
    {RandomSeed, "Random Seed", PF_Param_FLOAT_SLIDER, 1, PF_ParamFlag_SUPERVISE},
    {SensorAngle, "Sensor Angle", PF_Param_FLOAT_SLIDER, 3, PF_ParamFlag_SUPERVISE},
    {TurnAngle, "Turn Angle", PF_Param_FLOAT_SLIDER, 4, PF_ParamFlag_SUPERVISE},
    {SensorDistance, "Sensor Distance", PF_Param_FLOAT_SLIDER, 5, PF_ParamFlag_SUPERVISE},
    {Decay, "Decay", PF_Param_FLOAT_SLIDER, 6, PF_ParamFlag_SUPERVISE},
    {TrailColor, "Trail Color", PF_Param_FLOAT_SLIDER, 7, PF_ParamFlag_SUPERVISE},
    {ParticleCount, "Particle Count in %", PF_Param_FLOAT_SLIDER, 8, PF_ParamFlag_SUPERVISE},
    {Infection, "Infection", PF_Param_CHECKBOX, 9, PF_ParamFlag_SUPERVISE},
    {InfectionGroupStart, "Infection", PF_Param_GROUP_START, 10, PF_ParamFlag_SUPERVISE},
    {InfectedLayer, "Infected Layer", PF_Param_LAYER, 11, PF_ParamFlag_SUPERVISE},
    {InfectedSensorAngle, "Infected Sensor Angle", PF_Param_FLOAT_SLIDER, 12,
     PF_ParamFlag_SUPERVISE},
    {InfectedTurnAngle, "Infected Turn Angle", PF_Param_FLOAT_SLIDER, 13, PF_ParamFlag_SUPERVISE},
    {InfectedSensorDistance, "Infected Sensor Distance", PF_Param_FLOAT_SLIDER, 14,
     PF_ParamFlag_SUPERVISE},
    {InfectedTrailColor, "Infected Trail Color", PF_Param_FLOAT_SLIDER, 15, PF_ParamFlag_SUPERVISE},
    {InfectionGroupEnd, "Infected Trail Color", PF_Param_GROUP_END, 16, PF_ParamFlag_SUPERVISE},
    {SettingsGroupStart, "Settings", PF_Param_GROUP_START, 17, 0},
    {ResetButton, "Button", PF_Param_BUTTON, 18, PF_ParamFlag_SUPERVISE},
    {SettingsGroupEnd, "Button", PF_Param_GROUP_END, 19, PF_ParamFlag_SUPERVISE},
};

struct Slider {
  int index;
  float min, max;
  double dephault;
  A_short precision;
};

constexpr Slider kSliders[] = {
    {RandomSeed, -32768, 32767, 32767, 0},
    {SensorAngle, 0, 360, 45, 1},
    {TurnAngle, 0, 360, 45, 1},
    {SensorDistance, 1, 100, 9, 2},
    {Decay, 0, 1, 0.1, 2},  // the double 0.1 and the float 0.1, neither widened from the other
    {TrailColor, 1, 255, 50, 0},
    {ParticleCount, 2, 30, 15, 0},
    {InfectedSensorAngle, 0, 360, 13, 1},
    {InfectedTurnAngle, 0, 360, 7, 1},
    {InfectedSensorDistance, 1, 100, 15, 2},
    {InfectedTrailColor, 1, 255, 100, 0},
    // The group end after the infected sliders goes out in the last slider's record.
    {InfectionGroupEnd, 1, 255, 100, 0},
};

// Whether the bytes of a value are all zero.
template <typename T>
bool AllZero(const T& value) {
  const T zero{};
  return std::memcmp(&value, &zero, sizeof(T)) == 0;
}

class ParamsSetupTest : public EffectTest {
 protected:
  void SetUp() override {
    session_.OutData().num_params = -5;
    ASSERT_EQ(session_.ParamsSetup(), PF_Err_NONE);
  }
};

TEST_F(ParamsSetupTest, DeclaresNineteenRowsInOrder) {
  EXPECT_EQ(session_.OutData().num_params, 20);
  EXPECT_EQ(host_.CallCount(Op::AddParam), 19);
  ASSERT_EQ(host_.ParamCount(), 20);
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.index);
    const PF_ParamDef& def = host_.Param(row.index);
    EXPECT_STREQ(def.name, row.name);
    EXPECT_EQ(def.param_type, row.type);
    EXPECT_EQ(def.uu.id, row.id);
    EXPECT_EQ(def.flags, row.flags);
    EXPECT_EQ(def.ui_flags, 0);
    EXPECT_EQ(def.ui_width, 0);
    EXPECT_EQ(def.ui_height, 0);
  }
}

TEST_F(ParamsSetupTest, SlidersShowTheirRangesAndDefaults) {
  for (const Slider& s : kSliders) {
    SCOPED_TRACE(s.index);
    const PF_FloatSliderDef& f = host_.Param(s.index).u.fs_d;
    EXPECT_EQ(f.value, s.dephault);
    EXPECT_EQ(f.dephault, static_cast<float>(s.dephault));
    EXPECT_EQ(f.valid_min, s.min);
    EXPECT_EQ(f.valid_max, s.max);
    EXPECT_EQ(f.slider_min, s.min);
    EXPECT_EQ(f.slider_max, s.max);
    EXPECT_EQ(f.precision, s.precision);
    EXPECT_EQ(f.curve_tolerance, 0.05f);
    EXPECT_EQ(f.phase, 0.0);
    EXPECT_EQ(f.display_flags, 0);
    EXPECT_EQ(f.fs_flags, 0);
    EXPECT_EQ(f.useExponent, 0);
    EXPECT_EQ(f.exponent, 0.0f);
  }
}

TEST_F(ParamsSetupTest, LayersCheckboxAndButtonStartEmpty) {
  EXPECT_TRUE(AllZero(host_.Param(SpawnLayer).u.ld));
  EXPECT_TRUE(AllZero(host_.Param(InfectedLayer).u.ld));
  EXPECT_TRUE(AllZero(host_.Param(SettingsGroupStart).u));

  for (int index : {Infection, InfectionGroupStart}) {
    SCOPED_TRACE(index);
    const PF_CheckBoxDef& box = host_.Param(index).u.bd;
    EXPECT_EQ(box.value, 0);
    EXPECT_EQ(box.dephault, 0);
    ASSERT_NE(box.u.nameptr, nullptr);
    EXPECT_STREQ(box.u.nameptr, "");
  }
  for (int index : {ResetButton, SettingsGroupEnd}) {
    SCOPED_TRACE(index);
    const PF_ButtonDef& button = host_.Param(index).u.button_d;
    EXPECT_EQ(button.value, 0);
    ASSERT_NE(button.u.namesptr, nullptr);
    EXPECT_STREQ(button.u.namesptr, "Reset particles");
  }
}

TEST_F(ParamsSetupTest, ARefusedRowEndsTheDeclaration) {
  for (int k = 1; k <= 19; ++k) {
    SCOPED_TRACE(k);
    host_.ClearDeclarations();
    const long before = host_.CallCount(Op::AddParam);
    host_.FailNthCall(Op::AddParam, k, 4242);
    PF_InData in = host_.MakeInData(kWidth, kHeight);
    PF_OutData out{};
    out.num_params = 7;
    EXPECT_EQ(EffectMain(PF_Cmd_PARAMS_SETUP, &in, &out, nullptr, nullptr, nullptr), 4242);
    EXPECT_EQ(host_.CallCount(Op::AddParam) - before, k);
    EXPECT_EQ(host_.ParamCount(), k);  // the layer itself and rows 1 to k - 1
    EXPECT_EQ(out.num_params, 7);
    host_.ClearFailures();
  }
}

}  // namespace
}  // namespace velunary::testing
