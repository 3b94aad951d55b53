// The Host object: one active per process, holding the state every callback reaches,
// and the input record that binds an effect to it.
#include <algorithm>
#include <memory>
#include <stdexcept>
#include <thread>

#include "host_impl.h"

namespace refhost {

namespace {

Host* activeHost = nullptr;
Host::Impl* activeImpl = nullptr;

constexpr A_long kApplId = 0x46585443;  // "FXTC"
// The effect API version this host speaks, as the effect's property list names it.
constexpr PF_SpecVersion kSpecVersion{13, 17};

}  // namespace

// Operations on whole images are bound by memory bandwidth, which a few cores saturate.
Host::Impl::Impl() : threads(std::clamp(std::thread::hardware_concurrency(), 1u, 8u)) {
  BindInteractCallbacks(inter);
  BindWorldCallbacks(utils);
  BindAnsiCallbacks(utils.ansi);
  // The utility table carries the suites' operations as well; a host gives the same ones.
  const PF_WorldTransformSuite1& transform = *WorldTransformSuiteTable();
  utils.blend = transform.blend;
  utils.convolve = transform.convolve;
  const PF_HandleSuite1& handleSuite = *HandleSuiteTable();
  utils.host_new_handle = handleSuite.host_new_handle;
  utils.host_lock_handle = handleSuite.host_lock_handle;
  utils.host_unlock_handle = handleSuite.host_unlock_handle;
  utils.host_dispose_handle = handleSuite.host_dispose_handle;
  utils.host_get_handle_size = handleSuite.host_get_handle_size;
  BindBasicSuite(basic);
  // Index 0: the layer the effect is applied to, which the host supplies itself.
  ParamSlot input;
  input.def.param_type = PF_Param_LAYER;
  params.push_back(std::move(input));
}

namespace {

// Below this many bytes an image operation stays on the calling thread: waking the
// helpers and waiting for them costs some microseconds.
constexpr size_t kBytesWorthSharing = size_t{1} << 20;
// Several bands per thread, so that a thread slowed by other work leaves its share to
// the others.
constexpr int kBandsPerThread = 4;

}  // namespace

void ForRowBands(Host::Impl* host, A_long rows, size_t rowBytes, A_long step, BandFunction band) {
  if (host->threads > 1 && static_cast<size_t>(rows) * rowBytes >= kBytesWorthSharing &&
      rows >= 2 * step) {
    if (host->workers == nullptr) {
      try {
        host->workers = std::make_unique<Workers>(host->threads);
      } catch (...) {
        // No threads or memory to be had: the calling thread does it all.
      }
    }
    if (host->workers != nullptr) {
      host->workers->ForBands(rows, step, static_cast<int>(host->threads) * kBandsPerThread, band);
      return;
    }
  }
  band(RowRange{0, rows});
}

Host::Host() {
  if (activeHost != nullptr) {
    throw std::logic_error("refhost::Host: another Host is active in this process");
  }
  impl_ = std::make_unique<Impl>();
  activeHost = this;
  activeImpl = impl_.get();
}

// Everything still lent out (worlds, handles) is owned by the state and freed with it.
Host::~Host() {
  activeHost = nullptr;
  activeImpl = nullptr;
}

Host* ActiveHost() {
  return activeHost;
}

Host::Impl* ActiveImpl() {
  return activeImpl;
}

PF_Err EnterCallback(PF_ProgPtr ref, Op op, Host::Impl** host) {
  *host = activeImpl;
  if (activeImpl == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  if (ref != activeImpl->EffectRef()) {
    activeImpl->Fault(std::string(OpName(op)) + " received an effect reference of no active host");
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  return activeImpl->Enter(op);
}

PF_InData Host::MakeInData(int width, int height) const {
  // What an application fills for a full-resolution frame of one unscaled layer with
  // square pixels; members for audio, sequence and frame data stay zero and null.
  PF_InData in{};
  in.inter = impl_->inter;
  in.utils = &impl_->utils;
  in.effect_ref = impl_->EffectRef();
  in.quality = PF_Quality_HI;
  in.version = kSpecVersion;
  in.appl_id = kApplId;
  in.num_params = ParamCount();
  in.field = PF_Field_FRAME;
  in.width = width;
  in.height = height;
  in.extent_hint = PF_LRect{0, 0, width, height};
  in.downsample_x = PF_RationalScale{1, 1};
  in.downsample_y = PF_RationalScale{1, 1};
  in.pixel_aspect_ratio = PF_RationalScale{1, 1};
  in.in_flags = 0;
  in.pica_basicP = &impl_->basic;
  return in;
}

void Host::SetMemoryLimit(std::uint64_t bytes) {
  impl_->memoryLimit = bytes;
}

void Host::SetWideVectors(bool allowed) {
  impl_->wideVectors = allowed;
}

void Host::SetThreads(unsigned threads) {
  impl_->threads = std::max(threads, 1u);
  impl_->workers.reset();
}

void Host::SetFlavour(Flavour flavour) {
  impl_->flavour = flavour;
}

void Host::SetPoisonOnRelease(bool poison) {
  impl_->poisonOnRelease = poison;
}

void Host::ServeCallsFrom(std::thread::id entryThread) {
  impl_->entryThread.store(entryThread);
}

void Host::RequestCancel() {
  impl_->cancel.store(true);
}

void Host::ClearCancel() {
  impl_->cancel.store(false);
}

bool Host::IsLiveEffectWorld(const PF_EffectWorld& world) const {
  auto it = impl_->effectWorlds.find(world.data);
  return it != impl_->effectWorlds.end() &&
         world.platform_ref == reinterpret_cast<void*>(it->second.token);
}

}  // namespace refhost
