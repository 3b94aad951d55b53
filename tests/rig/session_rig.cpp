#include "rig/session_rig.h"

#include "host/param_index.h"
#include "plugin/effect_main.h"
#include "scenes/demo_layer.h"
#include "sim/particle.h"
#include "sim/simulation_state.h"

namespace velunary::rig {
namespace {

// Each simulated frame checks out every parameter but the layer once.
constexpr long kCheckoutsPerFrame = 15;

class Fnv1a {
 public:
  void Bytes(const void* data, size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) hash_ = (hash_ ^ bytes[i]) * 1099511628211ull;
  }
  void Image(const refhost::Image& image) {
    for (const PF_Pixel& p : image.pixels) {
      const std::uint8_t argb[4] = {p.alpha, p.red, p.green, p.blue};
      Bytes(argb, sizeof argb);
    }
  }
  std::uint64_t Value() const { return hash_; }

 private:
  std::uint64_t hash_ = 14695981039346656037ull;
};

std::string Count(const char* what, long held, long expected) {
  return std::string(what) + ": the host counts " + std::to_string(held) + ", expected " +
         std::to_string(expected) + "; ";
}

}  // namespace

SessionRig::SessionRig(int width, int height, refhost::FrameRate rate)
    : session(host, EffectMain, width, height, rate) {
  ResetProcessStateForTesting();
  setupError = session.GlobalSetup();
  if (setupError == PF_Err_NONE) setupError = session.ParamsSetup();
  host.SetLayer(Input, scenes::DemoLayer(width, height));
}

long SessionRig::FramesFor(long frame) {
  const long before = host.CallCount(refhost::Op::CheckoutParam);
  return Counted(session.RenderFrame(frame), before);
}

long SessionRig::FramesAt(A_long time) {
  const long before = host.CallCount(refhost::Op::CheckoutParam);
  return Counted(session.RenderAt(time), before);
}

long SessionRig::Counted(PF_Err err, long checkoutsBefore) const {
  if (err != PF_Err_NONE) return 0;
  return (host.CallCount(refhost::Op::CheckoutParam) - checkoutsBefore) / kCheckoutsPerFrame;
}

refhost::Image SessionRig::Render(long frame) {
  if (session.RenderFrame(frame) != PF_Err_NONE) return {};
  return session.Output();
}

long TotalCalls(const refhost::Host& host) {
  long total = 0;
  for (int op = 0; op < static_cast<int>(refhost::Op::Count); ++op) {
    total += host.CallCount(static_cast<refhost::Op>(op));
  }
  return total;
}

std::uint64_t FrameHash(const refhost::Image& output, bool withInfectionMap) {
  Fnv1a hash;
  hash.Image(output);
  const SimulationState& s = simulationState;
  for (std::int32_t i = 0; s.particles != nullptr && i < s.particleCount; ++i) {
    const Particle& p = s.particles[i];
    // Field by field, so the padding after the flag never counts.
    for (double v : {p.x, p.y, p.heading}) hash.Bytes(&v, sizeof v);
    hash.Bytes(&p.infected, sizeof p.infected);
  }
  if (withInfectionMap && !IsAbsent(s.infectionMap)) {
    hash.Image(refhost::Image::FromWorld(s.infectionMap));
  }
  return hash.Value();
}

std::string HoldingsMismatch(const refhost::Host& host, Refused refused) {
  const refhost::Ledger ledger = host.GetLedger();
  const SimulationState& s = simulationState;
  std::string problems;
  if (!IsAbsent(s.stagingWorld)) problems += "the staging world outlived its step; ";
  for (const PF_EffectWorld* map : {&s.trailMap, &s.infectionMap}) {
    if (!IsAbsent(*map) && !host.IsLiveEffectWorld(*map)) {
      problems += "a map refers to a world the host does not hold; ";
    }
  }
  const long maps = (IsAbsent(s.trailMap) ? 0 : 1) + (IsAbsent(s.infectionMap) ? 0 : 1) +
                    (IsAbsent(s.stagingWorld) ? 0 : 1);
  if (ledger.liveWorlds != maps) problems += Count("live worlds", ledger.liveWorlds, maps);
  const long handles = s.particleHandle != nullptr ? 1 : 0;
  if (ledger.liveHandles != handles) problems += Count("live handles", ledger.liveHandles, handles);
  if ((s.particleHandle == nullptr) != (s.particles == nullptr) ||
      (s.particles == nullptr && s.particleRecords != 0)) {
    problems += "the particle array, its handle and its records disagree; ";
  }
  if (ledger.openCheckouts != refused.checkins) {
    problems += Count("open check-outs", ledger.openCheckouts, refused.checkins);
  }
  if (ledger.acquiredSuites != refused.suiteReleases) {
    problems += Count("acquired suites", ledger.acquiredSuites, refused.suiteReleases);
  }
  if (ledger.faults != 0) {
    problems += "misuse of the host: " + ledger.faultLog.front() + "; ";
  }
  return problems;
}

std::string HoldsAnything(const refhost::Host& host, Refused refused) {
  std::string problems = HoldingsMismatch(host, refused);
  const SimulationState& s = simulationState;
  if (!IsAbsent(s.trailMap) || !IsAbsent(s.infectionMap) || s.particleHandle != nullptr) {
    problems += "the simulation still holds maps or particles; ";
  }
  return problems;
}

}  // namespace velunary::rig
