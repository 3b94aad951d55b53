#include "render/simulate_frame.h"

#include "render/frame_params.h"
#include "render/frame_worlds.h"
#include "render/sensing_workers.h"
#include "sim/diffuse_and_decay.h"
#include "sim/move_and_deposit.h"
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
  PrepareSensingWorlds(suites, in_data, &first, &second, err);
  // An error while preparing ends the frame before the kernels touch particles or maps.
  if (*err != PF_Err_NONE) {
    return;
  }

  // Movement before steering, and steering against images made before this frame's
  // deposits.
  MoveAndDeposit(in_data);
  RunSensingWorkers(in_data, first, second);
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
