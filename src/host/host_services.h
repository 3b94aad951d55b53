// The host operations the effect calls, in one thin layer: each forwards to the host's
// callback or suite and returns its PF_Err, so the simulation reads as plain calls.
#ifndef VELUNARY_HOST_HOST_SERVICES_H
#define VELUNARY_HOST_HOST_SERVICES_H

#include "host/suite_cache.h"
#include "pf_effect.h"
#include "pf_suites.h"

namespace velunary {

// Utility callbacks.
PF_Err HostNewWorld(const PF_InData* in_data, A_long width, A_long height, PF_EffectWorld* world);
PF_Err HostDisposeWorld(const PF_InData* in_data, PF_EffectWorld* world);
// Fills the whole world with one pixel.
PF_Err HostFill(const PF_InData* in_data, const PF_Pixel& color, PF_EffectWorld* world);
// The whole source onto the whole destination.
PF_Err HostCopy(const PF_InData* in_data, PF_EffectWorld* src, PF_EffectWorld* dst);

// Interaction callbacks.
PF_Err HostCheckoutParam(const PF_InData* in_data, PF_ParamIndex index, A_long what_time,
                         PF_ParamDef* param);
PF_Err HostCheckinParam(const PF_InData* in_data, PF_ParamDef* param);
PF_Err HostAbort(const PF_InData* in_data);

// "PF World Transform Suite" 1, taken from `suites`.
PF_Err HostBlend(HostSuiteCache& suites, const PF_InData* in_data, const PF_EffectWorld* src1,
                 const PF_EffectWorld* src2, PF_Fixed ratio, PF_EffectWorld* dst);
PF_Err HostConvolve(HostSuiteCache& suites, const PF_InData* in_data, PF_EffectWorld* src,
                    A_long kernelSize, A_long* alphaKernel, A_long* colorKernel,
                    PF_EffectWorld* dst);

}  // namespace velunary

#endif
