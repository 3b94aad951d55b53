#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "refhost/host.h"
#include "refhost_fixture.h"

namespace refhost {
namespace {

class ParamsTest : public HostFixture {
 protected:
  ParamsTest() {
    in.time_step = 2;
    in.time_scale = 24;
    PF_ParamDef def{};
    def.param_type = PF_Param_FLOAT_SLIDER;
    std::strcpy(def.name, "Decay");
    def.u.fs_d.valid_min = 0;
    def.u.fs_d.valid_max = 1;
    def.u.fs_d.value = 0.1;
    EXPECT_EQ(in.inter.add_param(ref(), -1, &def), PF_Err_NONE);  // 1
    def = PF_ParamDef{};
    def.param_type = PF_Param_CHECKBOX;
    std::strcpy(def.name, "Infection");
    EXPECT_EQ(in.inter.add_param(ref(), -1, &def), PF_Err_NONE);  // 2
    def = PF_ParamDef{};
    def.param_type = PF_Param_LAYER;
    std::strcpy(def.name, "Spawn Layer");
    EXPECT_EQ(in.inter.add_param(ref(), -1, &def), PF_Err_NONE);  // 3
  }

  // Checks out, checks in, answers the record.
  PF_ParamDef At(PF_ParamIndex index, A_long whatTime) {
    PF_ParamDef param{};
    EXPECT_EQ(in.inter.checkout_param(ref(), index, whatTime, in.time_step, in.time_scale, &param),
              PF_Err_NONE);
    EXPECT_EQ(in.inter.checkin_param(ref(), &param), PF_Err_NONE);
    return param;
  }
};

TEST_F(ParamsTest, SliderInterpolatesLinearlyBetweenKeyframesAndHoldsOutside) {
  EXPECT_EQ(At(1, 6).u.fs_d.value, 0.1) << "the declared default";
  host.SetKeyframe(1, 10, 0.2);
  host.SetKeyframe(1, 4, 0.9);
  host.SetKeyframe(1, 13, 0.5);
  EXPECT_EQ(At(1, 0).u.fs_d.value, 0.9);    // frame 0, before the first keyframe
  EXPECT_EQ(At(1, 8).u.fs_d.value, 0.9);    // frame 4, the keyframe itself
  EXPECT_EQ(At(1, 20).u.fs_d.value, 0.2);   // frame 10
  EXPECT_EQ(At(1, 100).u.fs_d.value, 0.5);  // frame 50, after the last
  // Frame 7 and frame 11.5 (what_time 23 with time step 2), in double precision.
  EXPECT_EQ(At(1, 14).u.fs_d.value, 0.9 + (0.2 - 0.9) * ((7.0 - 4.0) / (10.0 - 4.0)));
  EXPECT_EQ(At(1, 23).u.fs_d.value, 0.2 + (0.5 - 0.2) * ((11.5 - 10.0) / (13.0 - 10.0)));
  EXPECT_EQ(host.ValueAt(1, 11.5), 0.2 + (0.5 - 0.2) * ((11.5 - 10.0) / (13.0 - 10.0)));
}

TEST_F(ParamsTest, ACheckboxHoldsTheLastKeyframeAtOrBeforeTheTime) {
  EXPECT_EQ(At(2, 6).u.bd.value, 0) << "the declared default";
  host.SetKeyframe(2, 3, 1);
  host.SetKeyframe(2, 6, 0);
  EXPECT_EQ(At(2, 0).u.bd.value, 1);   // before the first keyframe: its value
  EXPECT_EQ(At(2, 11).u.bd.value, 1);  // frame 5.5
  EXPECT_EQ(At(2, 12).u.bd.value, 0);  // frame 6
}

TEST_F(ParamsTest, ALayerIsAHostWorldWithPaddedRowsOrAllZero) {
  EXPECT_EQ(At(3, 0).u.ld.data, nullptr);
  const Image image = Pattern(5, 4, 8);
  host.SetLayer(3, image);
  const PF_LayerDef layer = At(3, 0).u.ld;
  EXPECT_EQ(layer.rowbytes, PaddedRowbytes(5));
  EXPECT_EQ(Image::FromWorld(layer), image);
  EXPECT_FALSE(host.IsLiveEffectWorld(layer));
  EXPECT_THROW(host.SetLayer(1, image), std::invalid_argument);
  host.SetLayer(3, Image());
  EXPECT_EQ(At(3, 0).u.ld.data, nullptr);
}

TEST_F(ParamsTest, OpenCheckoutsAreCountedAndFalseCheckinsAreFaults) {
  PF_ParamDef a{};
  PF_ParamDef b{};
  ASSERT_EQ(in.inter.checkout_param(ref(), 1, 0, 1, 24, &a), PF_Err_NONE);
  ASSERT_EQ(in.inter.checkout_param(ref(), 1, 0, 1, 24, &b), PF_Err_NONE);
  EXPECT_EQ(host.GetLedger().openCheckouts, 2);
  PF_ParamDef copy = a;  // a copy of the record checks in the check-out
  EXPECT_EQ(in.inter.checkin_param(ref(), &copy), PF_Err_NONE);
  EXPECT_EQ(in.inter.checkin_param(ref(), &a), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(in.inter.checkin_param(ref(), &b), PF_Err_NONE);
  const Ledger ledger = host.GetLedger();
  EXPECT_EQ(ledger.openCheckouts, 0);
  EXPECT_EQ(ledger.faults, 1);
}

}  // namespace
}  // namespace refhost
