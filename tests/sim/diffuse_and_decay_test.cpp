#include "sim/diffuse_and_decay.h"

#include <gtest/gtest.h>

#include <string>

#include "host/host_services.h"
#include "refhost/host.h"
#include "refhost/image.h"
#include "sim/simulation_state.h"
#include "sim_test_support.h"

namespace velunary {
namespace {

constexpr int kSize = 5;

class DiffuseAndDecayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessStateForTesting();
    PF_Err err = PF_Err_NONE;
    NewBlackWorld(&in_, &map_, &err);
    ASSERT_EQ(err, PF_Err_NONE);
  }

  void TearDown() override { HostDisposeWorld(&in_, &map_); }

  // Runs the pass and returns what it wrote to standard output.
  std::string Run(PF_Err* err) {
    testing::internal::CaptureStdout();
    DiffuseAndDecay(&in_, err, map_);
    return testing::internal::GetCapturedStdout();
  }

  refhost::Image Map() const { return refhost::Image::FromWorld(map_); }

  // A single gray 90 pixel at the centre of a black field.
  refhost::Image PaintDot() {
    refhost::Image dot(kSize, kSize, kBlack);
    dot.At(2, 2) = Gray(90);
    dot.CopyInto(map_);
    return dot;
  }

  refhost::Host host_;
  PF_InData in_ = host_.MakeInData(kSize, kSize);
  PF_EffectWorld map_{};
};

TEST_F(DiffuseAndDecayTest, DiffusionAveragesEachNeighbourhoodAndLeavesAlphaOpaque) {
  PaintDot();
  simulationSettings.decay = 0;
  PF_Err err = PF_Err_NONE;

  EXPECT_EQ(Run(&err), "");

  EXPECT_EQ(err, PF_Err_NONE);
  // Colour: the rounded mean of the 3x3 window. Alpha: the window's sum, clamped, so the
  // corners (four opaque pixels inside the image) stay opaque.
  refhost::Image expected(kSize, kSize, kBlack);
  for (int y = 1; y <= 3; ++y) {
    for (int x = 1; x <= 3; ++x) expected.At(x, y) = Gray(10);
  }
  EXPECT_EQ(Map(), expected);
  const refhost::Ledger ledger = host_.GetLedger();
  EXPECT_EQ(ledger.liveWorlds, 1) << "only the map itself";
  EXPECT_EQ(ledger.acquiredSuites, 0);
}

TEST_F(DiffuseAndDecayTest, DecayTapIsOneMinusDecayOn255RoundedHalfAway) {
  const struct {
    double decay;
    int tap;
  } cases[] = {{0, 255}, {0.1, 230}, {0.3, 179}, {0.5, 128}, {1, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.decay);
    // In a white field the centre stays 255 after diffusion, so decay leaves k there.
    refhost::Image(kSize, kSize, Gray(255)).CopyInto(map_);
    simulationSettings.decay = c.decay;
    PF_Err err = PF_Err_NONE;
    Run(&err);
    EXPECT_EQ(err, PF_Err_NONE);
    EXPECT_EQ(Map().At(2, 2), Gray(c.tap));
  }
}

TEST_F(DiffuseAndDecayTest, PendingErrorMakesNothingAndOnlyPositiveCodesAreReported) {
  const refhost::Image dot = PaintDot();
  const long callsBefore = host_.CountFailableCalls();
  PF_Err err = PF_Err_OUT_OF_MEMORY;

  EXPECT_EQ(Run(&err), "err");

  EXPECT_EQ(err, PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(Map(), dot);
  EXPECT_EQ(host_.CountFailableCalls(), callsBefore) << "no host call at all";

  err = -1;
  EXPECT_EQ(Run(&err), "");
  EXPECT_EQ(err, -1);
}

struct HostFailure {
  refhost::Op op;
  long nth;
  long convolutions;  // made before the pass gives up
  long disposals;     // a refused disposal is tried once more
  bool mapUnchanged;
};

class DiffuseAndDecayFailureTest : public DiffuseAndDecayTest,
                                   public ::testing::WithParamInterface<HostFailure> {};

TEST_P(DiffuseAndDecayFailureTest, KeepsTheFailingCodeAndReleasesTheTemporaryWorld) {
  const HostFailure failure = GetParam();
  const refhost::Image dot = PaintDot();
  simulationSettings.decay = 0.5;
  const long worldsBefore = host_.CallCount(refhost::Op::NewWorld);
  host_.FailNthCall(failure.op, failure.nth, PF_Err_INTERNAL_STRUCT_DAMAGED);
  PF_Err err = PF_Err_NONE;

  EXPECT_EQ(Run(&err), "err");

  EXPECT_EQ(err, PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_EQ(host_.CallCount(refhost::Op::Convolve), failure.convolutions);
  if (failure.mapUnchanged) {
    EXPECT_EQ(Map(), dot);
  }
  EXPECT_EQ(host_.CallCount(refhost::Op::NewWorld) - worldsBefore, 1);
  EXPECT_EQ(host_.CallCount(refhost::Op::DisposeWorld), failure.disposals);
  const refhost::Ledger ledger = host_.GetLedger();
  EXPECT_EQ(ledger.liveWorlds, 1) << "only the map itself";
  EXPECT_EQ(ledger.acquiredSuites, 0);
  EXPECT_EQ(ledger.faults, 0);
}

INSTANTIATE_TEST_SUITE_P(EachHostCall, DiffuseAndDecayFailureTest,
                         ::testing::Values(HostFailure{refhost::Op::NewWorld, 1, 0, 0, true},
                                           HostFailure{refhost::Op::Fill, 1, 0, 1, true},
                                           HostFailure{refhost::Op::Convolve, 1, 1, 1, true},
                                           HostFailure{refhost::Op::Convolve, 2, 2, 1, false},
                                           HostFailure{refhost::Op::DisposeWorld, 1, 2, 2, false}));

TEST_F(DiffuseAndDecayTest, FailedDisposalDoesNotHideAnEarlierError) {
  host_.FailNthCall(refhost::Op::Convolve, 1, PF_Err_INTERNAL_STRUCT_DAMAGED);
  host_.FailNthCall(refhost::Op::DisposeWorld, 1, PF_Err_BAD_CALLBACK_PARAM);
  PF_Err err = PF_Err_NONE;

  EXPECT_EQ(Run(&err), "err");

  EXPECT_EQ(err, PF_Err_INTERNAL_STRUCT_DAMAGED);
}

TEST_F(DiffuseAndDecayTest, SuiteTheHostCannotSupplyStillReleasesTheTemporaryWorld) {
  const refhost::Image dot = PaintDot();
  host_.SetSuiteMissing(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1, true);
  PF_Err err = PF_Err_NONE;
  int thrown = 0;

  testing::internal::CaptureStdout();
  try {
    DiffuseAndDecay(&in_, &err, map_);
  } catch (int code) {
    thrown = code;
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

  EXPECT_EQ(thrown, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(Map(), dot);
  const refhost::Ledger ledger = host_.GetLedger();
  EXPECT_EQ(ledger.liveWorlds, 1);
  EXPECT_EQ(ledger.acquiredSuites, 0);
  EXPECT_EQ(ledger.faults, 0);
}

}  // namespace
}  // namespace velunary
