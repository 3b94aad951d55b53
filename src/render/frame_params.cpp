#include "render/frame_params.h"

#include "host/host_services.h"

namespace velunary {

FrameParams::FrameParams(const PF_InData* in_data) : in_data_(in_data) {}

FrameParams::~FrameParams() {
  for (ParamIndex index : kCheckinOrder) {
    // One check-in per check-out: a refusal is the host's answer to it, not a reason to
    // hand the record in again.
    if (out_[index]) {
      HostCheckinParam(in_data_, &records_[index]);
    }
    out_[index] = false;
  }
}

void FrameParams::CheckOut(A_long what_time, PF_Err* err) {
  for (ParamIndex index : kCheckoutOrder) {
    if (*err != PF_Err_NONE) {
      return;
    }
    *err = HostCheckoutParam(in_data_, index, what_time, &records_[index]);
    // A refused check-out leaves nothing to hand back.
    out_[index] = *err == PF_Err_NONE;
    if (*err == PF_Err_NONE) {
      *err = HostAbort(in_data_);
    }
  }
}

void FrameParams::CheckIn(PF_Err* err) {
  for (ParamIndex index : kCheckinOrder) {
    if (*err != PF_Err_NONE) {
      return;
    }
    if (out_[index]) {
      *err = HostCheckinParam(in_data_, &records_[index]);
      out_[index] = false;
    }
  }
}

}  // namespace velunary
