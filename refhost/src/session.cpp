// The session: one effect driven command by command, as the compositing application
// would, with an output world of the layer's size that the session owns.
#include "refhost/session.h"

#include <algorithm>
#include <stdexcept>
#include <thread>
#include <vector>

namespace refhost {

namespace {

void CheckSize(int width, int height) {
  if (width < 1 || height < 1) {
    throw std::invalid_argument("refhost::Session: the layer size must be at least 1 x 1");
  }
}

void CheckRate(FrameRate rate) {
  if (rate.timeStep < 1 || rate.timeScale < 1) {
    throw std::invalid_argument("refhost::Session: time step and time scale must be positive");
  }
}

}  // namespace

Session::Session(Host& host, PF_EffectMainFunc effectMain, int width, int height, FrameRate rate)
    : host_(host),
      effectMain_(effectMain),
      inData_(host.MakeInData(width, height)),
      outData_{},
      rate_(rate) {
  if (effectMain == nullptr) throw std::invalid_argument("refhost::Session: no entry point");
  CheckSize(width, height);
  SetFrameRate(rate);
  SetLayerSize(width, height);
}

Session::~Session() = default;

void Session::SetLayerSize(int width, int height) {
  CheckSize(width, height);
  inData_.width = width;
  inData_.height = height;
  inData_.extent_hint = PF_LRect{0, 0, width, height};
  if (output_.data != nullptr && output_.width == width && output_.height == height) return;
  const A_long rowbytes = PaddedRowbytes(width);
  outputBytes_.assign(static_cast<size_t>(rowbytes) * static_cast<size_t>(height), 0);
  output_ = PF_EffectWorld{};
  output_.data = outputBytes_.data();
  output_.rowbytes = rowbytes;
  output_.width = width;
  output_.height = height;
  output_.extent_hint = PF_Rect{0, 0, width, height};
  output_.pix_aspect_ratio = PF_RationalScale{1, 1};
}

void Session::SetFrameRate(FrameRate rate) {
  CheckRate(rate);
  rate_ = rate;
  inData_.time_step = rate.timeStep;
  inData_.local_time_step = rate.timeStep;
  inData_.time_scale = rate.timeScale;
}

PF_Err Session::Send(PF_Cmd cmd, void* extra) {
  outData_.width = inData_.width;
  outData_.height = inData_.height;
  inData_.num_params = host_.ParamCount();
  // Each parameter as it stands at the current time; copies, so the effect cannot change
  // the host's declarations through them.
  std::vector<PF_ParamDef> values;
  values.reserve(static_cast<size_t>(host_.ParamCount()));
  for (int i = 0; i < host_.ParamCount(); ++i) {
    values.push_back(host_.ParamAt(i, inData_.current_time, inData_.time_step));
  }
  std::vector<PF_ParamDef*> params;
  for (PF_ParamDef& value : values) params.push_back(&value);
  params.push_back(nullptr);
  host_.ServeCallsFrom(std::this_thread::get_id());
  return effectMain_(cmd, &inData_, &outData_, params.data(), &output_, extra);
}

PF_Err Session::GlobalSetup() {
  return Send(PF_Cmd_GLOBAL_SETUP, nullptr);
}

PF_Err Session::ParamsSetup() {
  host_.ClearDeclarations();
  return Send(PF_Cmd_PARAMS_SETUP, nullptr);
}

PF_Err Session::RenderFrame(long frame) {
  return RenderAt(static_cast<A_long>(frame * rate_.timeStep));
}

PF_Err Session::RenderAt(A_long currentTime) {
  inData_.current_time = currentTime;
  return Send(PF_Cmd_RENDER, nullptr);
}

PF_Err Session::ChangeParam(int index, bool withRecord) {
  PF_UserChangedParamExtra extra{index};
  return Send(PF_Cmd_USER_CHANGED_PARAM, withRecord ? &extra : nullptr);
}

PF_Err Session::About(std::string* text) {
  outData_.return_msg[0] = '\0';
  const PF_Err err = Send(PF_Cmd_ABOUT, nullptr);
  if (text != nullptr) {
    const char* begin = outData_.return_msg;
    text->assign(begin, std::find(begin, begin + sizeof outData_.return_msg, '\0'));
  }
  return err;
}

PF_Err Session::GlobalSetdown() {
  return Send(PF_Cmd_GLOBAL_SETDOWN, nullptr);
}

Image Session::Output() const {
  return Image::FromWorld(output_);
}

}  // namespace refhost
