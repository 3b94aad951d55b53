// The render command: turns a render time into simulated frames (one more, or a replay
// from frame 0) and copies the TrailMap into the output.
#ifndef VELUNARY_RENDER_RENDER_SIMULATION_H
#define VELUNARY_RENDER_RENDER_SIMULATION_H

#include "pf_effect.h"

namespace velunary {

// Returns 0 or the first host error (after resetting the simulation).
PF_Err RenderSimulation(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                        PF_LayerDef* output);

}  // namespace velunary

#endif
