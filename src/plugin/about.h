// The about text: two lines, the effect's name and version, then a thanks line, separated
// by a single carriage return (the host's about box breaks lines on CR alone).
#ifndef VELUNARY_PLUGIN_ABOUT_H
#define VELUNARY_PLUGIN_ABOUT_H

#include "pf_effect.h"

namespace velunary {

// PF_Cmd_ABOUT. Writes the text into out_data->return_msg through "PF ANSI Suite" 1 and
// returns PF_Err_NONE. Under Premiere Pro (appl_id "PrMr") it returns PF_Err_NONE at once
// and writes nothing. Throws PF_Err_BAD_CALLBACK_PARAM (as a PF_Err) when the suite cannot
// be acquired, writing nothing; returns PF_Err_BAD_CALLBACK_PARAM without a host call when
// there is no output record to write into.
PF_Err About(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output);

}  // namespace velunary

#endif
