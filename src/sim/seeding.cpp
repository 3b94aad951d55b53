// Particle seeding. New particles go uniformly over the layer or, with a Spawn Layer, on
// its pixels of luminance 1 or more, found by rejection sampling. The rejections of one
// pass share a single budget, so a dark Spawn Layer costs a bounded number of draws per
// pass rather than per particle; once it is spent, particles copy the positions of
// earlier particles of the same pass, which keeps them on bright pixels already found.
//
// Every draw comes from sharedRandom in a fixed order (x, y, further x and y per
// rejection, the fallback's draw, the heading), which is what makes a seed reproducible.
//
// An array either holds fully placed particles or does not exist: when a step cannot
// complete, the handles it made are released and the state keeps what it had before.
#include "sim/seeding.h"

#include <algorithm>
#include <cstdint>

#include "host/host_services.h"
#include "host/suite_cache.h"
#include "sim/particle.h"
#include "sim/pixel_math.h"
#include "sim/random.h"
#include "sim/simulation_state.h"

namespace velunary {

namespace {

constexpr std::int32_t kSearchBudget = 100000;
constexpr std::uint64_t kRecordSize = sizeof(Particle);

// The address a 0-record array stands at when the host locks an empty handle as null:
// the array must be non-null to count as existing, and nothing ever indexes it.
Particle emptyArray[1];

struct Pass {
  const PF_InData* in_data;
  Particle* particles;
  std::int32_t first;
  const PF_EffectWorld* staging;  // null without a Spawn Layer
  std::int32_t searchBudget;
  bool fallbackToUniform;
};

struct Position {
  std::int32_t x;
  std::int32_t y;
};

// A uniform pixel of the layer; x is always drawn before y.
Position DrawPosition(const PF_InData* in_data) {
  Position p;
  p.x = static_cast<std::int32_t>(
      UniformReal(sharedRandom, 0.0, static_cast<double>(in_data->width)));
  p.y = static_cast<std::int32_t>(
      UniformReal(sharedRandom, 0.0, static_cast<double>(in_data->height)));
  return p;
}

bool IsBright(const PF_EffectWorld& staging, Position p) {
  const std::uint8_t* pixel = static_cast<const std::uint8_t*>(staging.data) +
                              static_cast<std::int64_t>(p.y) * staging.rowbytes +
                              static_cast<std::int64_t>(4) * p.x;
  return static_cast<std::int32_t>(LuminanceAt(pixel)) > 0;
}

void PlaceParticle(Pass& pass, std::int32_t i) {
  Position p = DrawPosition(pass.in_data);
  if (pass.staging != nullptr) {
    bool found = false;
    while (pass.searchBudget <= kSearchBudget) {
      if (IsBright(*pass.staging, p)) {
        found = true;
        break;
      }
      p = DrawPosition(pass.in_data);
      ++pass.searchBudget;
    }
    if (!found) {
      if (i > pass.first && !pass.fallbackToUniform) {
        const Particle& earlier = pass.particles[UniformInt(sharedRandom, pass.first, i - 1)];
        p.x = static_cast<std::int32_t>(earlier.x);
        p.y = static_cast<std::int32_t>(earlier.y);
      } else {
        pass.fallbackToUniform = true;
        p = DrawPosition(pass.in_data);
      }
    }
  }
  Particle& record = pass.particles[i];
  record.x = static_cast<double>(p.x);
  record.y = static_cast<double>(p.y);
  record.heading = RandomHeading(sharedRandom);
  record.infected = 0;
}

// Places records first .. count - 1. Returns false, having placed nothing, when the
// Spawn Layer cannot be staged; err then holds the host's code.
bool PlacePass(const PF_InData* in_data, Particle* particles, std::int32_t first,
               std::int32_t count, PF_Err* err) {
  PF_EffectWorld& staging = simulationState.stagingWorld;
  PF_EffectWorld spawnLayer = simulationSettings.spawnLayer;
  const bool withSpawnLayer = spawnLayer.data != nullptr;
  if (withSpawnLayer) {
    // The staging world has the layer's size whatever the Spawn Layer's, so every drawn
    // position is a pixel of it.
    // A staging world the host will not take back stays in its record, still held; the
    // reset that follows the error, or global setdown, tries again.
    NewBlackWorld(in_data, &staging, err);
    if (*err == PF_Err_NONE) *err = HostCopy(in_data, &spawnLayer, &staging);
    if (*err != PF_Err_NONE) {
      ReleaseWorld(in_data, &staging, err);
      return false;
    }
  }
  Pass pass{in_data, particles, first, withSpawnLayer ? &staging : nullptr, 0, false};
  for (std::int32_t i = first; i < count; ++i) PlaceParticle(pass, i);
  if (withSpawnLayer) ReleaseWorld(in_data, &staging, err);
  return true;
}

// The locked array of a new handle, or null when it cannot hold `count` records.
Particle* LockArray(const PF_HandleSuite1& handles, PF_Handle handle, std::int32_t count) {
  if (handle == nullptr) return nullptr;
  void* bytes = handles.host_lock_handle(handle);
  if (bytes == nullptr && count == 0) return emptyArray;
  return static_cast<Particle*>(bytes);
}

void CreateFromNothing(const PF_InData* in_data, const PF_HandleSuite1& handles, std::int32_t count,
                       PF_Err* err) {
  sharedRandom.seed(SeedBits(simulationSettings.randomSeed));
  const PF_Handle handle = handles.host_new_handle(static_cast<std::uint64_t>(count) * kRecordSize);
  Particle* particles = LockArray(handles, handle, count);
  if (particles == nullptr) {
    if (handle != nullptr) handles.host_dispose_handle(handle);
    if (*err == PF_Err_NONE) *err = PF_Err_OUT_OF_MEMORY;
    return;
  }
  if (!PlacePass(in_data, particles, 0, count, err)) {
    handles.host_dispose_handle(handle);
    return;
  }
  simulationState.particleHandle = handle;
  simulationState.particles = particles;
  simulationState.particleRecords = count;
}

// Returns false when the new array cannot be had; the old one is then released and the
// caller creates the population from nothing.
bool Resize(HostSuiteCache& suites, const PF_InData* in_data, std::int32_t count,
            std::int32_t oldCount, PF_Err* err) {
  const PF_HandleSuite1& handles = *suites.HandleSuite();
  const PF_Handle handle = handles.host_new_handle(static_cast<std::uint64_t>(count) * kRecordSize);
  Particle* particles = LockArray(handles, handle, count);
  if (particles == nullptr) {
    if (handle != nullptr) handles.host_dispose_handle(handle);
    ReleaseParticles(suites);
    return false;
  }
  const Particle* old = simulationState.particles;
  std::copy(old, old + std::min(oldCount, count), particles);
  if (count > oldCount && !PlacePass(in_data, particles, oldCount, count, err)) {
    // The old array stays as it was; the error ends the frame, whose reset releases it.
    handles.host_dispose_handle(handle);
    return true;
  }
  ReleaseParticles(suites);
  simulationState.particleHandle = handle;
  simulationState.particles = particles;
  simulationState.particleRecords = count;
  return true;
}

}  // namespace

void PopulateParticles(HostSuiteCache& suites, const PF_InData* in_data, PF_Err* err) {
  if (*err != PF_Err_NONE) return;
  const PF_HandleSuite1& handles = *suites.HandleSuite();
  const std::int32_t count = std::max<std::int32_t>(simulationState.particleCount, 0);
  if (simulationState.particles != nullptr) {
    const std::uint64_t oldRecords =
        handles.host_get_handle_size(simulationState.particleHandle) / kRecordSize;
    if (oldRecords == static_cast<std::uint64_t>(count)) return;
    // An existing array never holds more records than a count can name.
    const auto oldCount = static_cast<std::int32_t>(oldRecords);
    if (Resize(suites, in_data, count, oldCount, err)) return;
  }
  CreateFromNothing(in_data, handles, count, err);
}

}  // namespace velunary
