// One simulated frame: the parameters at the frame's own time, the population, the
// sensing images, the three kernels and the check-in.
#ifndef VELUNARY_RENDER_SIMULATE_FRAME_H
#define VELUNARY_RENDER_SIMULATE_FRAME_H

#include "host/suite_cache.h"
#include "pf_effect.h"

namespace velunary {

// Advances the process-wide simulation by one frame whose parameters are read at host
// time `what_time`. Does nothing when err is nonzero on entry; the first host error (or
// a cancel answered by `abort`) goes into err and ends the frame. However the frame ends,
// by error code or by exception, every world it made is disposed and every parameter it
// checked out is checked in; the maps and the particles keep what the frame did to them.
void SimulateFrame(HostSuiteCache& suites, const PF_InData* in_data, A_long what_time, PF_Err* err);

// Frees the memory the frames keep for sensing from one frame to the next; the next
// frame takes it again. For global setdown.
void ReleaseSensingScratch();

}  // namespace velunary

#endif
