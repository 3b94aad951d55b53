// Playback is repeatable: a fixed, animated scene shows every frame bit for bit the same
// (output and particles) whether it is reached by playing forward or by
// jumping to it.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>

#include "host/param_index.h"
#include "rig/session_rig.h"
#include "scenes/spawn_shape.h"

namespace velunary {
namespace {

TEST(RenderDeterminism, ScrubbedFramesMatchSequentialPlayback) {
  constexpr int kWidth = 64;
  constexpr int kHeight = 40;
  rig::SessionRig rig(kWidth, kHeight, rig::kRate);
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
    sequential[frame] = rig::FrameHash(rig.session.Output(), false);
  }
  // Jumps back and ahead, a repeat, and steps forward after a jump.
  for (long frame : {7L, 3L, 4L, 5L, 11L, 0L, 9L, 9L, 10L, 2L}) {
    rig.FramesFor(frame);
    EXPECT_EQ(rig::FrameHash(rig.session.Output(), false), sequential[frame]) << "frame " << frame;
  }
  EXPECT_EQ(rig::HoldingsMismatch(rig.host, {}), "");
}

}  // namespace
}  // namespace velunary
