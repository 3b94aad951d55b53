// The effect in a reference-host session, as the tests, the fuzzer and the benchmarks drive
// it: a fresh process state, global setup, parameter setup and a layer; one hash of what a
// frame leaves; and the ledger held against what the effect's state refers to.
#ifndef VELUNARY_TESTS_RIG_SESSION_RIG_H
#define VELUNARY_TESTS_RIG_SESSION_RIG_H

#include <cstdint>
#include <string>

#include "pf_effect.h"
#include "refhost/host.h"
#include "refhost/image.h"
#include "refhost/session.h"

namespace velunary::rig {

// Frames of 1001/24000 s: a time step other than 1, so truncation shows.
inline constexpr refhost::FrameRate kRate{1001, 24000};
// A code no host call gives by itself.
inline constexpr PF_Err kInjected = PF_Err_CANNOT_PARSE_KEYFRAME_TEXT;

// Global setup and parameter setup done (a failure shows in `setupError`), the demo web
// of the session's size as the layer, every control at its default.
struct SessionRig {
  SessionRig(int width, int height, refhost::FrameRate rate);
  SessionRig(const SessionRig&) = delete;
  SessionRig& operator=(const SessionRig&) = delete;

  // Renders `frame`, or the frame at `time`, and answers how many frames that simulated
  // (0 on failure).
  long FramesFor(long frame);
  long FramesAt(A_long time);
  // The image of `frame`; a failed render leaves an empty image.
  refhost::Image Render(long frame);

  refhost::Host host;
  refhost::Session session;
  PF_Err setupError = PF_Err_NONE;

 private:
  long Counted(PF_Err err, long checkoutsBefore) const;
};

// Calls of every operation the host offers, so far.
long TotalCalls(const refhost::Host& host);

// FNV-1a of the output's pixels (alpha, red, green, blue), the particles (position,
// heading, infection, field by field) and, when asked and there is one, the InfectionMap:
// what a frame leaves for the next. (A replay starts from a black InfectionMap where
// playback from load may have none yet; the two read alike.)
std::uint64_t FrameHash(const refhost::Image& output, bool withInfectionMap);

// What the host refused to take back: a suite release or a check-in it refused is its own
// loss, not the effect's, which hands nothing back twice.
struct Refused {
  long suiteReleases = 0;
  long checkins = 0;
};

// Empty when the host's ledger shows exactly what the simulation state refers to and
// nothing else: as many live worlds as present maps, the particle handle exactly when
// there is an array (and no records without one), no staging world, no misuse of the host, and as
// many suites still acquired and check-outs still open as the host refused to take back. Otherwise
// says what differs.
std::string HoldingsMismatch(const refhost::Host& host, Refused refused);

// Empty when the simulation holds nothing at all, as after global setdown.
std::string HoldsAnything(const refhost::Host& host, Refused refused);

}  // namespace velunary::rig

#endif
