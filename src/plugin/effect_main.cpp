// The host's way in: command dispatch, the three commands handled here and the one place
// where failures become result codes. Handlers report host errors by returning them and
// report missing suites by throwing the code; everything else that can escape a handler
// is turned into a code here too, because an exception crossing into the host's C frames
// ends the host process.
#include "plugin/effect_main.h"

#include <new>

#include "host/host_services.h"
#include "host/param_index.h"
#include "host/suite_cache.h"
#include "plugin/about.h"
#include "plugin/effect_version.h"
#include "plugin/param_utils_scope.h"
#include "plugin/params_setup.h"
#include "render/render_simulation.h"
#include "render/simulate_frame.h"
#include "sim/simulation_state.h"

namespace velunary {

namespace {

// What PluginDataEntryFunction tells the host. The kind is the four-character code "eFKT"
// (an effect) as one 32-bit number, first character in the high byte.
constexpr A_long kEffectKind = 0x65464B54;
constexpr A_long kApiVersion = 13;
constexpr A_long kApiSubversion = 17;
constexpr A_long kReservedInfo = 8;

PF_Err GlobalSetup(PF_OutData* out_data) {
  if (out_data != nullptr) {
    out_data->my_version = kPackedVersion;
    out_data->out_flags = PF_OutFlag_NON_PARAM_VARY;
  }
  return PF_Err_NONE;
}

// Before unloading, the host expects the effect to hold nothing of its own: the trail
// fields and the particle memory go back to the host (ReleaseSimulation, beside the reset),
// and the sensing scratch to the heap.
// The next render after a setdown (a host may set the effect up again without unloading
// it) starts a new simulation from frame 0, as at load.
PF_Err GlobalSetdown(PF_InData* in_data, PF_OutData* out_data) {
  const ParamUtilsScope paramUtils(in_data, out_data);
  HostSuiteCache suites(in_data->pica_basicP);
  ReleaseSimulation(suites, in_data);
  ReleaseSensingScratch();
  return PF_Err_NONE;
}

// Every supervised parameter asks for a new render; only the "Reset particles" button
// also starts the simulation over.
PF_Err UserChangedParam(PF_InData* in_data, PF_OutData* out_data, const void* extra) {
  PF_Err err = PF_Err_NONE;
  const ParamUtilsScope paramUtils(in_data, out_data);
  const auto* changed = static_cast<const PF_UserChangedParamExtra*>(extra);
  if (changed != nullptr && changed->param_index == ResetButton) {
    ResetSimulation(in_data, &err);
  }
  if (out_data != nullptr) {
    out_data->out_flags = PF_OutFlag_FORCE_RERENDER;
  }
  return err;
}

PF_Err Dispatch(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                PF_LayerDef* output, void* extra) {
  switch (cmd) {
    case PF_Cmd_ABOUT:
      return About(in_data, out_data, params, output);
    case PF_Cmd_GLOBAL_SETUP:
      return GlobalSetup(out_data);
    case PF_Cmd_GLOBAL_SETDOWN:
      return GlobalSetdown(in_data, out_data);
    case PF_Cmd_PARAMS_SETUP:
      return ParamsSetup(in_data, out_data, params, output);
    case PF_Cmd_RENDER:
      return RenderSimulation(in_data, out_data, params, output);
    case PF_Cmd_USER_CHANGED_PARAM:
      return UserChangedParam(in_data, out_data, extra);
    default:
      return PF_Err_NONE;
  }
}

}  // namespace

}  // namespace velunary

extern "C" PF_Err EffectMain(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                             PF_ParamDef* params[], PF_LayerDef* output, void* extra) {
  try {
    return velunary::Dispatch(cmd, in_data, out_data, params, output, extra);
  } catch (PF_Err code) {
    return code;
  } catch (const std::bad_alloc&) {
    return PF_Err_OUT_OF_MEMORY;
  } catch (...) {
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
  }
}

extern "C" PF_Err PluginDataEntryFunction(PF_PluginDataPtr inPtr,
                                          PF_PluginDataCB inPluginDataCallBackPtr,
                                          SPBasicSuite* /*inSPBasicSuitePtr*/,
                                          const A_char* /*inHostName*/,
                                          const A_char* /*inHostVersion*/) {
  if (inPluginDataCallBackPtr == nullptr) {
    return PF_Err_INVALID_CALLBACK;
  }
  return inPluginDataCallBackPtr(inPtr, "Didezeri", "DIVA Rezederu", "Sample Plug-ins",
                                 "EffectMain", velunary::kEffectKind, velunary::kApiVersion,
                                 velunary::kApiSubversion, velunary::kReservedInfo);
}
