// Drives an effect as the compositing application would: builds the input and output
// records for a layer size and frame rate and sends one command at a time through the
// effect's entry point, rendering into an output world the session owns.
#ifndef VELUNARY_REFHOST_SESSION_H
#define VELUNARY_REFHOST_SESSION_H

#include <string>

#include "pf_effect.h"
#include "refhost/host.h"
#include "refhost/image.h"

namespace refhost {

// A frame lasts time_step / time_scale seconds.
struct FrameRate {
  A_long timeStep = 1;
  A_u_long timeScale = 24;
};

class Session {
 public:
  Session(Host& host, PF_EffectMainFunc effectMain, int width, int height, FrameRate rate);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  PF_Err GlobalSetup();
  // Records the declared parameters in the host (forgetting earlier declarations).
  PF_Err ParamsSetup();
  // Renders frame k: current_time = k * time_step.
  PF_Err RenderFrame(long frame);
  // Renders at an arbitrary current_time (which need not be a multiple of time_step).
  PF_Err RenderAt(A_long currentTime);
  // A parameter change of `index` (PF_Cmd_USER_CHANGED_PARAM with the changed-parameter
  // record); withRecord = false sends no record.
  PF_Err ChangeParam(int index, bool withRecord = true);
  // The about text, from return_msg, into `text`.
  PF_Err About(std::string* text);
  PF_Err GlobalSetdown();
  // Any command, with the session's records and the given extra pointer.
  PF_Err Send(PF_Cmd cmd, void* extra);

  // The layer size of later commands (a size change between renders).
  void SetLayerSize(int width, int height);
  void SetFrameRate(FrameRate rate);

  // The output world of the last render, as an image.
  Image Output() const;
  PF_InData& InData() { return inData_; }
  PF_OutData& OutData() { return outData_; }
  Host& GetHost() { return host_; }

 private:
  Host& host_;
  PF_EffectMainFunc effectMain_;
  PF_InData inData_;
  PF_OutData outData_;
  FrameRate rate_;
  std::vector<unsigned char> outputBytes_;
  PF_EffectWorld output_{};
};

}  // namespace refhost

#endif
