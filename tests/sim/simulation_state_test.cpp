#include "sim/simulation_state.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "host/param_index.h"
#include "refhost/host.h"
#include "refhost/image.h"
#include "sim/seeding.h"

namespace velunary {
namespace {

using refhost::Op;

constexpr PF_Err kHostError = 37;

class SimulationStateTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetProcessStateForTesting(); }

  bool IsBlackLayerSized(const PF_EffectWorld& w) const {
    return host.IsLiveEffectWorld(w) &&
           refhost::Image::FromWorld(w) == refhost::Image(5, 3, PF_Pixel{255, 0, 0, 0});
  }

  refhost::Host host;
  PF_InData in = host.MakeInData(5, 3);
  PF_EffectWorld world{};
  PF_Err err = PF_Err_NONE;
};

TEST_F(SimulationStateTest, NewBlackWorldReleasesTheWorldItHeld) {
  NewBlackWorld(&in, &world, &err);
  const PF_EffectWorld before = world;
  NewBlackWorld(&in, &world, &err);
  EXPECT_EQ(err, PF_Err_NONE);
  EXPECT_TRUE(IsBlackLayerSized(world));
  EXPECT_FALSE(host.IsLiveEffectWorld(before));
  // With an error pending it only releases.
  err = kHostError;
  NewBlackWorld(&in, &world, &err);
  EXPECT_EQ(err, kHostError);
  EXPECT_TRUE(IsAbsent(world));
  EXPECT_EQ(host.CallCount(Op::NewWorld), 2);
  EXPECT_TRUE(host.GetLedger().Empty());
}

TEST_F(SimulationStateTest, NewBlackWorldReportsEachFailingStep) {
  host.FailNthCall(Op::NewWorld, 1, kHostError);
  NewBlackWorld(&in, &world, &err);
  EXPECT_EQ(err, kHostError);
  EXPECT_TRUE(IsAbsent(world));

  err = PF_Err_NONE;
  host.FailNthCall(Op::Fill, 1, kHostError);
  NewBlackWorld(&in, &world, &err);
  EXPECT_EQ(err, kHostError);
  EXPECT_TRUE(host.IsLiveEffectWorld(world));  // kept, so it can still be released

  // A release refused twice stops the re-creation and keeps the world for a later release.
  err = PF_Err_NONE;
  const PF_EffectWorld held = world;
  host.FailNthCall(Op::DisposeWorld, 1, kHostError);
  host.FailNthCall(Op::DisposeWorld, 2, kHostError);
  NewBlackWorld(&in, &world, &err);
  EXPECT_EQ(err, kHostError);
  EXPECT_EQ(world.data, held.data);
  EXPECT_TRUE(host.IsLiveEffectWorld(world));
  NewBlackWorld(&in, &world, &err);
  EXPECT_EQ(host.CallCount(Op::NewWorld), 2);
  EXPECT_TRUE(host.GetLedger().Empty());
}

TEST_F(SimulationStateTest, ResetGivesBlackMapsAndNoParticles) {
  simulationState.particleCount = 10;
  simulationState.nextFrame = 7;
  {
    HostSuiteCache suites(in.pica_basicP);
    PopulateParticles(suites, &in, &err);
  }
  ResetSimulation(&in, &err);
  EXPECT_EQ(err, PF_Err_NONE);
  EXPECT_EQ(simulationState.nextFrame, 0);
  EXPECT_EQ(simulationState.particles, nullptr);
  EXPECT_TRUE(IsBlackLayerSized(simulationState.trailMap));
  EXPECT_TRUE(IsBlackLayerSized(simulationState.infectionMap));
  const refhost::Ledger ledger = host.GetLedger();
  EXPECT_EQ(ledger.liveHandles + ledger.acquiredSuites, 0);

  // With an error pending everything is released and the maps stay absent.
  {
    HostSuiteCache suites(in.pica_basicP);
    PopulateParticles(suites, &in, &err);
  }
  err = PF_Interrupt_CANCEL;
  ResetSimulation(&in, &err);
  EXPECT_EQ(err, PF_Interrupt_CANCEL);
  EXPECT_EQ(simulationState.particles, nullptr);
  EXPECT_TRUE(IsAbsent(simulationState.trailMap));
  EXPECT_TRUE(IsAbsent(simulationState.infectionMap));
  EXPECT_TRUE(host.GetLedger().Empty());

  // Its own first failure ends the creation of maps.
  err = PF_Err_NONE;
  host.FailNthCall(Op::NewWorld, 1, kHostError);
  ResetSimulation(&in, &err);
  EXPECT_EQ(err, kHostError);
  EXPECT_EQ(host.CallCount(Op::NewWorld), 3);
  EXPECT_TRUE(host.GetLedger().Empty());
}

TEST(Settings, ParticleCountRoundsHalfAwayAndSeedTruncates) {
  EXPECT_EQ(ParticleCountFor(15, 1920, 1080), 311040);
  EXPECT_EQ(ParticleCountFor(2, 5, 5), 1);
  EXPECT_EQ(ParticleCountFor(30, 5, 3), 5);
  EXPECT_EQ(ParticleCountFor(15, 1, 1), 0);
  EXPECT_EQ(ParticleCountFor(30, 30000, 30000), 270000000);
  constexpr A_long kWidest = std::numeric_limits<A_long>::max();
  EXPECT_EQ(ParticleCountFor(30, kWidest, kWidest), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(RandomSeedFor(-0.7), 0);
  EXPECT_EQ(RandomSeedFor(-32767.9), -32767);
}

TEST(Settings, EveryFieldComesFromItsOwnParameter) {
  ResetProcessStateForTesting();
  PF_ParamDef records[Count] = {};
  for (int i = 0; i < Count; ++i) records[i].u.fs_d.value = 100 + i;
  records[Infection] = PF_ParamDef{};
  records[Infection].u.bd.value = 2;
  int pixels[Count] = {};
  for (int layer : {Input, SpawnLayer, InfectedLayer}) {
    records[layer] = PF_ParamDef{};
    records[layer].u.ld.data = &pixels[layer];
  }
  PF_InData in{};
  in.width = 10;
  in.height = 3;
  ReadSettings(&in, records);

  const SimulationSettings& s = simulationSettings;
  const double read[] = {
      s.sensorAngle,       s.turnAngle,           s.sensorDistance,    s.decay,
      s.trailColor,        s.infectedSensorAngle, s.infectedTurnAngle, s.infectedSensorDistance,
      s.infectedTrailColor};
  const int from[] = {
      SensorAngle,       TurnAngle,           SensorDistance,    Decay,
      TrailColor,        InfectedSensorAngle, InfectedTurnAngle, InfectedSensorDistance,
      InfectedTrailColor};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(read[i], 100 + from[i]) << i;
  EXPECT_EQ(s.randomSeed, 100 + RandomSeed);
  EXPECT_EQ(simulationState.particleCount, 32);  // 108 % of 30 pixels is 32.4
  EXPECT_TRUE(s.infectionEnabled);
  EXPECT_EQ(s.inputLayer.data, &pixels[Input]);
  EXPECT_EQ(s.spawnLayer.data, &pixels[SpawnLayer]);
  EXPECT_EQ(s.infectedLayer.data, &pixels[InfectedLayer]);
}

}  // namespace
}  // namespace velunary
