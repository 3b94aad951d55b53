// A session of the effect written as bytes: any sequence of commands, frame times (negative
// and huge among them), frame rates (time-reversed ones too), layer sizes from 1 x 1 to 64 x 64,
// layer images, control values anywhere within their ranges, keyframes and host failures, played
// through the reference host with the effect linked in. The fuzz target feeds it arbitrary bytes;
// the tests replay the committed corpus, findings included.
//
// Every command is checked as it returns: the code it gives for the failure that was
// injected (0 when nothing failed), what the effect still holds against what its state
// refers to, the reset after a failed render, the frame a successful one leaves next, its
// output against the TrailMap and every particle on the layer. At the end, with the host
// healthy again, a render must succeed and equal the same render from a fresh start, and
// global setdown must leave the host holding nothing for the effect.
#ifndef VELUNARY_FUZZ_SESSION_SCRIPT_H
#define VELUNARY_FUZZ_SESSION_SCRIPT_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace velunary::fuzzing {

// Plays `data` as a session script (any bytes are a valid script; bytes past the end read
// as zero). Returns an empty string when every check held, otherwise the first check that
// failed and the commands that led to it.
std::string RunSessionScript(const std::uint8_t* data, std::size_t size);

// The fault sweep of a session: plays `data` as above, then again once for each failable
// call its last command makes, with that call failing, and once for each suite lent to
// effects that the command acquires, with that suite missing. Each run must pass every
// check, its failure must show in the command as the one code it calls for, and the
// command must make the failed call where it made it without the failure. Only where the
// command starts with a particle array may a failed allocation be absorbed (a resize that
// cannot be had falls back to a new population).
std::string SweepSessionScript(const std::uint8_t* data, std::size_t size);

}  // namespace velunary::fuzzing

#endif
