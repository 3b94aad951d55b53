// Parameters: the declarations made through add_param, their timelines, the values
// handed out by checkout_param and taken back by checkin_param, and abort.
//
// A float slider between keyframes is interpolated linearly in double precision on the
// segment p0 <= p < p1; a keyframe's own position gives its value exactly, and the first
// and last keyframes hold outside them. A checkbox holds the last keyframe at or before
// p. A layer shows the image set for the last frame at or before p.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "host_impl.h"

namespace refhost {

namespace {

bool HasTimeline(const PF_ParamDef& def) {
  return def.param_type == PF_Param_FLOAT_SLIDER || def.param_type == PF_Param_CHECKBOX;
}

double DeclaredValue(const PF_ParamDef& def) {
  return def.param_type == PF_Param_FLOAT_SLIDER ? def.u.fs_d.value : def.u.bd.value;
}

// The first keyframe after frame position p.
std::vector<Keyframe>::const_iterator FirstAfter(const std::vector<Keyframe>& keys, double p) {
  return std::upper_bound(keys.begin(), keys.end(), p,
                          [](double pos, const Keyframe& k) { return pos < k.frame; });
}

double SliderAt(const std::vector<Keyframe>& keys, double p) {
  if (p <= keys.front().frame) return keys.front().value;
  if (p >= keys.back().frame) return keys.back().value;
  auto next = FirstAfter(keys, p);
  const Keyframe& k0 = *(next - 1);
  const Keyframe& k1 = *next;
  if (p == k0.frame) return k0.value;
  const double p0 = k0.frame;
  const double p1 = k1.frame;
  return k0.value + (k1.value - k0.value) * ((p - p0) / (p1 - p0));
}

double CheckboxAt(const std::vector<Keyframe>& keys, double p) {
  auto next = FirstAfter(keys, p);
  return next == keys.begin() ? keys.front().value : (next - 1)->value;
}

double TimelineValue(const ParamSlot& slot, double p) {
  if (!slot.keys.empty()) {
    return slot.def.param_type == PF_Param_FLOAT_SLIDER ? SliderAt(slot.keys, p)
                                                        : CheckboxAt(slot.keys, p);
  }
  return slot.hasConstant ? slot.constant : DeclaredValue(slot.def);
}

std::unique_ptr<OwnedWorld> WorldOf(const Image& image) {
  if (image.Empty()) return nullptr;
  auto world = std::make_unique<OwnedWorld>(image.width, image.height);
  PF_EffectWorld record = world->Record(0);
  image.CopyInto(record);
  return world;
}

const OwnedWorld* ProvidedAt(const ParamSlot& slot, int frame, bool presented) {
  auto& [newest, older] = slot.checkedOut;
  std::shared_ptr<OwnedWorld> world;
  for (const auto* entry : {&slot.presented, &newest, &older}) {
    if (entry->second != nullptr && entry->first == frame) world = entry->second;
  }
  if (world == nullptr) {
    if (const std::shared_ptr<const Image> image = slot.provider(frame)) world = WorldOf(*image);
  }
  if (presented) {
    slot.presented = {frame, world};
  } else if (newest.first != frame || newest.second != world) {
    older = std::move(newest);
    newest = {frame, world};
  }
  return world.get();
}

// The frame a position falls in. A time far from zero over a small time scale can lie
// beyond any int frame; it takes the first or last one (and a NaN the first).
int FrameAt(double p) {
  const double frame = std::floor(p);
  if (!(frame > std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  if (frame >= std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  return static_cast<int>(frame);
}

const OwnedWorld* LayerAt(const ParamSlot& slot, double p, bool presented) {
  if (slot.provider) return ProvidedAt(slot, FrameAt(p), presented);
  if (slot.layerWorlds.empty()) return nullptr;
  auto next = slot.layerWorlds.upper_bound(FrameAt(p));
  const auto& chosen = next == slot.layerWorlds.begin() ? *next : *std::prev(next);
  return chosen.second.get();
}

std::string Describe(const ParamSlot& slot, int index) {
  return "parameter " + std::to_string(index) + " \"" + slot.def.name + "\"";
}

PF_Err AddParam(PF_ProgPtr ref, PF_ParamIndex index, PF_ParamDef* def) {
  Host::Impl* host = nullptr;
  if (PF_Err err = EnterCallback(ref, Op::AddParam, &host)) return err;
  if (def == nullptr) {
    host->Fault("add_param with a null definition");
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (index != -1) {
    host->Fault("add_param at index " + std::to_string(index) + " (only -1, append, is accepted)");
    return PF_Err_INVALID_INDEX;
  }
  ParamSlot slot;
  slot.def = *def;
  slot.def.name[PF_MAX_EFFECT_PARAM_NAME_LEN] = '\0';
  host->params.push_back(std::move(slot));
  return PF_Err_NONE;
}

PF_Err CheckoutParam(PF_ProgPtr ref, PF_ParamIndex index, A_long what_time, A_long time_step,
                     A_u_long /*time_scale*/, PF_ParamDef* param) {
  Host::Impl* host = nullptr;
  if (PF_Err err = EnterCallback(ref, Op::CheckoutParam, &host)) return err;
  if (index < 0 || index >= static_cast<PF_ParamIndex>(host->params.size())) {
    return PF_Err_INVALID_INDEX;
  }
  if (param == nullptr || time_step == 0) return PF_Err_BAD_CALLBACK_PARAM;
  const double p = static_cast<double>(what_time) / static_cast<double>(time_step);
  host->lastCheckoutTime.store(what_time);
  *param = ParamRecordAt(host->params[static_cast<size_t>(index)], p, /*presented=*/false);
  // The serial in `unused` names this check-out, so that checking in a copy of the
  // record counts and checking in twice does not.
  const A_long serial = host->nextCheckoutSerial++;
  param->unused = serial;
  host->openCheckouts.insert(serial);
  return PF_Err_NONE;
}

PF_Err CheckinParam(PF_ProgPtr ref, PF_ParamDef* param) {
  Host::Impl* host = nullptr;
  if (PF_Err err = EnterCallback(ref, Op::CheckinParam, &host)) return err;
  if (param == nullptr || host->openCheckouts.erase(param->unused) == 0) {
    host->Fault("checkin_param of a record that is not checked out");
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  return PF_Err_NONE;
}

PF_Err Abort(PF_ProgPtr ref) {
  Host::Impl* host = nullptr;
  if (PF_Err err = EnterCallback(ref, Op::Abort, &host)) return err;
  return host->cancel.load() ? PF_Interrupt_CANCEL : PF_Err_NONE;
}

}  // namespace

PF_ParamDef ParamRecordAt(const ParamSlot& slot, double framePosition, bool presented) {
  PF_ParamDef record = slot.def;
  switch (slot.def.param_type) {
    case PF_Param_FLOAT_SLIDER:
      record.u.fs_d.value = TimelineValue(slot, framePosition);
      break;
    case PF_Param_CHECKBOX:
      record.u.bd.value = static_cast<A_long>(TimelineValue(slot, framePosition));
      break;
    case PF_Param_LAYER: {
      const OwnedWorld* world = LayerAt(slot, framePosition, presented);
      record.u.ld = world == nullptr ? PF_LayerDef{} : world->Record(0);
      break;
    }
    default:
      break;
  }
  return record;
}

void BindInteractCallbacks(PF_InteractCallbacks& inter) {
  inter.checkout_param = CheckoutParam;
  inter.checkin_param = CheckinParam;
  inter.add_param = AddParam;
  inter.abort = Abort;
}

int Host::ParamCount() const {
  return static_cast<int>(impl_->params.size());
}

const PF_ParamDef& Host::Param(int index) const {
  if (index < 0 || index >= ParamCount()) {
    throw std::out_of_range("refhost::Host::Param: no parameter " + std::to_string(index));
  }
  return impl_->params[static_cast<size_t>(index)].def;
}

PF_ParamDef Host::ParamAt(int index, A_long whatTime, A_long timeStep) const {
  if (index < 0 || index >= ParamCount() || timeStep == 0) {
    throw std::out_of_range("refhost::Host::ParamAt: no parameter " + std::to_string(index) +
                            " or a zero time step");
  }
  return ParamRecordAt(impl_->params[static_cast<size_t>(index)],
                       static_cast<double>(whatTime) / static_cast<double>(timeStep),
                       /*presented=*/true);
}

void Host::ClearDeclarations() {
  impl_->params.resize(1);
}

int Host::FindParam(std::string_view name) const {
  auto lower = [](char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  };
  for (int i = 0; i < ParamCount(); ++i) {
    const std::string_view candidate(impl_->params[static_cast<size_t>(i)].def.name);
    if (candidate.size() == name.size() &&
        std::equal(candidate.begin(), candidate.end(), name.begin(),
                   [&](char a, char b) { return lower(a) == lower(b); })) {
      return i;
    }
  }
  return -1;
}

namespace {

ParamSlot& ValueSlot(std::vector<ParamSlot>& params, int index, double value) {
  if (index < 1 || index >= static_cast<int>(params.size()) ||
      !HasTimeline(params[static_cast<size_t>(index)].def)) {
    throw std::invalid_argument("refhost: parameter " + std::to_string(index) +
                                " is no declared float slider or checkbox");
  }
  ParamSlot& slot = params[static_cast<size_t>(index)];
  std::ostringstream range;
  bool valid = false;
  if (slot.def.param_type == PF_Param_FLOAT_SLIDER) {
    const double low = static_cast<double>(slot.def.u.fs_d.valid_min);
    const double high = static_cast<double>(slot.def.u.fs_d.valid_max);
    valid = value >= low && value <= high;  // false for NaN too
    range << low << " to " << high;
  } else {
    valid = value == 0 || value == 1;
    range << "0 or 1";
  }
  if (!valid) {
    std::ostringstream message;
    message << Describe(slot, index) << ": " << value << " is outside its valid range "
            << range.str();
    throw std::invalid_argument(message.str());
  }
  return slot;
}

}  // namespace

void Host::SetValue(int index, double value) {
  ParamSlot& slot = ValueSlot(impl_->params, index, value);
  slot.keys.clear();
  slot.hasConstant = true;
  slot.constant = value;
}

void Host::SetKeyframe(int index, int frame, double value) {
  ParamSlot& slot = ValueSlot(impl_->params, index, value);
  slot.hasConstant = false;
  auto it = std::lower_bound(slot.keys.begin(), slot.keys.end(), frame,
                             [](const Keyframe& k, int f) { return k.frame < f; });
  if (it != slot.keys.end() && it->frame == frame) {
    it->value = value;
  } else {
    slot.keys.insert(it, Keyframe{frame, value});
  }
}

double Host::ValueAt(int index, double framePosition) const {
  if (index < 0 || index >= ParamCount() ||
      !HasTimeline(impl_->params[static_cast<size_t>(index)].def)) {
    throw std::invalid_argument("refhost: parameter " + std::to_string(index) +
                                " is no declared float slider or checkbox");
  }
  return TimelineValue(impl_->params[static_cast<size_t>(index)], framePosition);
}

namespace {

ParamSlot& LayerSlot(std::vector<ParamSlot>& params, int index) {
  if (index < 0 || index >= static_cast<int>(params.size()) ||
      params[static_cast<size_t>(index)].def.param_type != PF_Param_LAYER) {
    throw std::invalid_argument("refhost: parameter " + std::to_string(index) + " is no layer");
  }
  return params[static_cast<size_t>(index)];
}

}  // namespace

void Host::SetLayer(int index, const Image& image) {
  ParamSlot& slot = LayerSlot(impl_->params, index);
  slot.layerWorlds.clear();
  slot.provider = nullptr;
  slot.presented = {-1, nullptr};
  slot.checkedOut = {};
  if (!image.Empty()) slot.layerWorlds.emplace(0, WorldOf(image));
}

void Host::SetLayerFrom(int index, int frame, const Image& image) {
  ParamSlot& slot = LayerSlot(impl_->params, index);
  slot.layerWorlds[frame] = WorldOf(image);
}

void Host::SetLayerProvider(int index, LayerProvider provider) {
  SetLayer(index, Image());
  LayerSlot(impl_->params, index).provider = std::move(provider);
}

A_long Host::LastCheckoutTime() const {
  return impl_->lastCheckoutTime.load();
}

}  // namespace refhost
