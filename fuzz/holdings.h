// What the effect holds between two commands, held against what its process-wide state
// refers to. The effect may keep only the TrailMap, the InfectionMap and the particle
// handle from one command to the next; everything else it borrows from the host (worlds
// of a frame, the staging world, check-outs, suites) goes back before the command returns,
// whatever failed on the way.
#ifndef VELUNARY_FUZZ_HOLDINGS_H
#define VELUNARY_FUZZ_HOLDINGS_H

#include <string>

#include "refhost/host.h"

namespace velunary::fuzzing {

// What the host refused to take back: a suite release or a check-in it refused is its own
// loss, not the effect's, which hands nothing back twice.
struct Refused {
  long suiteReleases = 0;
  long checkins = 0;
};

// Empty when the host's ledger shows exactly what the simulation state refers to and
// nothing else: as many live worlds as present maps, the particle handle exactly when
// there is an array, no staging world, no misuse of the host, and as many suites still
// acquired and check-outs still open as the host refused to take back. Otherwise says
// what differs.
std::string HoldingsMismatch(const refhost::Host& host, Refused refused);

// Empty when the simulation holds nothing at all, as after global setdown.
std::string HoldsAnything(const refhost::Host& host, Refused refused);

}  // namespace velunary::fuzzing

#endif
