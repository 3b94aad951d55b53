#include "render/frame_worlds.h"

#include "host/host_services.h"
#include "sim/simulation_state.h"

namespace velunary {

namespace {

// The integer 1 in 16.16 fixed point, i.e. 1/65536 of the second source: the blended
// image is, to within the host's rounding, the first source (the layer) alone. The field
// is passed as the second source all the same; what the host makes of the pair is its own.
constexpr PF_Fixed kLayerBlendRatio = 1;

// *dst := the host's blend of *layer and *field. The host blends equal sizes only, so a
// layer whose size differs from `reference` is first scaled by the host's copy into the
// staging world, which lives for this call alone.
void BlendLayer(HostSuiteCache& suites, const PF_InData* in_data, PF_EffectWorld* layer,
                const PF_EffectWorld& reference, PF_EffectWorld* field, PF_EffectWorld* dst,
                PF_Err* err) {
  if (*err != PF_Err_NONE) {
    return;
  }
  if (layer->width == reference.width && layer->height == reference.height) {
    *err = HostBlend(suites, in_data, layer, field, kLayerBlendRatio, dst);
    return;
  }
  PF_EffectWorld* staging = &simulationState.stagingWorld;
  ScopedWorld stagingHolder(in_data, staging);
  NewBlackWorld(in_data, staging, err);
  if (*err == PF_Err_NONE) {
    *err = HostCopy(in_data, layer, staging);
  }
  if (*err == PF_Err_NONE) {
    *err = HostBlend(suites, in_data, staging, field, kLayerBlendRatio, dst);
  }
  stagingHolder.Release(err);
}

// The InfectionMap becomes the blend of the Infected Layer with its own previous content,
// through a temporary world because the host blends into a third image.
void UpdateInfectionMap(HostSuiteCache& suites, const PF_InData* in_data, PF_Err* err) {
  PF_EffectWorld temporary{};
  ScopedWorld temporaryHolder(in_data, &temporary);
  NewBlackWorld(in_data, &temporary, err);
  PF_EffectWorld* infectionMap = &simulationState.infectionMap;
  BlendLayer(suites, in_data, &simulationSettings.infectedLayer, *infectionMap, infectionMap,
             &temporary, err);
  if (*err == PF_Err_NONE) {
    *err = HostCopy(in_data, &temporary, infectionMap);
  }
  temporaryHolder.Release(err);
}

}  // namespace

void PrepareSensingWorlds(HostSuiteCache& suites, const PF_InData* in_data, PF_EffectWorld* first,
                          PF_EffectWorld* second, PF_Err* err) {
  NewBlackWorld(in_data, first, err);
  NewBlackWorld(in_data, second, err);
  BlendLayer(suites, in_data, &simulationSettings.inputLayer, *first, &simulationState.trailMap,
             first, err);
  if (InfectionFedByLayer()) {
    UpdateInfectionMap(suites, in_data, err);
  }
}

bool InfectionFedByLayer() {
  return simulationSettings.infectionEnabled && simulationSettings.infectedLayer.data != nullptr;
}

}  // namespace velunary
