// Which frames a render simulates, at which times, and what it shows.
#include <gtest/gtest.h>

#include <vector>

#include "effect_rig.h"
#include "refhost/image.h"

namespace velunary {
namespace {

using refhost::Image;

constexpr int kWidth = 48;
constexpr int kHeight = 32;

class RenderSimulationTest : public ::testing::Test {
 protected:
  RenderSimulationTest() : rig_(kWidth, kHeight) {}
  EffectRig rig_;
};

TEST_F(RenderSimulationTest, PlayingForwardSimulatesOneFramePerRenderAndShowsTheTrailMap) {
  for (long frame = 0; frame < 3; ++frame) {
    EXPECT_EQ(rig_.FramesFor(frame), 1);
    EXPECT_EQ(rig_.session.Output(), Image::FromWorld(simulationState.trailMap));
    rig_.ExpectLedgerMatchesState();
  }
  EXPECT_NE(rig_.session.Output(), Image(kWidth, kHeight, kOpaqueBlack));
  EXPECT_EQ(simulationState.nextFrame, 3);
}

TEST_F(RenderSimulationTest, AnyOtherFrameReplaysFromFrameZeroToTheSameImage) {
  for (long frame = 0; frame < 3; ++frame) rig_.FramesFor(frame);
  const Image third = rig_.session.Output();
  EXPECT_EQ(rig_.FramesFor(2), 3);
  EXPECT_EQ(rig_.session.Output(), third);

  EXPECT_EQ(rig_.FramesFor(5), 6);  // 0 to 5, not 3 to 5
  rig_.ExpectLedgerMatchesState();
}

TEST_F(RenderSimulationTest, FrameIndexTruncatesTowardZeroAndOneFrameReadsTheRequestedTime) {
  rig_.host.SetKeyframe(ParticleCount, 0, 2);
  rig_.host.SetKeyframe(ParticleCount, 1, 30);
  // Just below zero is frame 0 (flooring would give frame -1, which simulates nothing).
  EXPECT_EQ(rig_.FramesAt(-(kRate.timeStep - 1)), 1);
  EXPECT_EQ(simulationState.nextFrame, 1);
  // Just below one frame is frame 0 again: a replay of that single frame, at that time.
  const A_long time = kRate.timeStep - 1;
  EXPECT_EQ(rig_.FramesAt(time), 1);
  const double position = static_cast<double>(time) / kRate.timeStep;
  EXPECT_EQ(simulationState.particleCount,
            ParticleCountFor(rig_.host.ValueAt(ParticleCount, position), kWidth, kHeight));
  EXPECT_NE(simulationState.particleCount, ParticleCountFor(2, kWidth, kHeight));
  EXPECT_EQ(rig_.FramesFor(1), 1);
}

TEST_F(RenderSimulationTest, TimeReversedLayerCountsItsFramesFromZeroLikeAForwardOne) {
  rig_.host.SetKeyframe(ParticleCount, 0, 2);
  rig_.host.SetKeyframe(ParticleCount, 4, 30);
  std::vector<Image> forward;
  for (long frame = 0; frame < 4; ++frame) {
    rig_.FramesFor(frame);
    forward.push_back(rig_.session.Output());
  }
  // A negative frame length and times counting down: frame k lies at -k lengths.
  rig_.session.InData().time_step = -kRate.timeStep;
  const struct {
    long frame;
    long simulated;
  } renders[] = {{2, 3}, {3, 1}, {1, 2}, {0, 1}};
  for (const auto& render : renders) {
    SCOPED_TRACE(testing::Message() << "frame " << render.frame);
    EXPECT_EQ(rig_.FramesAt(static_cast<A_long>(-render.frame * kRate.timeStep)), render.simulated);
    EXPECT_EQ(rig_.session.Output(), forward[static_cast<size_t>(render.frame)]);
  }
  rig_.ExpectLedgerMatchesState();
}

TEST_F(RenderSimulationTest, OneRenderAcquiresTheHandleSuiteOnce) {
  // Seeding in every frame and the release before a replay share the command's suites.
  const struct {
    long frame;
    long simulated;
  } renders[] = {{0, 1}, {1, 1}, {5, 6}, {2, 3}};
  for (const auto& render : renders) {
    SCOPED_TRACE(testing::Message() << "frame " << render.frame);
    const long before = rig_.host.Acquisitions(kPFHandleSuite, kPFHandleSuiteVersion2);
    EXPECT_EQ(rig_.FramesFor(render.frame), render.simulated);
    EXPECT_EQ(rig_.host.Acquisitions(kPFHandleSuite, kPFHandleSuiteVersion2) - before, 1);
  }
  rig_.ExpectLedgerMatchesState();
}

TEST_F(RenderSimulationTest, NegativeFrameShowsBlackAndMovesNextFrame) {
  rig_.FramesFor(0);
  rig_.FramesFor(1);
  EXPECT_EQ(rig_.FramesFor(-3), 0);
  EXPECT_EQ(rig_.session.Output(), Image(kWidth, kHeight, kOpaqueBlack));
  EXPECT_EQ(simulationState.particles, nullptr);
  EXPECT_EQ(simulationState.nextFrame, -2);
  rig_.ExpectLedgerMatchesState();
  EXPECT_EQ(rig_.FramesFor(-2), 1);
}

TEST_F(RenderSimulationTest, NewLayerSizeStartsAfreshAtNextFrame) {
  rig_.FramesFor(0);
  rig_.FramesFor(1);
  rig_.session.SetLayerSize(40, 24);
  rig_.host.SetLayer(Input, scenes::DemoLayer(40, 24));
  EXPECT_EQ(rig_.FramesFor(2), 1);
  EXPECT_EQ(simulationState.trailMap.width, 40);
  EXPECT_EQ(simulationState.trailMap.height, 24);
  rig_.ExpectLedgerMatchesState();
  // Re-seeded on black maps: what frame 0 shows after a reset at that size.
  const Image resized = rig_.session.Output();
  ASSERT_EQ(rig_.session.ChangeParam(ResetButton), PF_Err_NONE);
  EXPECT_EQ(rig_.FramesFor(0), 1);
  EXPECT_EQ(rig_.session.Output(), resized);
}

}  // namespace
}  // namespace velunary
