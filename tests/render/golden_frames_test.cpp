// Frames recorded once and kept, and frames that must agree however playback reaches them.
// Recorded frames: every change made for speed must leave each output byte, particle and
// InfectionMap pixel exactly as it was; a hash that moves means the arithmetic changed,
// whichever pass changed it. The small scene passes through every path of a frame: the
// staging copy of an Infected Layer of another size, infection caught and painted, the
// InfectionMap's diffusion, sensors off the layer, particles stepping off it, keyframed
// controls and an odd particle count split between the two sensing workers. The full-HD
// scene is the default workload. The values hold for glibc's sine and cosine on x86-64;
// another C library may round them differently, which is not a fault of the effect.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <tuple>

#include "host/param_index.h"
#include "rig/session_rig.h"
#include "scenes/spawn_shape.h"

namespace velunary {
namespace {

// Renders frames 0, 1, ... in order and holds each against its recorded hash.
template <std::size_t N>
void ExpectRecordedFrames(rig::SessionRig& rig, const std::array<std::uint64_t, N>& recorded,
                          bool withInfectionMap) {
  for (long frame = 0; frame < static_cast<long>(N); ++frame) {
    ASSERT_EQ(rig.FramesFor(frame), 1);
    EXPECT_EQ(rig::FrameHash(rig.session.Output(), withInfectionMap),
              recorded[static_cast<std::size_t>(frame)])
        << "frame " << frame;
  }
}

TEST(GoldenFrames, SmallSceneWithInfectionMatchesRecordedFrames) {
  constexpr int kWidth = 97;
  constexpr int kHeight = 61;
  rig::SessionRig rig(kWidth, kHeight, rig::kRate);
  rig.host.SetLayer(SpawnLayer, scenes::SpawnDisc(kWidth, kHeight));
  rig.host.SetLayer(InfectedLayer, scenes::SpawnDisc(41, 29));
  rig.host.SetValue(Infection, 1);
  rig.host.SetValue(ParticleCount, 23);
  rig.host.SetValue(SensorDistance, 25);
  const std::tuple<int, int, double> keyframes[] = {
      {SensorAngle, 0, 30}, {SensorAngle, 15, 70}, {Decay, 0, 0.05}, {Decay, 20, 0.4}};
  for (const auto& [param, frame, value] : keyframes) rig.host.SetKeyframe(param, frame, value);
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
  // The hashes take in every particle's infection flag, so they also hold that the scene
  // keeps an odd count and infected particles among healthy ones.
  ExpectRecordedFrames(rig, kRecorded, true);
  EXPECT_EQ(rig::HoldingsMismatch(rig.host, {}), "");
}

// A layer in colour, where a pixel's brightness is not any one of its bytes: its sensing
// must weigh red, green and blue, on a path of its own apart from gray layers such as the
// demo web.
TEST(GoldenFrames, ColourLayerMatchesRecordedFrames) {
  constexpr int kWidth = 53;
  constexpr int kHeight = 37;
  rig::SessionRig rig(kWidth, kHeight, rig::kRate);
  refhost::Image layer(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      layer.At(x, y) = PF_Pixel{255, static_cast<A_u_char>((x * 37 + y * 11) & 255),
                                static_cast<A_u_char>((x * 5 + y * 29) & 255),
                                static_cast<A_u_char>((x * x + 3 * y) & 255)};
    }
  }
  rig.host.SetLayer(Input, layer);
  rig.host.SetValue(ParticleCount, 30);
  rig.host.SetValue(SensorDistance, 6);

  constexpr std::array<std::uint64_t, 6> kRecorded = {
      3936200693703376857ull, 6722013753742828720ull, 14480097145743142351ull,
      4151582844924366741ull, 2815068292479732094ull, 12021983942115664309ull};
  ExpectRecordedFrames(rig, kRecorded, false);
}

TEST(GoldenFrames, FullHdDefaultWorkloadMatchesRecordedFrame) {
  constexpr long kFrame = 10;
  rig::SessionRig rig(1920, 1080, rig::kRate);
  ASSERT_EQ(rig.FramesFor(kFrame), kFrame + 1);
  EXPECT_EQ(rig::FrameHash(rig.session.Output(), true), 8454983538985567539ull);
}

// Playback is repeatable: a fixed, animated scene shows every frame bit for bit the same
// (output and particles) played forward or jumped to, under either arithmetic a host may
// choose. Rounding down, the blend shows the TrailMap in the sensing images (a movement
// overlapping it races, as TSan reports) and the InfectionMap in its update: the Infected
// Layer is so dim off its left quarter that only a map already painted stays lit there.
TEST(RenderDeterminism, ScrubbedFramesMatchSequentialPlaybackUnderEitherHostFlavour) {
  constexpr PF_Pixel kWhite{255, 255, 255, 255};
  constexpr int kWidth = 64;
  constexpr int kHeight = 40;
  constexpr long kFrames = 12;
  std::map<long, std::uint64_t> sequential[2];
  for (int flavour = 0; flavour < 2; ++flavour) {
    SCOPED_TRACE(flavour);
    rig::SessionRig rig(kWidth, kHeight, rig::kRate);
    rig.host.SetFlavour(static_cast<refhost::Host::Flavour>(flavour));
    rig.host.SetLayer(SpawnLayer, scenes::SpawnDisc(kWidth, kHeight));
    refhost::Image infected(kWidth / 2, kHeight / 2, PF_Pixel{255, 1, 1, 1});
    for (int y = 0; y < kHeight / 2; ++y) std::fill_n(&infected.At(0, y), kWidth / 8, kWhite);
    rig.host.SetLayer(InfectedLayer, infected);
    const std::tuple<int, int, double> keyframes[] = {
        {Infection, 0, 0},      {Infection, 3, 1},     {Infection, 8, 0},
        {RandomSeed, 0, 11},    {RandomSeed, 6, -500}, {ParticleCount, 0, 5},
        {ParticleCount, 9, 20}, {SensorAngle, 0, 0.4}, {SensorAngle, 10, 1.1},
        {Decay, 4, 0.05},       {Decay, 8, 0.3}};
    for (const auto& [param, frame, value] : keyframes) rig.host.SetKeyframe(param, frame, value);
    for (long frame = 0; frame < kFrames; ++frame) {
      ASSERT_EQ(rig.FramesFor(frame), 1);
      sequential[flavour][frame] = rig::FrameHash(rig.session.Output(), false);
    }
    // Jumps back and ahead, a repeat, and steps forward after a jump.
    for (long frame : {7L, 3L, 4L, 5L, 11L, 0L, 9L, 9L, 10L, 2L}) {
      rig.FramesFor(frame);
      EXPECT_EQ(rig::FrameHash(rig.session.Output(), false), sequential[flavour][frame])
          << "frame " << frame;
    }
    EXPECT_EQ(rig::HoldingsMismatch(rig.host, {}), "");
  }
  EXPECT_NE(sequential[0][kFrames - 1], sequential[1][kFrames - 1]);
}

}  // namespace
}  // namespace velunary
