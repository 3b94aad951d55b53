// The one simulation of the loaded library: process-wide state shared by every instance of
// the effect, the parameter values of the frame being simulated, and the operations that
// create black trail fields and reset everything.
#ifndef VELUNARY_SIM_SIMULATION_STATE_H
#define VELUNARY_SIM_SIMULATION_STATE_H

#include <cstdint>

#include "host/suite_cache.h"
#include "pf_effect.h"
#include "sim/particle.h"

namespace velunary {

struct SimulationState {
  PF_Handle particleHandle;    // owns the particle array; null when there is none
  Particle* particles;         // particleHandle's locked address; null exactly when no array
  std::int32_t particleCount;  // wanted; after population the array holds exactly this many
  // The records the array really holds (0 without one). The passes walk these, never the
  // count wanted: a frame whose population step failed keeps the old, shorter array.
  std::int32_t particleRecords;
  std::int32_t nextFrame;       // the frame a render reaches by simulating one frame
  PF_EffectWorld trailMap;      // the trail field, shown as the output
  PF_EffectWorld infectionMap;  // the field that infects healthy particles
  PF_EffectWorld stagingWorld;  // scratch of the layer's size, alive within one step only
  // A world the host refused to take back, twice, is still held with the pixels of an
  // earlier simulation; a reset or setdown that meant to clear it has not. The next render
  // must not grow on it: it replays from frame 0, which re-creates the maps (or fails).
  bool staleWorldHeld;
};

// The parameter values of the simulated frame, overwritten as a whole at each read.
struct SimulationSettings {
  double sensorAngle;
  double turnAngle;
  double sensorDistance;
  double trailColor;
  double decay;
  std::int32_t randomSeed;
  bool infectionEnabled;
  double infectedSensorAngle;
  double infectedTurnAngle;
  double infectedSensorDistance;
  double infectedTrailColor;
  // Images owned by the host, valid from the frame's check-out to its check-in.
  PF_EffectWorld inputLayer;
  PF_EffectWorld spawnLayer;
  PF_EffectWorld infectedLayer;
};

// The process-wide simulation, all zero at load.
extern SimulationState simulationState;
extern SimulationSettings simulationSettings;

// A world record is absent when it holds no image.
inline bool IsAbsent(const PF_EffectWorld& world) {
  return world.data == nullptr;
}

// Gives the host world in `world` back, when there is one. A refusal gets one more
// attempt at once; the record is cleared only when the host has taken the world, so a
// world refused twice stays recorded (and held) for a later release. err keeps its first
// nonzero code: a refusal is stored only when no error is pending.
void ReleaseWorld(const PF_InData* in_data, PF_EffectWorld* world, PF_Err* err);

// Holds the host world in *world (a local, or a state record such as stagingWorld) for a
// scope. Release gives it back by ReleaseWorld's policy when the work is done; when an
// error or an exception leaves the scope first, the destructor does, its answer ignored.
class ScopedWorld {
 public:
  ScopedWorld(const PF_InData* in_data, PF_EffectWorld* world) : in_data_(in_data), world_(world) {}
  ~ScopedWorld();
  ScopedWorld(const ScopedWorld&) = delete;
  ScopedWorld& operator=(const ScopedWorld&) = delete;

  void Release(PF_Err* err);

 private:
  const PF_InData* in_data_;
  PF_EffectWorld* world_;
  bool released_ = false;
};

// Clears `world`, then (when err is 0) makes a new opaque black world of the layer's size
// into it. The world it held before goes back first (ReleaseWorld), so re-creating a map
// never leaks, even with an error pending; refused twice, `world` keeps it,
// staleWorldHeld is set and nothing else happens. A failing new_world leaves `world`
// absent; a failing fill leaves the new, unfilled world in it. In every case err holds the
// first nonzero code.
void NewBlackWorld(const PF_InData* in_data, PF_EffectWorld* world, PF_Err* err);

// The full reset: nextFrame 0, particles released, both maps re-created black (or, with
// an error pending or one arising on the way, released and left absent), and a staging
// world still held released. err keeps its first code. Throws PF_Err_BAD_CALLBACK_PARAM
// (as an integer), having changed nothing, when the handle suite is missing.
void ResetSimulation(const PF_InData* in_data, PF_Err* err);

// Everything the simulation holds goes back to the host, as global setdown wants it:
// nextFrame 0, the maps and the staging world released (one refused twice stays recorded,
// with staleWorldHeld set, for a later release; a refusal is not reported), and the
// particles. The handle suite is taken before anything is released, so a host that cannot
// supply it gets the thrown PF_Err_BAD_CALLBACK_PARAM with the simulation unchanged.
void ReleaseSimulation(HostSuiteCache& suites, const PF_InData* in_data);

// Gives the particle array's handle back, when there is one, and forgets the array.
// Disposing a handle reports nothing, so it happens whatever error is pending.
void ReleaseParticles(HostSuiteCache& suites);

// The settings read of one simulated frame: assigns every SimulationSettings field and
// particleCount from checked-out records. records[i] holds parameter i (a ParamIndex);
// the records not checked out (group rows, the button) are not read.
void ReadSettings(const PF_InData* in_data, const PF_ParamDef* records);

// The number of particles for "Particle Count in %" on a layer of width x height,
// saturated to 0 .. INT32_MAX where the product leaves that range.
std::int32_t ParticleCountFor(double percent, A_long width, A_long height);
// "Random Seed" as the simulation uses it: truncated toward zero.
std::int32_t RandomSeedFor(double sliderValue);

// Returns the process-wide state to what it is when the library has just been loaded
// (without releasing anything through a host); for tests only.
void ResetProcessStateForTesting();

}  // namespace velunary

#endif
