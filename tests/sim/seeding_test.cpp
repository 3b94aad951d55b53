#include "sim/seeding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>
#include <vector>

#include "refhost/host.h"
#include "refhost/image.h"
#include "sim/particle.h"
#include "sim/random.h"
#include "sim/simulation_state.h"

namespace velunary {

static bool operator==(const Particle& a, const Particle& b) {
  return a.x == b.x && a.y == b.y && a.heading == b.heading && a.infected == b.infected;
}

namespace {

using refhost::Op;

// Engine outputs of a particle placed without searching: x, y and heading, two each.
constexpr unsigned long long kPlainDraws = 6;
// The whole budget: 100001 rejected positions of two draws of two outputs.
constexpr unsigned long long kBudgetDraws = 100001 * 4;

class SeedingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessStateForTesting();
    simulationSettings.randomSeed = 12345;
    in = host.MakeInData(7, 5);
  }
  void TearDown() override {
    PF_Err err = PF_Interrupt_CANCEL;  // releases particles and maps, creates nothing
    ResetSimulation(&in, &err);
    EXPECT_TRUE(host.GetLedger().Empty());
  }

  // The image becomes the Spawn Layer: a world over its pixels, which seeding only copies
  // into a host world of its own.
  void UseSpawnLayer(const refhost::Image& image) {
    spawnImage = image;
    PF_EffectWorld& layer = simulationSettings.spawnLayer;
    layer.data = spawnImage.pixels.data();
    layer.rowbytes = 4 * image.width;
    layer.width = image.width;
    layer.height = image.height;
  }

  PF_Err Populate(std::int32_t count) {
    simulationState.particleCount = count;
    PF_Err err = PF_Err_NONE;
    HostSuiteCache suites(in.pica_basicP);
    PopulateParticles(suites, &in, &err);
    return err;
  }
  void Release() {
    HostSuiteCache suites(in.pica_basicP);
    ReleaseParticles(suites);
  }
  std::vector<Particle> Particles(std::int32_t count) const {
    return std::vector<Particle>(simulationState.particles, simulationState.particles + count);
  }
  RandomEngine SeededAndAdvanced(unsigned long long outputs) const {
    RandomEngine engine(SeedBits(simulationSettings.randomSeed));
    engine.discard(outputs);
    return engine;
  }

  refhost::Host host;
  PF_InData in{};
  refhost::Image spawnImage;
};

// Three particles on a one-pixel Spawn Layer: a bright pixel takes each where it is drawn;
// on a dark one the first spends the pass's budget, and each is placed uniformly, drawing
// its position after its unused first one, never the index of an earlier particle.
TEST_F(SeedingTest, SpawnThresholdIsALuminanceOfOne) {
  in = host.MakeInData(1, 1);
  struct Case {
    PF_Pixel pixel;
    bool accepted;
  };
  const Case cases[] = {{{255, 4, 0, 0}, false}, {{255, 5, 0, 0}, true},   {{255, 0, 1, 0}, false},
                        {{255, 0, 2, 0}, true},  {{255, 0, 0, 13}, false}, {{255, 0, 0, 14}, true},
                        {{255, 1, 1, 0}, false}, {{255, 1, 1, 1}, true},   {{0, 5, 0, 0}, true}};
  for (const Case& c : cases) {
    UseSpawnLayer(refhost::Image(1, 1, c.pixel));
    ASSERT_EQ(Populate(3), PF_Err_NONE);
    const unsigned long long draws =
        c.accepted ? 3 * kPlainDraws : kBudgetDraws + 3 * (kPlainDraws + 4);
    EXPECT_EQ(sharedRandom, SeededAndAdvanced(draws)) << "case " << &c - cases;
    EXPECT_EQ(host.GetLedger().liveWorlds, 0);
    Release();
  }
}

