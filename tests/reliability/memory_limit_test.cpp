// A memory limit that refuses the particle array, or leaves room for only one of the old
// and the grown array. (Controls at the ends of their ranges and tiny layers are sessions
// of the fuzz corpus.)
#include <gtest/gtest.h>

#include <cstdint>

#include "scene_rig.h"
#include "sim/particle.h"

namespace velunary::reliability {
namespace {

TEST(MemoryLimit, RefusingTheParticleArrayFailsTheRenderUntilThereIsEnough) {
  const refhost::Image fresh = FreshRender(PlainScene, 1);
  SessionRig rig(PlainScene);
  rig.Render(0);
  const std::uint64_t bytes =
      std::uint64_t{sizeof(Particle)} * static_cast<std::uint64_t>(simulationState.particleCount);
  ASSERT_EQ(rig.session.GlobalSetdown(), PF_Err_NONE);

  rig.host.SetMemoryLimit(bytes - 1);
  EXPECT_EQ(rig.session.RenderFrame(1), PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(rig::HoldsAnything(rig.host, {}), "");
  // Exactly enough is enough.
  rig.host.SetMemoryLimit(bytes);
  EXPECT_EQ(rig.Render(1), fresh);
  EXPECT_EQ(rig::HoldingsMismatch(rig.host, {}), "");
}

TEST(MemoryLimit, GrowthWithoutRoomForBothArraysStartsTheParticlesAfresh) {
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
  EXPECT_EQ(rig::HoldingsMismatch(rig.host, {}), "");
}

}  // namespace
}  // namespace velunary::reliability
