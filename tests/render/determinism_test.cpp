// Playback is repeatable: a fixed, animated scene shows every frame bit for bit the same
// whether it is reached by playing forward or by jumping to it.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>

#include "effect_rig.h"
#include "refhost/image.h"
#include "scenes/spawn_shape.h"

namespace velunary {
namespace {

std::uint64_t Fnv1a(const refhost::Image& image) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const PF_Pixel& p : image.pixels) {
    for (std::uint8_t byte : {p.alpha, p.red, p.green, p.blue}) {
      hash = (hash ^ byte) * 1099511628211ull;
    }
  }
  return hash;
}

TEST(RenderDeterminism, ScrubbedFramesMatchSequentialPlayback) {
  constexpr int kWidth = 64;
  constexpr int kHeight = 40;
  EffectRig rig(kWidth, kHeight);
  rig.host.SetLayer(SpawnLayer, scenes::SpawnDisc(kWidth, kHeight));
  rig.host.SetLayer(InfectedLayer, scenes::SpawnDisc(kWidth / 2, kHeight / 2));
  rig.host.SetKeyframe(Infection, 0, 0);
  rig.host.SetKeyframe(Infection, 3, 1);
  rig.host.SetKeyframe(RandomSeed, 0, 11);
  rig.host.SetKeyframe(RandomSeed, 6, -500);
  rig.host.SetKeyframe(ParticleCount, 0, 5);
  rig.host.SetKeyframe(ParticleCount, 9, 20);
  rig.host.SetKeyframe(SensorAngle, 0, 0.4);
  rig.host.SetKeyframe(SensorAngle, 10, 1.1);
  rig.host.SetKeyframe(Decay, 4, 0.05);
  rig.host.SetKeyframe(Decay, 8, 0.3);

  constexpr long kFrames = 12;
  std::map<long, std::uint64_t> sequential;
  for (long frame = 0; frame < kFrames; ++frame) {
    ASSERT_EQ(rig.FramesFor(frame), 1);
    sequential[frame] = Fnv1a(rig.session.Output());
  }
  // Jumps back and ahead, a repeat, and steps forward after a jump.
  for (long frame : {7L, 3L, 4L, 5L, 11L, 0L, 9L, 9L, 10L, 2L}) {
    rig.FramesFor(frame);
    EXPECT_EQ(Fnv1a(rig.session.Output()), sequential[frame]) << "frame " << frame;
  }
  rig.ExpectLedgerMatchesState();
}

}  // namespace
}  // namespace velunary