// Eight bright pixels of 64 x 64 cost ~512 rejections a particle: the budget ends ~200
// particles into a pass that creates the array or grows it from ten uniform particles
// (whose copies would land off the spot); one of 200 x 200, after two or three particles.
TEST_F(SeedingTest, AfterTheBudgetParticlesCopyEarlierOnesOfTheSamePass) {
  // Side, spot width, grown from, the picks, the next draw (the pass drew no more, no less).
  const std::tuple<int, int, int, std::uint64_t, std::uint32_t> cases[] = {
      {64, 8, 0, 4671227284785729833ull, 3501204142u},
      {64, 8, 10, 2637698328684185649ull, 2199683763u},
      {200, 1, 0, 14244878585823339088ull, 433911764u}};
  for (const auto& [side, spotWidth, grownFrom, recorded, nextDraw] : cases) {
    SCOPED_TRACE(testing::Message() << side << " " << grownFrom);
    in = host.MakeInData(side, side);
    simulationSettings.spawnLayer = PF_EffectWorld{};
    ASSERT_EQ(grownFrom > 0 ? Populate(grownFrom) : PF_Err_NONE, PF_Err_NONE);
    refhost::Image spot(side, side, PF_Pixel{255, 0, 0, 0});
    for (int x = 40; x < 40 + spotWidth; ++x) spot.At(x, 9) = PF_Pixel{255, 255, 255, 255};
    UseSpawnLayer(spot);
    ASSERT_EQ(Populate(2000), PF_Err_NONE);
    const std::vector<Particle> particles = Particles(2000);
    // Which earlier particle each copy repeats is drawn uniformly from the pass so far, and
    // the draws are recorded: a saved project must seed the same particles.
    std::uint64_t picks = 1469598103934665603ull;
    for (std::size_t i = static_cast<std::size_t>(grownFrom); i < particles.size(); ++i) {
      ASSERT_TRUE(particles[i].y == 9 && particles[i].x >= 40 && particles[i].x < 40 + spotWidth)
          << i;
      picks = (picks ^ static_cast<std::uint64_t>(particles[i].x)) * 1099511628211ull;
      picks = (picks ^ static_cast<std::uint64_t>(particles[i].heading)) * 1099511628211ull;
    }
    EXPECT_EQ(picks, recorded);
    EXPECT_EQ(sharedRandom(), nextDraw);
    Release();
  }
}

TEST_F(SeedingTest, ShrinkAndGrowKeepTheFirstParticlesWithoutReseeding) {
  in = host.MakeInData(300, 200);
  ASSERT_EQ(Populate(100), PF_Err_NONE);
  const std::vector<Particle> first60 = Particles(60);
  ASSERT_EQ(Populate(60), PF_Err_NONE);
  EXPECT_EQ(Particles(60), first60);
  RandomEngine continued = sharedRandom;
  ASSERT_EQ(Populate(100), PF_Err_NONE);
  EXPECT_EQ(Particles(60), first60);
  continued.discard(40 * kPlainDraws);
  EXPECT_EQ(sharedRandom, continued);
  EXPECT_EQ(host.GetLedger().liveHandles, 1);
}

TEST_F(SeedingTest, EmptyArrayExistsAndIsNotCreatedAgain) {
  // Also when the host locks the empty handle as null.
  for (bool nullLock : {false, true}) {
    if (nullLock) host.FailNthCall(Op::LockHandle, 1, PF_Err{37});
    const long handles = host.CallCount(Op::NewHandle);
    ASSERT_EQ(Populate(0), PF_Err_NONE);
    ASSERT_EQ(Populate(0), PF_Err_NONE);
    EXPECT_NE(simulationState.particles, nullptr);
    EXPECT_EQ(host.CallCount(Op::NewHandle), handles + 1);
    ASSERT_EQ(Populate(3), PF_Err_NONE);
    Release();
  }
}

TEST_F(SeedingTest, ByteSizeIsComputedIn64Bits) {
  // 270 million records are 8.64 GB; a 32-bit size would wrap to about 50 MB.
  host.SetMemoryLimit(1ull << 32);
  EXPECT_EQ(Populate(270000000), PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(simulationState.particles, nullptr);
}

}  // namespace
}  // namespace velunary
