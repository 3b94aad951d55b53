#include "plugin/param_utils_scope.h"

namespace velunary {

ParamUtilsScope::ParamUtilsScope(const PF_InData* in_data, PF_OutData* out_data)
    : basicSuite_(in_data->pica_basicP) {
  const SPErr result =
      basicSuite_ == nullptr
          ? SPErr{1}
          : basicSuite_->AcquireSuite(kPFParamUtilsSuite, kPFParamUtilsSuiteVersion3, &suite_);
  if (result == 0) {
    return;
  }
  // Whatever the host stored on refusal is not a table we may release.
  suite_ = nullptr;
  if (out_data != nullptr) {
    out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    if (in_data->utils != nullptr && in_data->utils->ansi.sprintf != nullptr) {
      in_data->utils->ansi.sprintf(out_data->return_msg, "Not able to acquire AEFX Suite.");
    }
  }
  throw PF_Err{kParamUtilsUnavailable};
}

ParamUtilsScope::~ParamUtilsScope() {
  if (suite_ != nullptr) {
    basicSuite_->ReleaseSuite(kPFParamUtilsSuite, kPFParamUtilsSuiteVersion3);
  }
}

}  // namespace velunary
