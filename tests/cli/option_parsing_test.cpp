#include "option_parsing.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>
#include <utility>

#include "errors.h"
#include "render_plan.h"

namespace velunary::cli {
namespace {

TEST(OptionParsing, FrameRatesBecomeExactTimeStepAndScale) {
  const struct {
    const char* text;
    A_long step;
    A_u_long scale;
  } rates[] = {{"24", 1, 24},   {"29.97", 100, 2997}, {"30000/1001", 1001, 30000},
               {"48/2", 1, 24}, {"12.5", 2, 25},      {".5", 2, 1}};
  for (const auto& r : rates) {
    const refhost::FrameRate rate = ParseFrameRate(r.text);
    EXPECT_EQ(std::pair(rate.timeStep, rate.timeScale), std::pair(r.step, r.scale)) << r.text;
  }
  for (const char* bad : {"", "0", "-24", "24.", "1/0", "abc", "24fps", "99999999999"}) {
    EXPECT_THROW(ParseFrameRate(bad), UsageError) << bad;
  }
}

TEST(OptionParsing, FrameListsKeepOrderAndRepeats) {
  EXPECT_EQ(ParseFrameList("0,1,2,5,2"), (std::vector<long>{0, 1, 2, 5, 2}));
  for (const char* bad : {"", "1,,2", "-1", "3,", "1.5"}) {
    EXPECT_THROW(ParseFrameList(bad), UsageError) << bad;
  }
}

// A list holds no more frames than --frames takes. The kernel's limit on arguments keeps
// such a list off a command line, so the plan is asked directly.
TEST(OptionParsing, FrameListsAreCappedLikeFrames) {
  RenderOptions options;
  options.frameListGiven = true;
  options.frameList = "0";
  for (long i = 1; i < kMaxFrames; ++i) options.frameList += ",0";
  EXPECT_EQ(PlanRender(options).frames.size(), static_cast<size_t>(kMaxFrames));
  options.frameList += ",0";
  EXPECT_THROW(PlanRender(options), UsageError);
}

TEST(OptionParsing, KeysSplitNameFrameAndValue) {
  const ControlAssignment key = ParseKey("Particle Count in %@48=20");
  EXPECT_EQ(std::tie(key.name, key.frame, key.value), std::tuple("Particle Count in %", 48, "20"));
  const ControlAssignment set = ParseSet("Decay = 0.5");
  EXPECT_EQ(std::tie(set.name, set.frame, set.value), std::tuple("Decay", std::nullopt, "0.5"));
  for (const char* bad : {"Decay@=1", "@3=1", "Decay@3=", "Decay@-3=1"}) {
    EXPECT_THROW(ParseKey(bad), UsageError) << bad;
  }
}

}  // namespace
}  // namespace velunary::cli
