// "PF Param Utils Suite" 3, held for the length of a command that changes simulation state
// (global setdown and parameter change). None of its operations is called: holding it is
// how the effect confirms it is talking to a host that offers the full effect API before
// touching anything.
#ifndef VELUNARY_PLUGIN_PARAM_UTILS_SCOPE_H
#define VELUNARY_PLUGIN_PARAM_UTILS_SCOPE_H

#include "pf_effect.h"
#include "pf_suites.h"

namespace velunary {

// The code thrown when the suite cannot be acquired.
inline constexpr PF_Err kParamUtilsUnavailable = 13;

class ParamUtilsScope {
 public:
  // Acquires the suite through in_data's basic suite. When the host refuses (or there is
  // no basic suite), and out_data is not null, adds PF_OutFlag_DISPLAY_ERROR_MESSAGE to
  // its out_flags and writes "Not able to acquire AEFX Suite." into its return_msg; then
  // throws kParamUtilsUnavailable (as a PF_Err).
  ParamUtilsScope(const PF_InData* in_data, PF_OutData* out_data);
  // Releases the suite when the host handed out a table.
  ~ParamUtilsScope();
  ParamUtilsScope(const ParamUtilsScope&) = delete;
  ParamUtilsScope& operator=(const ParamUtilsScope&) = delete;

 private:
  SPBasicSuite* basicSuite_;
  const void* suite_ = nullptr;
};

}  // namespace velunary

#endif
