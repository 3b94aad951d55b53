// Which frames a render simulates, and what it keeps between them. (That a render naming
// no frame is refused before any host call is held by the fuzz corpus.)
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "host/param_index.h"
#include "refhost/image.h"
#include "rig/session_rig.h"
#include "scenes/demo_layer.h"
#include "sim/simulation_state.h"

namespace velunary {
namespace {

using refhost::Image;

constexpr int kWidth = 48;
constexpr int kHeight = 32;
constexpr PF_Pixel kOpaqueBlack{255, 0, 0, 0};

TEST(Timeline, EachRenderSimulatesWhatItsFrameNeeds) {
  rig::SessionRig rig(kWidth, kHeight, rig::kRate);
  const struct {
    long frame;
    long simulated;  // frames the render simulates
    long next;       // the simulation's next frame after it
  } steps[] = {{0, 1, 1},   {1, 1, 2},   {2, 1, 3},  {2, 3, 3}, {5, 6, 6},
               {-3, 0, -2}, {-2, 1, -1}, {-1, 1, 0}, {0, 1, 1}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.frame);
    // Seeding in every frame and the releases before a replay or a black frame share the
    // command's suites: one handle suite per render.
    const long handleSuites = rig.host.Acquisitions(kPFHandleSuite, kPFHandleSuiteVersion2);
    EXPECT_EQ(rig.FramesFor(step.frame), step.simulated);
    EXPECT_EQ(rig.host.Acquisitions(kPFHandleSuite, kPFHandleSuiteVersion2) - handleSuites, 1);
    EXPECT_EQ(simulationState.nextFrame, step.next);
    const Image trail = step.simulated == 0 ? Image(kWidth, kHeight, kOpaqueBlack)
                                            : Image::FromWorld(simulationState.trailMap);
    EXPECT_EQ(rig.session.Output(), trail);
    EXPECT_EQ(rig::HoldingsMismatch(rig.host, {}), "");
  }
  EXPECT_NE(rig.session.Output(), Image(kWidth, kHeight, kOpaqueBlack));
}

// A time names the frame it truncates to, and a render reads its controls at that time. A
// time-reversed layer has a negative frame length and times counting down (frame k lies at
// -k lengths), and counts its frames from 0 like a forward one.
TEST(Timeline, ATimeTruncatesTowardZeroAndCountsFramesFromZeroEitherWay) {
  rig::SessionRig rig(kWidth, kHeight, rig::kRate);
  rig.host.SetKeyframe(ParticleCount, 0, 2);
  rig.host.SetKeyframe(ParticleCount, 4, 30);
  std::vector<Image> forward;
  for (long frame = 0; frame < 4; ++frame) forward.push_back(rig.Render(frame));
  constexpr A_long kStep = rig::kRate.timeStep;
  const struct {
    A_long step;
    A_long time;
    long simulated;
    long next;
  } renders[] = {
      {kStep, -(kStep - 1), 1, 1},  // frame 0 (flooring would give -1, which simulates nothing)
      {kStep, kStep - 1, 1, 1},     // frame 0 again, a replay, read at its own time
      {-kStep, -2 * kStep, 3, 3},  {-kStep, -3 * kStep, 1, 4},
      {-kStep, -kStep, 2, 2},      {-kStep, 0, 1, 1}};
  for (const auto& r : renders) {
    SCOPED_TRACE(testing::Message() << "time " << r.time << " in frames of " << r.step);
    rig.session.InData().time_step = r.step;
    EXPECT_EQ(rig.FramesAt(r.time), r.simulated);
    EXPECT_EQ(simulationState.nextFrame, r.next);
    const double position = static_cast<double>(r.time) / r.step;
    EXPECT_EQ(simulationState.particleCount,
              ParticleCountFor(rig.host.ValueAt(ParticleCount, position), kWidth, kHeight));
    if (r.time % kStep == 0) {
      EXPECT_EQ(rig.session.Output(), forward[static_cast<size_t>(r.next - 1)]);
    }
  }
}

TEST(Timeline, ALayerOfAnotherHeightOrWidthOnlyIsScaledAsTheHostScalesIt) {
  // The host blends equal sizes only: one side differing is enough to go through staging,
  // whose copy scales by nearest neighbour, as a layer made at the size would look.
  for (const auto& [width, height] :
       {std::pair{kWidth, kHeight / 2}, std::pair{kWidth / 2, kHeight}}) {
    SCOPED_TRACE(testing::Message() << width << "x" << height);
    Image scaled(kWidth, kHeight);
    const Image small = scenes::DemoLayer(width, height);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x)
        scaled.At(x, y) = small.At(x * width / kWidth, y * height / kHeight);
    }
    Image outputs[2];
    for (int i = 0; i < 2; ++i) {
      rig::SessionRig rig(kWidth, kHeight, rig::kRate);
      rig.host.SetLayer(Input, i == 0 ? small : scaled);
      outputs[i] = rig.Render(2);
      EXPECT_EQ(rig::HoldingsMismatch(rig.host, {}), "");
    }
    EXPECT_FALSE(outputs[0].Empty());
    EXPECT_EQ(outputs[0], outputs[1]);
  }
}

// A frame's image depends on the layer size, the controls and the layers over time alone,
// never on what was rendered before it: rendered again, it is the image it was.
// A new layer size (a preview resolution) right before the frame that would come next: a
// frame on black maps would be a network that no later render of the frame reproduces.
TEST(Timeline, ANewLayerSizeReplaysFromFrameZero) {
  rig::SessionRig rig(kWidth, kHeight, rig::kRate);
  for (long frame = 0; frame < 3; ++frame) rig.Render(frame);
  rig.session.SetLayerSize(kWidth / 2, kHeight);
  EXPECT_EQ(rig.FramesFor(3), 4);
  const Image first = rig.session.Output();
  EXPECT_EQ(rig.Render(3), first);
}

}  // namespace
}  // namespace velunary
