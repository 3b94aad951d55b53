// Values at the edges of what a host can send: every control at either end of its range,
// layers of one or two pixels, particle counts that round to 0 or 1, and a memory limit
// that refuses the particle array. Each session must render, hold nothing it should not,
// keep its particles on the layer and replay to the same frames.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "session_rig.h"
#include "sim/particle.h"

namespace velunary::reliability {
namespace {

constexpr ParamIndex kSliders[] = {RandomSeed,
                                   SensorAngle,
                                   TurnAngle,
                                   SensorDistance,
                                   Decay,
                                   TrailColor,
                                   ParticleCount,
                                   InfectedSensorAngle,
                                   InfectedTurnAngle,
                                   InfectedSensorDistance,
                                   InfectedTrailColor};

void ExpectParticlesOnTheLayer(int width, int height) {
  const SimulationState& s = simulationState;
  ASSERT_NE(s.particles, nullptr);
  for (std::int32_t i = 0; i < s.particleCount; ++i) {
    const Particle& p = s.particles[i];
    EXPECT_TRUE(p.x > -0.5 && p.x < width - 0.5 && p.y > -0.5 && p.y < height - 0.5)
        << "particle " << i << " at " << p.x << ", " << p.y;
  }
}

// Frames 0 to 3 in order, each checked, then frame 3 again as a replay, which must give the
// same image.
void PlayAndReplay(SessionRig& rig, int width, int height) {
  refhost::Image last;
  for (long frame = 0; frame <= 3; ++frame) {
    last = rig.Render(frame);
    ExpectParticlesOnTheLayer(width, height);
    EXPECT_EQ(fuzzing::HoldingsMismatch(rig.host, {}), "") << "frame " << frame;
  }
  EXPECT_EQ(rig.Render(3), last);
  EXPECT_EQ(rig.session.GlobalSetdown(), PF_Err_NONE);
  EXPECT_EQ(fuzzing::HoldsAnything(rig.host, {}), "");
}

// Every slider at one end of its range, infection on, fed by a layer, and a Spawn Layer.
Scene AllControlsAt(bool maximum) {
  return [maximum](refhost::Host& host) {
    RichScene(host);
    for (ParamIndex index : kSliders) {
      const PF_FloatSliderDef& slider = host.Param(index).u.fs_d;
      host.SetValue(index, maximum ? slider.valid_max : slider.valid_min);
    }
  };
}

TEST(EdgeValues, EveryControlAtItsMinimum) {
  SessionRig rig(AllControlsAt(false));
  PlayAndReplay(rig, kWidth, kHeight);
}

TEST(EdgeValues, EveryControlAtItsMaximum) {
  SessionRig rig(AllControlsAt(true));
  rig.Render(0);
  // A Decay of 1 fades every colour to nothing within the frame; alpha stays opaque.
  for (const PF_Pixel& p : rig.session.Output().pixels) {
    ASSERT_EQ(p, (PF_Pixel{255, 0, 0, 0}));
  }
  PlayAndReplay(rig, kWidth, kHeight);
}

struct TinyLayer {
  int width;
  int height;
  double percent;
  std::int32_t particles;
};

TEST(EdgeValues, LayersOfOneAndTwoPixelsAndCountsRoundingToZeroOrOne) {
  // 30 % of 1 pixel rounds to none, of 2 pixels to one particle (which the second sensing
  // worker takes alone), and 2 % of 25 pixels is 0.5, which rounds up to one.
  for (const TinyLayer& tiny : {TinyLayer{1, 1, 30, 0}, TinyLayer{2, 1, 30, 1},
                                TinyLayer{1, 2, 30, 1}, TinyLayer{5, 5, 2, 1}}) {
    SCOPED_TRACE(testing::Message() << tiny.width << "x" << tiny.height);
    SessionRig rig(
        [&](refhost::Host& host) {
          host.SetLayer(Input, scenes::DemoLayer(tiny.width, tiny.height));
          host.SetLayer(SpawnLayer, refhost::Image(1, 1, PF_Pixel{255, 255, 255, 255}));
          host.SetLayer(InfectedLayer, refhost::Image(3, 3, PF_Pixel{255, 9, 9, 9}));
          host.SetValue(Infection, 1);
          host.SetValue(ParticleCount, tiny.percent);
        },
        tiny.width, tiny.height);
    rig.Render(0);
    EXPECT_EQ(simulationState.particleCount, tiny.particles);
    PlayAndReplay(rig, tiny.width, tiny.height);
  }
}

TEST(EdgeValues, MemoryThatRefusesTheParticleArrayFailsTheRenderUntilThereIsEnough) {
  const refhost::Image fresh = FreshRender(PlainScene, 1);
  SessionRig rig(PlainScene);
  rig.Render(0);
  const std::uint64_t bytes =
      std::uint64_t{sizeof(Particle)} * static_cast<std::uint64_t>(simulationState.particleCount);
  ASSERT_EQ(rig.session.GlobalSetdown(), PF_Err_NONE);

  rig.host.SetMemoryLimit(bytes - 1);
  EXPECT_EQ(rig.session.RenderFrame(1), PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(fuzzing::HoldsAnything(rig.host, {}), "");
  // Exactly enough is enough.
  rig.host.SetMemoryLimit(bytes);
  EXPECT_EQ(rig.Render(1), fresh);
  EXPECT_EQ(fuzzing::HoldingsMismatch(rig.host, {}), "");
}

TEST(EdgeValues, GrowthWithoutRoomForBothArraysStartsTheParticlesAfresh) {
  SessionRig rig([](refhost::Host& host) {
    PlainScene(host);
    host.SetKeyframe(ParticleCount, 0, 2);
    host.SetKeyframe(ParticleCount, 1, 30);
  });
  rig.Render(0);
  const std::int32_t grown = 115;  // round(0.3 * 16 * 24)
  // Room for the grown array alone: the old one must go before the new one is made.
  rig.host.SetMemoryLimit(std::uint64_t{sizeof(Particle)} * grown);
  const long handles = rig.host.CallCount(refhost::Op::NewHandle);
  rig.Render(1);
  EXPECT_EQ(rig.host.CallCount(refhost::Op::NewHandle) - handles, 2);
  EXPECT_EQ(simulationState.particleCount, grown);
  ExpectParticlesOnTheLayer(kWidth, kHeight);
  EXPECT_EQ(fuzzing::HoldingsMismatch(rig.host, {}), "");
}

}  // namespace
}  // namespace velunary::reliability
