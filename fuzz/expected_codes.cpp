#include "expected_codes.h"

namespace velunary::fuzzing {

namespace {

// What the entry point answers when "PF Param Utils Suite" 3, which global setdown and the
// parameter change acquire first, cannot be had.
constexpr PF_Err kNoParamUtils = 13;

}  // namespace

std::vector<PF_Err> ExpectedCodes(std::optional<refhost::Op> failed, PF_Err injected,
                                  bool othersFailed, bool setdown) {
  using refhost::Op;
  if (!failed && !othersFailed) return {PF_Err_NONE};
  if (othersFailed) {
    return {PF_Err_NONE,
            injected,
            PF_Interrupt_CANCEL,
            PF_Err_OUT_OF_MEMORY,
            PF_Err_BAD_CALLBACK_PARAM,
            kNoParamUtils,
            PF_Err_INVALID_INDEX};
  }
  switch (*failed) {
    case Op::AcquireSuite:
      // The suite cache's missing suite, or the entry point's own for Param Utils.
      return {PF_Err_BAD_CALLBACK_PARAM, kNoParamUtils};
    case Op::ReleaseSuite:
      // The host's own loss: the command has done its work.
      return {PF_Err_NONE};
    case Op::DisposeWorld:
      // Setdown retries a refused world and answers 0 whatever the host did with it: at
      // unload the host has nothing to do with a code.
      return {setdown ? PF_Err_NONE : injected};
    case Op::NewHandle:
    case Op::LockHandle:
      // A resize falls back to a new population, which may get its memory.
      return {PF_Err_OUT_OF_MEMORY, PF_Err_NONE};
    default:
      return {injected};
  }
}

}  // namespace velunary::fuzzing
