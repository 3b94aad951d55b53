// The about text and when it is not written.
#include "host/about.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/effect_fixture.h"

namespace velunary::testing {
namespace {

using refhost::Op;

constexpr const char* kAnsi = "PF ANSI Suite";

class AboutTest : public EffectTest {
 protected:
  PF_Err SendAbout(PF_InData& in, PF_OutData& out) {
    return EffectMain(PF_Cmd_ABOUT, &in, &out, nullptr, nullptr, nullptr);
  }
};

TEST_F(AboutTest, TwoLinesSplitByOneCarriageReturn) {
  std::string text;
  ASSERT_EQ(session_.About(&text), PF_Err_NONE);
  EXPECT_EQ(text, "VELUNARY v1.0\rThank you for using Velunary. Let networks grow!");
  EXPECT_EQ(host_.Acquisitions(kAnsi, 1), 1);
  EXPECT_EQ(host_.Releases(kAnsi, 1), 1);
  EXPECT_TRUE(host_.GetLedger().Empty());
}

TEST_F(AboutTest, PremiereGetsNothing) {
  PF_InData in = host_.MakeInData(kWidth, kHeight);
  in.appl_id = PF_APPL_ID_PREMIERE;
  PF_OutData out{};
  std::strcpy(out.return_msg, "the host's own text");
  EXPECT_EQ(SendAbout(in, out), PF_Err_NONE);
  EXPECT_STREQ(out.return_msg, "the host's own text");
  EXPECT_EQ(TotalHostCalls(host_), 0);
}

TEST_F(AboutTest, MissingAnsiSuiteWritesNothing) {
  host_.SetSuiteMissing(kAnsi, 1, true);
  PF_InData in = host_.MakeInData(kWidth, kHeight);
  PF_OutData out{};
  std::strcpy(out.return_msg, "before");
  EXPECT_EQ(SendAbout(in, out), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_STREQ(out.return_msg, "before");
  EXPECT_EQ(out.out_flags, 0);
  EXPECT_TRUE(host_.GetLedger().Empty());

  in.pica_basicP = nullptr;
  EXPECT_EQ(SendAbout(in, out), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_STREQ(out.return_msg, "before");
}

}  // namespace
}  // namespace velunary::testing
