// The process-wide simulation and the operations that create, re-create and reset it.
//
// Every host call of a sequence shares one running error code: once it is nonzero no
// call that can fail is started. Releasing is the exception. A world or handle the state
// owns is handed back even with an error pending, because the state forgets it either
// way and nothing else would ever release it. A record is cleared only once its world
// is released.
#include "sim/simulation_state.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "host/host_services.h"
#include "host/param_index.h"
#include "host/suite_cache.h"
#include "sim/pixel_math.h"
#include "sim/random.h"

namespace velunary {

SimulationState simulationState{};
SimulationSettings simulationSettings{};

namespace {

constexpr PF_Pixel kOpaqueBlack{255, 0, 0, 0};

// After ReleaseWorld: a map still held after two refusals would carry its old pixels
// into the next render, which therefore replays instead of growing on them.
void NoteHeldMap(const PF_EffectWorld& map) {
  if (!IsAbsent(map)) simulationState.staleWorldHeld = true;
}

}  // namespace

void ReleaseWorld(const PF_InData* in_data, PF_EffectWorld* world, PF_Err* err) {
  if (IsAbsent(*world)) return;
  const PF_Err disposed = HostDisposeWorld(in_data, world);
  if (*err == PF_Err_NONE) *err = disposed;
  if (disposed == PF_Err_NONE || HostDisposeWorld(in_data, world) == PF_Err_NONE) {
    *world = PF_EffectWorld{};
  }
}

ScopedWorld::~ScopedWorld() {
  if (released_) return;
  PF_Err ignored = PF_Err_NONE;
  ReleaseWorld(in_data_, world_, &ignored);
}

void ScopedWorld::Release(PF_Err* err) {
  released_ = true;
  ReleaseWorld(in_data_, world_, err);
}

void NewBlackWorld(const PF_InData* in_data, PF_EffectWorld* world, PF_Err* err) {
  ReleaseWorld(in_data, world, err);
  if (!IsAbsent(*world)) {
    NoteHeldMap(*world);
    return;
  }
  *world = PF_EffectWorld{};
  if (*err != PF_Err_NONE) return;
  *err = HostNewWorld(in_data, in_data->width, in_data->height, world);
  if (*err != PF_Err_NONE) {
    // Whatever a failing host left in the record is not an image the effect owns.
    *world = PF_EffectWorld{};
    return;
  }
  *err = HostFill(in_data, kOpaqueBlack, world);
}

void ResetSimulation(const PF_InData* in_data, PF_Err* err) {
  // The particles go first: a host without the handle suite then stops the reset before
  // it has changed anything, rather than leaving frame 0 next with the old particles.
  {
    HostSuiteCache suites(in_data->pica_basicP);
    ReleaseParticles(suites);
  }
  simulationState.nextFrame = 0;
  const bool failedBefore = *err != PF_Err_NONE;
  NewBlackWorld(in_data, &simulationState.trailMap, err);
  NewBlackWorld(in_data, &simulationState.infectionMap, err);
  // A reset that fails half-way would leave an unfilled map, or one map beside none, for
  // the next render to build on; released, both are made afresh black by that render.
  if (!failedBefore && *err != PF_Err_NONE) {
    NewBlackWorld(in_data, &simulationState.trailMap, err);
    NewBlackWorld(in_data, &simulationState.infectionMap, err);
  }
  // A staging world is held past its step only when the host refused it back twice, which
  // ended that render with an error; the reset after it tries again, so that a failed
  // render leaves nothing behind. Still refused, it stays recorded for global setdown.
  ReleaseWorld(in_data, &simulationState.stagingWorld, err);
}

void ReleaseSimulation(HostSuiteCache& suites, const PF_InData* in_data) {
  SimulationState& s = simulationState;
  if (s.particleHandle != nullptr) suites.HandleSuite();
  s.nextFrame = 0;
  // Setdown answers only 0 or a suite the host cannot supply: a world the host keeps is
  // its own decision.
  PF_Err refused = PF_Err_NONE;
  for (PF_EffectWorld* world : {&s.trailMap, &s.infectionMap, &s.stagingWorld}) {
    ReleaseWorld(in_data, world, &refused);
    NoteHeldMap(*world);
  }
  ReleaseParticles(suites);
}

void ReleaseParticles(HostSuiteCache& suites) {
  if (simulationState.particleHandle != nullptr) {
    suites.HandleSuite()->host_dispose_handle(simulationState.particleHandle);
  }
  simulationState.particleHandle = nullptr;
  simulationState.particles = nullptr;
  simulationState.particleRecords = 0;
}

void ReadSettings(const PF_InData* in_data, const PF_ParamDef* records) {
  SimulationSettings& s = simulationSettings;
  s.sensorAngle = records[SensorAngle].u.fs_d.value;
  s.turnAngle = records[TurnAngle].u.fs_d.value;
  s.sensorDistance = records[SensorDistance].u.fs_d.value;
  s.trailColor = records[TrailColor].u.fs_d.value;
  s.decay = records[Decay].u.fs_d.value;
  s.randomSeed = RandomSeedFor(records[RandomSeed].u.fs_d.value);
  s.infectionEnabled = records[Infection].u.bd.value != 0;
  s.infectedSensorAngle = records[InfectedSensorAngle].u.fs_d.value;
  s.infectedTurnAngle = records[InfectedTurnAngle].u.fs_d.value;
  s.infectedSensorDistance = records[InfectedSensorDistance].u.fs_d.value;
  s.infectedTrailColor = records[InfectedTrailColor].u.fs_d.value;
  s.inputLayer = records[Input].u.ld;
  s.spawnLayer = records[SpawnLayer].u.ld;
  s.infectedLayer = records[InfectedLayer].u.ld;
  simulationState.particleCount =
      ParticleCountFor(records[ParticleCount].u.fs_d.value, in_data->width, in_data->height);
}

std::int32_t ParticleCountFor(double percent, A_long width, A_long height) {
  // Divided first, then scaled by height and by width: the order fixes the rounding.
  const double wanted =
      RoundHalfAway(percent / 100.0 * static_cast<double>(height) * static_cast<double>(width));
  // The slider's range (at most 30 % of a layer of at most 2^31 - 1 pixels a side) can
  // still exceed a 32-bit count, and converting an out-of-range double is undefined: the
  // count saturates instead. A count is never negative; NaN gives no particles.
  constexpr double kMaxCount = static_cast<double>(std::numeric_limits<std::int32_t>::max());
  if (!(wanted > 0.0)) return 0;
  if (wanted >= kMaxCount) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(wanted);
}

std::int32_t RandomSeedFor(double sliderValue) {
  // The slider spans -32768..32767, well inside the int range; conversion truncates.
  constexpr double kMin = static_cast<double>(std::numeric_limits<std::int32_t>::min());
  constexpr double kMax = static_cast<double>(std::numeric_limits<std::int32_t>::max());
  if (std::isnan(sliderValue)) return 0;
  if (sliderValue <= kMin) return std::numeric_limits<std::int32_t>::min();
  if (sliderValue >= kMax) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(sliderValue);
}

void ResetProcessStateForTesting() {
  simulationState = SimulationState{};
  simulationSettings = SimulationSettings{};
  sharedRandom.seed(5489u);
}

}  // namespace velunary
