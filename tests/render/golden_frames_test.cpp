// Frames recorded once and kept: every change made for speed must leave each output byte,
// particle and InfectionMap pixel exactly as it was. A hash that moves means the arithmetic
// changed, whichever pass changed it.
//
// The small scene passes through every path of a frame: the staging copy of an Infected
// Layer of another size, infection caught and painted, the InfectionMap's diffusion,
// sensors off the layer, particles stepping off it, keyframed controls and an odd particle
// count split between the two sensing workers. The full-HD scene is the default workload.
//
// The values hold for glibc's sine and cosine on x86-64; another C library may round them
// differently, which is not a fault of the effect.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "effect_rig.h"
#include "refhost/image.h"
#include "scenes/spawn_shape.h"

namespace velunary {
namespace {

class Fnv1a {
 public:
  void Bytes(const void* data, size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) hash_ = (hash_ ^ bytes[i]) * 1099511628211ull;
  }
  void Image(const refhost::Image& image) {
    for (const PF_Pixel& p : image.pixels) {
      const std::uint8_t argb[4] = {p.alpha, p.red, p.green, p.blue};
      Bytes(argb, sizeof argb);
    }
  }
  // Field by field, so the padding after the flag never counts.
  void Particles() {
    for (const Particle& p : velunary::Particles()) {
      for (double v : {p.x, p.y, p.heading}) Bytes(&v, sizeof v);
      Bytes(&p.infected, sizeof p.infected);
    }
  }
  std::uint64_t Value() const { return hash_; }

 private:
  std::uint64_t hash_ = 14695981039346656037ull;
};

// The output, the particles and (when there is one) the InfectionMap after a render.
std::uint64_t FrameHash(const EffectRig& rig) {
  Fnv1a hash;
  hash.Image(rig.session.Output());
  hash.Particles();
  if (!IsAbsent(simulationState.infectionMap)) {
    hash.Image(refhost::Image::FromWorld(simulationState.infectionMap));
  }
  return hash.Value();
}

TEST(GoldenFrames, SmallSceneWithInfectionMatchesRecordedFrames) {
  constexpr int kWidth = 97;
  constexpr int kHeight = 61;
  EffectRig rig(kWidth, kHeight);
  rig.host.SetLayer(SpawnLayer, scenes::SpawnDisc(kWidth, kHeight));
  rig.host.SetLayer(InfectedLayer, scenes::SpawnDisc(41, 29));
  rig.host.SetValue(Infection, 1);
  rig.host.SetValue(ParticleCount, 23);
  rig.host.SetValue(SensorDistance, 25);
  rig.host.SetKeyframe(SensorAngle, 0, 30);
  rig.host.SetKeyframe(SensorAngle, 15, 70);
  rig.host.SetKeyframe(Decay, 0, 0.05);
  rig.host.SetKeyframe(Decay, 20, 0.4);
  rig.host.SetValue(InfectedTrailColor, 120);
  rig.host.SetValue(RandomSeed, 4242);

  constexpr std::array<std::uint64_t, 24> kRecorded = {
      9237560332275451961ull,  4326589145077976285ull,  5471651802861561618ull,
      3002686642309100224ull,  9297265550098696530ull,  1563244060498160294ull,
      16606142150960796151ull, 16480663104570493896ull, 1415048021593086867ull,
      104153184508670568ull,   1022671566688496014ull,  11133259945429311078ull,
      14106948819876202909ull, 14884163608883405660ull, 1867271477388868322ull,
      10143899326140955653ull, 5908404668408206431ull,  16982933090786632020ull,
      14589154325379627016ull, 7910290417524659637ull,  194366131811687859ull,
      8376387606971980604ull,  8218905961889771170ull,  8843901538840256417ull};
  for (long frame = 0; frame < static_cast<long>(kRecorded.size()); ++frame) {
    ASSERT_EQ(rig.FramesFor(frame), 1);
    EXPECT_EQ(FrameHash(rig), kRecorded[static_cast<size_t>(frame)]) << "frame " << frame;
  }
  // The scene still covers what it was made for.
  EXPECT_EQ(simulationState.particleCount % 2, 1) << "the workers should get unequal halves";
  const std::vector<Particle> particles = Particles();
  const auto infected = std::count_if(particles.begin(), particles.end(),
                                      [](const Particle& p) { return p.infected != 0; });
  EXPECT_GT(infected, 0);
  EXPECT_LT(infected, std::ssize(particles));
  rig.ExpectLedgerMatchesState();
}

TEST(GoldenFrames, FullHdDefaultWorkloadMatchesRecordedFrame) {
  constexpr long kFrame = 10;
  EffectRig rig(1920, 1080);
  ASSERT_EQ(rig.FramesFor(kFrame), kFrame + 1);
  EXPECT_EQ(FrameHash(rig), 8454983538985567539ull);
}

}  // namespace
}  // namespace velunary
