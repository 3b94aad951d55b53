// The effect's controls, declared to the host once per parameter setup. The order of
// declaration is each parameter's index (ParamIndex) and the ids are the keys under which
// saved projects store values and keyframes, so neither ever changes.
#ifndef VELUNARY_PLUGIN_PARAMS_SETUP_H
#define VELUNARY_PLUGIN_PARAMS_SETUP_H

#include "pf_effect.h"

namespace velunary {

// PF_Cmd_PARAMS_SETUP. Declares parameters 1 to 19 through add_param (index -1), sets
// out_data->num_params to ParamIndex::Count and returns PF_Err_NONE. When the host refuses
// a row, returns its code at once: later rows are not declared and num_params is not
// written.
PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                   PF_LayerDef* output);

}  // namespace velunary

#endif
