// The library's two exported entry points, the only symbols a host sees.
//
// EffectMain runs one command per call on the host's thread. Every command it does not
// handle (2, 5-10, 12, 14 and above) returns PF_Err_NONE and changes nothing. Errors reach
// the host only as the returned PF_Err: a host code passed on from a handler, 13 when "PF
// Param Utils Suite" 3 cannot be acquired, 516 for a suite the host cannot supply,
// PF_Err_OUT_OF_MEMORY when memory runs out and PF_Err_INTERNAL_STRUCT_DAMAGED for any
// other failure; no exception leaves it.
//
// PluginDataEntryFunction describes the effect through the host's callback, called once,
// and returns the callback's result (PF_Err_INVALID_CALLBACK when there is no callback).
#ifndef VELUNARY_PLUGIN_EFFECT_MAIN_H
#define VELUNARY_PLUGIN_EFFECT_MAIN_H

#include "pf_effect.h"

#if defined(_WIN32)
#define VELUNARY_EXPORT __declspec(dllexport)
#else
#define VELUNARY_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

VELUNARY_EXPORT PF_Err EffectMain(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                  PF_ParamDef* params[], PF_LayerDef* output, void* extra);

VELUNARY_EXPORT PF_Err PluginDataEntryFunction(PF_PluginDataPtr inPtr,
                                               PF_PluginDataCB inPluginDataCallBackPtr,
                                               SPBasicSuite* inSPBasicSuitePtr,
                                               const A_char* inHostName,
                                               const A_char* inHostVersion);
}

#endif
