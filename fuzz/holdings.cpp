#include "holdings.h"

#include "sim/simulation_state.h"

namespace velunary::fuzzing {

namespace {

std::string Count(const char* what, long held, long expected) {
  return std::string(what) + ": the host counts " + std::to_string(held) + ", expected " +
         std::to_string(expected) + "; ";
}

}  // namespace

std::string HoldingsMismatch(const refhost::Host& host, Refused refused) {
  const refhost::Ledger ledger = host.GetLedger();
  const SimulationState& s = simulationState;
  std::string problems;
  if (!IsAbsent(s.stagingWorld)) problems += "the staging world outlived its step; ";
  for (const PF_EffectWorld* map : {&s.trailMap, &s.infectionMap}) {
    if (!IsAbsent(*map) && !host.IsLiveEffectWorld(*map)) {
      problems += "a map refers to a world the host does not hold; ";
    }
  }
  const long maps = (IsAbsent(s.trailMap) ? 0 : 1) + (IsAbsent(s.infectionMap) ? 0 : 1) +
                    (IsAbsent(s.stagingWorld) ? 0 : 1);
  if (ledger.liveWorlds != maps) problems += Count("live worlds", ledger.liveWorlds, maps);
  const long handles = s.particleHandle != nullptr ? 1 : 0;
  if (ledger.liveHandles != handles) problems += Count("live handles", ledger.liveHandles, handles);
  if ((s.particleHandle == nullptr) != (s.particles == nullptr)) {
    problems += "the particle array and its handle disagree; ";
  }
  if (ledger.openCheckouts != refused.checkins) {
    problems += Count("open check-outs", ledger.openCheckouts, refused.checkins);
  }
  if (ledger.acquiredSuites != refused.suiteReleases) {
    problems += Count("acquired suites", ledger.acquiredSuites, refused.suiteReleases);
  }
  if (ledger.faults != 0) {
    problems += "misuse of the host: " + ledger.faultLog.front() + "; ";
  }
  return problems;
}

std::string HoldsAnything(const refhost::Host& host, Refused refused) {
  std::string problems = HoldingsMismatch(host, refused);
  const SimulationState& s = simulationState;
  if (!IsAbsent(s.trailMap) || !IsAbsent(s.infectionMap) || s.particleHandle != nullptr) {
    problems += "the simulation still holds maps or particles; ";
  }
  return problems;
}

}  // namespace velunary::fuzzing
