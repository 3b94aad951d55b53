// The effect driven through the reference host as the compositing application would:
// global setup, parameter setup, the demo web as the layer, then renders on demand.
#ifndef VELUNARY_TESTS_RENDER_EFFECT_RIG_H
#define VELUNARY_TESTS_RENDER_EFFECT_RIG_H

#include <gtest/gtest.h>

#include <vector>

#include "host/effect_main.h"
#include "host/param_index.h"
#include "refhost/host.h"
#include "refhost/session.h"
#include "scenes/demo_layer.h"
#include "sim/particle.h"
#include "sim/simulation_state.h"

namespace velunary {

// Frames of 1001/24000 s: a time_step other than 1, so truncation shows.
inline constexpr refhost::FrameRate kRate{1001, 24000};
inline constexpr long kCheckoutsPerFrame = 15;
inline constexpr PF_Pixel kOpaqueBlack{255, 0, 0, 0};

struct EffectRig {
  EffectRig(int width, int height) : session(host, EffectMain, width, height, kRate) {
    ResetProcessStateForTesting();
    EXPECT_EQ(session.GlobalSetup(), PF_Err_NONE);
    EXPECT_EQ(session.ParamsSetup(), PF_Err_NONE);
    host.SetLayer(Input, scenes::DemoLayer(width, height));
  }
  ~EffectRig() { session.GlobalSetdown(); }

  // Renders and answers how many frames that simulated (each checks out 15 parameters).
  long FramesFor(long frame) {
    return Counted([&] { return session.RenderFrame(frame); });
  }
  long FramesAt(A_long time) {
    return Counted([&] { return session.RenderAt(time); });
  }

  template <typename Render>
  long Counted(Render render) {
    const long before = host.CallCount(refhost::Op::CheckoutParam);
    EXPECT_EQ(render(), PF_Err_NONE);
    return (host.CallCount(refhost::Op::CheckoutParam) - before) / kCheckoutsPerFrame;
  }

  // The host holds for the effect exactly what the simulation state refers to, and keeps
  // open the check-outs whose check-in it refused.
  void ExpectLedgerMatchesState(long refusedCheckins) const {
    const refhost::Ledger ledger = host.GetLedger();
    const SimulationState& s = simulationState;
    const long worlds = (IsAbsent(s.trailMap) ? 0 : 1) + (IsAbsent(s.infectionMap) ? 0 : 1) +
                        (IsAbsent(s.stagingWorld) ? 0 : 1);
    EXPECT_EQ(ledger.liveWorlds, worlds);
    EXPECT_EQ(ledger.liveHandles, s.particleHandle != nullptr ? 1 : 0);
    EXPECT_EQ(ledger.openCheckouts, refusedCheckins);
    EXPECT_EQ(ledger.acquiredSuites, 0);
    EXPECT_EQ(ledger.faults, 0) << (ledger.faultLog.empty() ? "" : ledger.faultLog.front());
  }

  void ExpectLedgerMatchesState() const { ExpectLedgerMatchesState(0); }

  refhost::Host host;
  refhost::Session session;
};

inline std::vector<Particle> Particles() {
  const SimulationState& s = simulationState;
  if (s.particles == nullptr) return {};
  return std::vector<Particle>(s.particles, s.particles + s.particleCount);
}

inline bool SamePlace(const Particle& a, const Particle& b) {
  return a.x == b.x && a.y == b.y && a.infected == b.infected;
}

inline bool SameParticles(const std::vector<Particle>& a, const std::vector<Particle>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!SamePlace(a[i], b[i]) || a[i].heading != b[i].heading) return false;
  }
  return true;
}

}  // namespace velunary

#endif
