#include "plugin/about.h"

#include "host/suite_cache.h"
#include "plugin/effect_version.h"

namespace velunary {

namespace {

constexpr const char* kEffectNameCaps = "VELUNARY";
constexpr const char* kThanks = "Thank you for using Velunary. Let networks grow!";

}  // namespace

PF_Err About(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* /*params*/[],
             PF_LayerDef* /*output*/) {
  if (in_data->appl_id == PF_APPL_ID_PREMIERE) {
    return PF_Err_NONE;
  }
  if (out_data == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  HostSuiteCache suites(in_data->pica_basicP);
  // 13 + 1 + 48 characters: far below the 255 that return_msg holds.
  suites.AnsiSuite()->sprintf(out_data->return_msg, "%s v%d.%d\r%s", kEffectNameCaps, kMajorVersion,
                              kMinorVersion, kThanks);
  return PF_Err_NONE;
}

}  // namespace velunary
