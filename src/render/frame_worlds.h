// The images a simulated frame makes for itself: the two sensing images (the layer blended
// with the TrailMap) and the InfectionMap's update from the Infected Layer. Every world
// made here is held by a ScopedWorld, so an error code or an exception never leaves one
// behind.
#ifndef VELUNARY_RENDER_FRAME_WORLDS_H
#define VELUNARY_RENDER_FRAME_WORLDS_H

#include "host/suite_cache.h"
#include "pf_effect.h"

namespace velunary {

// Makes both sensing images opaque black, blends the layer over the TrailMap into the
// first and, when infection is on and an Infected Layer is chosen, brings the InfectionMap
// up to date from it. These are the frame's host calls that read the maps the movement
// pass paints: once this returns, none is under way. *first and *second must be absent on
// entry and are held by the caller. Stops at the first host error.
void PrepareSensingWorlds(HostSuiteCache& suites, const PF_InData* in_data, PF_EffectWorld* first,
                          PF_EffectWorld* second, PF_Err* err);

// Whether this frame's settings feed the InfectionMap from a layer (and so diffuse it).
bool InfectionFedByLayer();

}  // namespace velunary

#endif
