#include "render/render_simulation.h"

#include <cstdint>
#include <limits>

#include "host/host_services.h"
#include "host/suite_cache.h"
#include "render/simulate_frame.h"
#include "sim/simulation_state.h"

namespace velunary {

namespace {

// Whether the stored simulation may not be continued even at nextFrame. Set for the
// length of every render, it outlives only one that an exception left part-way, which may
// have done part of a frame or a replay's first frames under the old nextFrame. Also set
// after the last 32-bit frame index, whose successor cannot be stored. A replay from
// frame 0 always gives the right image, only more slowly.
bool continuationBlocked = false;

// A map of another size than the layer is re-created black at the layer's size; the
// particles were placed for the old size, so they go too. One frame on those black maps
// would be a network that no later render of the frame reproduces (a preview at another
// resolution does exactly this), so the next render replays from frame 0.
void FitMapToLayer(HostSuiteCache& suites, const PF_InData* in_data, PF_EffectWorld* map,
                   PF_Err* err) {
  if (!IsAbsent(*map) && (map->height != in_data->height || map->width != in_data->width)) {
    NewBlackWorld(in_data, map, err);
    ReleaseParticles(suites);
    simulationState.nextFrame = 0;
  }
}

// Back to the state before frame 0: both maps black, whatever Infection was in the last
// simulated frame. An InfectionMap kept would carry later frames' pixels into the replay,
// and a frame reached by scrubbing back would differ from the same frame played forward.
void ResetForReplay(HostSuiteCache& suites, const PF_InData* in_data, PF_Err* err) {
  SimulationState& state = simulationState;
  NewBlackWorld(in_data, &state.trailMap, err);
  if (!IsAbsent(state.infectionMap)) {
    NewBlackWorld(in_data, &state.infectionMap, err);
  }
  ReleaseParticles(suites);
}

}  // namespace

PF_Err RenderSimulation(PF_InData* in_data, PF_OutData* /*out_data*/, PF_ParamDef* /*params*/[],
                        PF_LayerDef* output) {
  // A frame's index is its time over the frame length, truncated toward zero; a
  // time-reversed layer has a negative length and still counts its frames from 0. Without
  // a length there is no index, and the one quotient beyond 32 bits (the most negative
  // time over -1) names no frame either: both are refused before any host call, so the
  // simulation is exactly as it was.
  if (in_data->time_step == 0) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  const std::int64_t index = std::int64_t{in_data->current_time} / in_data->time_step;
  if (index > std::numeric_limits<std::int32_t>::max()) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  const auto frame = static_cast<std::int32_t>(index);
  HostSuiteCache suites(in_data->pica_basicP);
  SimulationState& state = simulationState;
  const bool staleWorldHeld = state.staleWorldHeld;
  state.staleWorldHeld = false;
  const bool mayContinue = !continuationBlocked && !staleWorldHeld;
  continuationBlocked = true;

  PF_Err err = PF_Err_NONE;
  FitMapToLayer(suites, in_data, &state.trailMap, &err);
  FitMapToLayer(suites, in_data, &state.infectionMap, &err);

  std::int64_t frames = 1;
  if (frame != state.nextFrame || !mayContinue) {
    frames = std::int64_t{frame} + 1;
    ResetForReplay(suites, in_data, &err);
  }
  for (std::int64_t k = 0; k < frames && err == PF_Err_NONE; ++k) {
    // 0 <= k <= frame, so k * time_step lies between 0 and current_time: it fits in A_long.
    const A_long what_time = frames == 1
                                 ? in_data->current_time
                                 : static_cast<A_long>(k * std::int64_t{in_data->time_step});
    SimulateFrame(suites, in_data, what_time, &err);
  }

  if (err == PF_Err_NONE) {
    err = HostCopy(in_data, &state.trailMap, output);
  }
  if (err != PF_Err_NONE) {
    ResetSimulation(in_data, &err);
    continuationBlocked = false;
    return err;
  }
  const bool hasSuccessor = frame < std::numeric_limits<std::int32_t>::max();
  if (hasSuccessor) {
    state.nextFrame = frame + 1;
  }
  continuationBlocked = !hasSuccessor;
  return PF_Err_NONE;
}

}  // namespace velunary
