// Each function passes the caller's arguments through unchanged and adds only what every
// call of the effect fixes: the effect reference, no flags, no rectangles, no area.
#include "host/host_services.h"

namespace velunary {

PF_Err HostNewWorld(const PF_InData* in_data, A_long width, A_long height, PF_EffectWorld* world) {
  return in_data->utils->new_world(in_data->effect_ref, width, height, PF_NewWorldFlag_NONE, world);
}

PF_Err HostDisposeWorld(const PF_InData* in_data, PF_EffectWorld* world) {
  return in_data->utils->dispose_world(in_data->effect_ref, world);
}

PF_Err HostFill(const PF_InData* in_data, const PF_Pixel& color, PF_EffectWorld* world) {
  return in_data->utils->fill(in_data->effect_ref, &color, nullptr, world);
}

PF_Err HostCopy(const PF_InData* in_data, PF_EffectWorld* src, PF_EffectWorld* dst) {
  return in_data->utils->copy(in_data->effect_ref, src, dst, nullptr, nullptr);
}

PF_Err HostCheckoutParam(const PF_InData* in_data, PF_ParamIndex index, A_long what_time,
                         PF_ParamDef* param) {
  return in_data->inter.checkout_param(in_data->effect_ref, index, what_time, in_data->time_step,
                                       in_data->time_scale, param);
}

PF_Err HostCheckinParam(const PF_InData* in_data, PF_ParamDef* param) {
  return in_data->inter.checkin_param(in_data->effect_ref, param);
}

PF_Err HostAbort(const PF_InData* in_data) {
  return in_data->inter.abort(in_data->effect_ref);
}

PF_Err HostBlend(HostSuiteCache& suites, const PF_InData* in_data, const PF_EffectWorld* src1,
                 const PF_EffectWorld* src2, PF_Fixed ratio, PF_EffectWorld* dst) {
  return suites.WorldTransformSuite()->blend(in_data->effect_ref, src1, src2, ratio, dst);
}

// Both convolutions of a trail field weigh red, green and blue alike, so the three
// colour channels share one kernel.
PF_Err HostConvolve(HostSuiteCache& suites, const PF_InData* in_data, PF_EffectWorld* src,
                    A_long kernelSize, A_long* alphaKernel, A_long* colorKernel,
                    PF_EffectWorld* dst) {
  return suites.WorldTransformSuite()->convolve(in_data->effect_ref, src, nullptr,
                                                PF_KernelFlag_NONE, kernelSize, alphaKernel,
                                                colorKernel, colorKernel, colorKernel, dst);
}

}  // namespace velunary
