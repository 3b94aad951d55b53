// The render command: turns a render time into simulated frames (one more, or a replay
// from frame 0) and copies the TrailMap into the output.
#ifndef VELUNARY_RENDER_RENDER_SIMULATION_H
#define VELUNARY_RENDER_RENDER_SIMULATION_H

#include "pf_effect.h"

namespace velunary {

// PF_Cmd_RENDER. Frame F = current_time / time_step (truncating): simulates one frame when
// F is nextFrame, otherwise resets and replays frames 0 to F (none when F < 0), each with
// the parameters of its own time; copies the TrailMap into `output` and sets nextFrame to
// F + 1. out_data and params are not read.
//
// Returns 0, or the first host error (a cancel answered by `abort` included) after
// resetting the simulation; the output is then left as it came. A time_step of 0, or a
// frame index beyond 32 bits, is refused with PF_Err_BAD_CALLBACK_PARAM before any host
// call, the simulation untouched; a negative time_step (a time-reversed layer) counts
// frames like a positive one. A layer size other than the maps' makes the render a
// replay from frame 0, as does any frame but nextFrame.
// Throws the suite cache's code when the host cannot supply a suite, and std::system_error
// when a sensing thread cannot be started; either way every world and check-out of the
// frame has been released and no thread is left running, the state stays as it was at
// that moment, and the next render replays from frame 0 instead of continuing.
PF_Err RenderSimulation(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                        PF_LayerDef* output);

}  // namespace velunary

#endif
