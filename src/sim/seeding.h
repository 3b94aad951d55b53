// Particle seeding: brings the particle array to exactly particleCount records, creating
// it from nothing (re-seeding sharedRandom) or resizing it, and places new particles
// uniformly or on the bright pixels of the Spawn Layer.
#ifndef VELUNARY_SIM_SEEDING_H
#define VELUNARY_SIM_SEEDING_H

#include "pf_effect.h"

namespace velunary {

// Reports host failures through err; PF_Err_OUT_OF_MEMORY when the array cannot be had.
void PopulateParticles(const PF_InData* in_data, PF_Err* err);

}  // namespace velunary

#endif
