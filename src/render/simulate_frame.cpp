#include "render/simulate_frame.h"

#include "render/frame_params.h"
#include "render/frame_worlds.h"
#include "render/sensing_workers.h"
#include "sim/diffuse_and_decay.h"
#include "sim/seeding.h"
#include "sim/simulation_state.h"

namespace velunary {

void SimulateFrame(HostSuiteCache& suites, const PF_InData* in_data, A_long what_time,
                   PF_Err* err) {
  if (*err != PF_Err_NONE) {
    return;
  }
  // Declared first, so destroyed last: on every exit the layers the settings point into
  // stay checked out until every world of the frame is gone.
  FrameParams params(in_data);
  params.CheckOut(what_time, err);
  if (*err != PF_Err_NONE) {
    return;
  }
  ReadSettings(in_data, params.Records());

  SimulationState& state = simulationState;
  if (IsAbsent(state.trailMap)) {
    NewBlackWorld(in_data, &state.trailMap, err);
  }
  if (IsAbsent(state.infectionMap) && simulationSettings.infectionEnabled) {
    NewBlackWorld(in_data, &state.infectionMap, err);
  }
  if (*err == PF_Err_NONE) {
    PopulateParticles(suites, in_data, err);
  }

  PF_EffectWorld first{};
  PF_EffectWorld second{};
  ScopedWorld firstHolder(in_data, &first);
  ScopedWorld secondHolder(in_data, &second);
  // Declared after the holders, so destroyed before them: on every exit its threads have
  // ended before the worlds they read go back to the host.
  ParticlePasses passes;
  // The sensing images are the layer blended over the TrailMap at a ratio that leaves the
  // layer alone, so this frame's deposits cannot change them and the movement pass may run
  // while the host makes them. The InfectionMap's update from its layer is another matter:
  // it reads and writes the map the movement pass paints, so it comes first.
  const bool moveWhilePreparing = !InfectionFedByLayer();
  if (moveWhilePreparing) {
    passes.StartMovement(in_data);
  }
  PrepareSensingWorlds(suites, in_data, &first, &second, err);
  // An error while preparing ends the frame before the sensing pass (a movement already
  // under way runs to its end); the render then resets the simulation.
  if (*err != PF_Err_NONE) {
    return;
  }
  if (!moveWhilePreparing) {
    passes.StartMovement(in_data);
  }
  // Every particle moves before it steers, and steers against images made before this
  // frame's deposits.
  passes.StartSensing(in_data, first, second);
  passes.Join();
  firstHolder.Release(err);
  secondHolder.Release(err);

  DiffuseAndDecay(in_data, err, state.trailMap);
  // Without an Infected Layer the InfectionMap holds only deposits, which stay sharp.
  if (InfectionFedByLayer()) {
    DiffuseAndDecay(in_data, err, state.infectionMap);
  }
  params.CheckIn(err);
}

}  // namespace velunary
