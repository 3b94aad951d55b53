// What a simulated frame takes from its inputs: the layer (scaled when its size differs),
// the Infected Layer, the "Infection" checkbox and "Random Seed".
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "effect_rig.h"
#include "refhost/image.h"

namespace velunary {
namespace {

using refhost::Image;
using refhost::Op;

constexpr int kWidth = 48;
constexpr int kHeight = 32;
constexpr PF_Pixel kWhite{255, 255, 255, 255};

class FrameInputsTest : public ::testing::Test {
 protected:
  FrameInputsTest() : rig_(kWidth, kHeight) {}

  Image Run(long frames) {
    for (long frame = 0; frame < frames; ++frame) EXPECT_EQ(rig_.FramesFor(frame), 1);
    return rig_.session.Output();
  }
  void Reset() { ASSERT_EQ(rig_.session.ChangeParam(ResetButton), PF_Err_NONE); }
  long ConvolvesFor(long frame) {
    const long before = rig_.host.CallCount(Op::Convolve);
    rig_.FramesFor(frame);
    return rig_.host.CallCount(Op::Convolve) - before;
  }

  EffectRig rig_;
};

// Nearest neighbour in integers, as the host's copy scales.
Image Scaled(const Image& source, int width, int height) {
  Image out(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      out.At(x, y) = source.At(x * source.width / width, y * source.height / height);
    }
  }
  return out;
}

long InfectedParticles() {
  const std::vector<Particle> particles = Particles();
  return std::count_if(particles.begin(), particles.end(),
                       [](const Particle& p) { return p.infected != 0; });
}

TEST_F(FrameInputsTest, LayerOfAnotherSizeSensesAsTheHostScalesIt) {
  const Image small = scenes::DemoLayer(kWidth / 2, kHeight / 2);
  rig_.host.SetLayer(Input, small);
  const Image staged = Run(4);
  EXPECT_TRUE(IsAbsent(simulationState.stagingWorld));
  rig_.ExpectLedgerMatchesState();

  Reset();
  rig_.host.SetLayer(Input, Scaled(small, kWidth, kHeight));
  EXPECT_EQ(Run(4), staged);
}

TEST_F(FrameInputsTest, InfectionMapIsFedAndDiffusedOnlyWithAnInfectedLayer) {
  rig_.host.SetValue(Infection, 1);
  EXPECT_EQ(ConvolvesFor(0), 2);  // the TrailMap's two passes
  EXPECT_EQ(Image::FromWorld(simulationState.infectionMap), Image(kWidth, kHeight, kOpaqueBlack));
  EXPECT_EQ(InfectedParticles(), 0);

  rig_.host.SetLayer(InfectedLayer, Image(kWidth / 2, kHeight / 2, kWhite));
  EXPECT_EQ(ConvolvesFor(1), 4);
  EXPECT_GT(InfectedParticles(), 0);
  rig_.ExpectLedgerMatchesState();
}

TEST_F(FrameInputsTest, CatchUpKeepsTheInfectionMapOnlyWhileInfectionIsOff) {
  rig_.host.SetValue(Infection, 1);
  rig_.host.SetLayer(InfectedLayer, Image(kWidth, kHeight, kWhite));
  rig_.FramesFor(0);
  rig_.host.SetValue(Infection, 0);
  rig_.FramesFor(1);
  const Image kept = Image::FromWorld(simulationState.infectionMap);
  ASSERT_NE(kept, Image(kWidth, kHeight, kOpaqueBlack));
  EXPECT_EQ(rig_.FramesFor(1), 2);
  EXPECT_EQ(Image::FromWorld(simulationState.infectionMap), kept);

  // On in the last frame, but with no layer to refill it: the catch-up clears it.
  rig_.host.SetValue(Infection, 1);
  rig_.host.SetLayer(InfectedLayer, Image());
  EXPECT_EQ(rig_.FramesFor(2), 1);
  EXPECT_EQ(Image::FromWorld(simulationState.infectionMap), kept);
  EXPECT_EQ(rig_.FramesFor(2), 3);
  EXPECT_EQ(Image::FromWorld(simulationState.infectionMap), Image(kWidth, kHeight, kOpaqueBlack));
}

TEST_F(FrameInputsTest, KeyframedSeedChangesSteeringFromItsFrameOn) {
  rig_.host.SetValue(RandomSeed, 7);
  Run(3);
  const std::vector<Particle> constant = Particles();

  Reset();
  rig_.host.SetKeyframe(RandomSeed, 0, 7);
  rig_.host.SetKeyframe(RandomSeed, 1, 7);
  rig_.host.SetKeyframe(RandomSeed, 2, 1234);
  Run(3);
  const std::vector<Particle> keyed = Particles();
  ASSERT_EQ(keyed.size(), constant.size());
  // Frame 2 still moves by headings steered in frame 1; only its own steering differs.
  EXPECT_TRUE(std::equal(keyed.begin(), keyed.end(), constant.begin(), SamePlace));
  EXPECT_FALSE(SameParticles(keyed, constant));

  // A replay places the particles with the seed of frame 0 and repeats the same draws.
  EXPECT_EQ(rig_.FramesFor(2), 3);
  EXPECT_TRUE(SameParticles(Particles(), keyed));
}

}  // namespace
}  // namespace velunary
