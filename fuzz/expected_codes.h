// The codes a command may return after the host failed it: the rule the session scripts
// hold every command to.
#ifndef VELUNARY_FUZZ_EXPECTED_CODES_H
#define VELUNARY_FUZZ_EXPECTED_CODES_H

#include <optional>
#include <vector>

#include "pf_effect.h"
#include "refhost/host.h"

namespace velunary::fuzzing {

// `failed` is the operation whose planned failure fired during the command (with code
// `injected`), if one did; `othersFailed` says whether anything else was wrong with the
// host meanwhile (a missing suite, a memory limit, a cancel, an incomplete parameter
// list). Without any failure only 0 is right; with exactly one, the code that failure
// calls for; with several, any code one of them could give. `setdown` says the command
// was global setdown.
std::vector<PF_Err> ExpectedCodes(std::optional<refhost::Op> failed, PF_Err injected,
                                  bool othersFailed, bool setdown);

}  // namespace velunary::fuzzing

#endif
