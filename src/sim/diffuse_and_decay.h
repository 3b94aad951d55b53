// Diffusion and decay of one trail field: a 3x3 convolution into a temporary world, then
// a 1x1 convolution back, both by the host.
#ifndef VELUNARY_SIM_DIFFUSE_AND_DECAY_H
#define VELUNARY_SIM_DIFFUSE_AND_DECAY_H

#include "pf_effect.h"

namespace velunary {

// Does nothing with a nonzero err on entry; writes "err" to standard output when err ends
// positive. The map's pixels change in place; its record does not.
void DiffuseAndDecay(const PF_InData* in_data, PF_Err* err, PF_EffectWorld map);

}  // namespace velunary

#endif
