// Particle seeding: brings the particle array to exactly particleCount records, creating
// it from nothing (re-seeding sharedRandom) or resizing it, and places new particles
// uniformly or on the bright pixels of the Spawn Layer.
#ifndef VELUNARY_SIM_SEEDING_H
#define VELUNARY_SIM_SEEDING_H

#include "host/suite_cache.h"
#include "pf_effect.h"

namespace velunary {

// Reports host failures through err; PF_Err_OUT_OF_MEMORY when the array cannot be had.
// Does nothing when err is nonzero on entry. A step that fails leaves no partly placed
// array behind: a failed creation leaves no array, a failed growth the old one unchanged,
// and a resize whose new array cannot be had creates the population afresh. An array of
// 0 records exists (particles non-null) and is kept like any other.
// The handle suite comes from `suites`, the render command's cache, so a catch-up over
// many frames acquires it once. Throws PF_Err_BAD_CALLBACK_PARAM (as an integer) when
// the handle suite is missing.
void PopulateParticles(HostSuiteCache& suites, const PF_InData* in_data, PF_Err* err);

}  // namespace velunary

#endif
