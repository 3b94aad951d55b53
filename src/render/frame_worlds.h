// The images a simulated frame makes for itself: the two sensing images (the layer blended
// with the TrailMap) and the InfectionMap's update from the Infected Layer. Every world
// made here is guarded, so an error code or an exception never leaves one behind.
#ifndef VELUNARY_RENDER_FRAME_WORLDS_H
#define VELUNARY_RENDER_FRAME_WORLDS_H

#include "host/suite_cache.h"
#include "pf_effect.h"

namespace velunary {

// Holds the host world in *world (a local or a state record such as stagingWorld) until
// it is disposed, and disposes it at scope end if that has not happened.
class WorldGuard {
 public:
  WorldGuard(const PF_InData* in_data, PF_EffectWorld* world);
  // Disposes a world still held, trying once more if the host refuses, and clears the
  // record once the host has taken the world back. Results are not reported.
  ~WorldGuard();
  WorldGuard(const WorldGuard&) = delete;
  WorldGuard& operator=(const WorldGuard&) = delete;

  // Disposes the world now when err is 0, storing the host's answer in err. The record is
  // cleared only when the host accepted it; otherwise the destructor tries once more.
  void Dispose(PF_Err* err);

 private:
  const PF_InData* in_data_;
  PF_EffectWorld* world_;
};

// Makes both sensing images (opaque black, then the layer over the TrailMap in the first),
// brings the InfectionMap up to date from the Infected Layer when infection is on and one
// is chosen, and copies the first sensing image into the second. *first and *second must
// be absent on entry and are guarded by the caller. Stops at the first host error.
void PrepareSensingWorlds(HostSuiteCache& suites, const PF_InData* in_data, PF_EffectWorld* first,
                          PF_EffectWorld* second, PF_Err* err);

// Whether this frame's settings feed the InfectionMap from a layer (and so diffuse it).
bool InfectionFedByLayer();

}  // namespace velunary

#endif
