// One simulated frame of a render at the default workload (a 1920 x 1080 layer showing the
// demo web, 15 % of its pixels as particles, every control at its default), after the
// network has grown for a few hundred frames: the whole render of the next frame through
// the entry point, and each stage of it alone, calling what the driver calls.
//
// The grown state is made once with a host of its own, which is gone before any benchmark
// makes its host (only one may exist at a time); each benchmark restores it into a fresh
// session.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

#include "host/effect_main.h"
#include "host/param_index.h"
#include "host/suite_cache.h"
#include "refhost/host.h"
#include "refhost/image.h"
#include "refhost/session.h"
#include "render/frame_params.h"
#include "render/frame_worlds.h"
#include "render/sensing_workers.h"
#include "scenes/demo_layer.h"
#include "sim/diffuse_and_decay.h"
#include "sim/move_and_deposit.h"
#include "sim/seeding.h"
#include "sim/simulation_state.h"

namespace velunary {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr long kGrownFrames = 300;
constexpr refhost::FrameRate kRate{1, 24};

void Check(PF_Err err) {
  if (err != PF_Err_NONE) throw std::runtime_error("the effect or the host reported an error");
}

struct GrownState {
  std::vector<Particle> particles;
  refhost::Image trail;
};

// The effect in a session at the default workload.
class DefaultSession {
 public:
  DefaultSession() : session_(host_, EffectMain, kWidth, kHeight, kRate) {
    ResetProcessStateForTesting();
    Check(session_.GlobalSetup());
    Check(session_.ParamsSetup());
    host_.SetLayer(Input, scenes::DemoLayer(kWidth, kHeight));
  }
  ~DefaultSession() { session_.GlobalSetdown(); }

  refhost::Session& Session() { return session_; }

 private:
  refhost::Host host_;
  refhost::Session session_;
};

const GrownState& Grown() {
  static const GrownState grown = [] {
    DefaultSession fresh;
    for (long frame = 0; frame < kGrownFrames; ++frame) Check(fresh.Session().RenderFrame(frame));
    const SimulationState& s = simulationState;
    return GrownState{std::vector<Particle>(s.particles, s.particles + s.particleCount),
                      refhost::Image::FromWorld(s.trailMap)};
  }();
  return grown;
}

// A fresh session holding the grown state: the next render continues at kGrownFrames.
class GrownSession {
 public:
  // One render makes the maps and the particle array; the grown state then goes into them.
  GrownSession() {
    Check(effect_.Session().RenderFrame(0));
    SimulationState& s = simulationState;
    if (s.particleCount != static_cast<std::int32_t>(grown_.particles.size())) {
      throw std::logic_error("the grown state has another particle count");
    }
    std::copy(grown_.particles.begin(), grown_.particles.end(), s.particles);
    grown_.trail.CopyInto(s.trailMap);
    s.nextFrame = kGrownFrames;
    effect_.Session().InData().current_time = kGrownFrames * kRate.timeStep;
  }

  refhost::Session& Session() { return effect_.Session(); }
  const PF_InData* InData() { return &effect_.Session().InData(); }

 private:
  // Grown first, with its own host, before this session's host exists.
  const GrownState& grown_ = Grown();
  DefaultSession effect_;
};

// The restored session with the parameters of frame kGrownFrames checked out and read, as
// the stages after the check-out find them.
struct StageSetup {
  StageSetup() : params(grown.InData()) {
    PF_Err err = PF_Err_NONE;
    params.CheckOut(grown.InData()->current_time, &err);
    Check(err);
    ReadSettings(grown.InData(), params.Records());
  }
  GrownSession grown;
  FrameParams params;
};

void BM_Frame(benchmark::State& state) {
  GrownSession grown;
  long frame = kGrownFrames;
  for (auto _ : state) Check(grown.Session().RenderFrame(frame++));
}

void BM_StageCheckoutAndSettings(benchmark::State& state) {
  GrownSession grown;
  const PF_InData* in_data = grown.InData();
  for (auto _ : state) {
    PF_Err err = PF_Err_NONE;
    FrameParams params(in_data);
    params.CheckOut(in_data->current_time, &err);
    ReadSettings(in_data, params.Records());
    params.CheckIn(&err);
    Check(err);
  }
}

void BM_StagePopulation(benchmark::State& state) {
  StageSetup setup;
  for (auto _ : state) {
    PF_Err err = PF_Err_NONE;
    PopulateParticles(setup.grown.InData(), &err);
    Check(err);
  }
}

void BM_StageSensingWorlds(benchmark::State& state) {
  StageSetup setup;
  const PF_InData* in_data = setup.grown.InData();
  HostSuiteCache suites(in_data->pica_basicP);
  for (auto _ : state) {
    PF_Err err = PF_Err_NONE;
    PF_EffectWorld first{};
    PF_EffectWorld second{};
    WorldGuard firstGuard(in_data, &first);
    WorldGuard secondGuard(in_data, &second);
    PrepareSensingWorlds(suites, in_data, &first, &second, &err);
    firstGuard.Dispose(&err);
    secondGuard.Dispose(&err);
    Check(err);
  }
}

void BM_StageMovement(benchmark::State& state) {
  StageSetup setup;
  for (auto _ : state) MoveAndDeposit(setup.grown.InData());
}

void BM_StageSensing(benchmark::State& state) {
  StageSetup setup;
  const PF_InData* in_data = setup.grown.InData();
  HostSuiteCache suites(in_data->pica_basicP);
  PF_EffectWorld first{};
  PF_EffectWorld second{};
  WorldGuard firstGuard(in_data, &first);
  WorldGuard secondGuard(in_data, &second);
  PF_Err err = PF_Err_NONE;
  PrepareSensingWorlds(suites, in_data, &first, &second, &err);
  Check(err);
  for (auto _ : state) RunSensingWorkers(in_data, first, second);
}

void BM_StageDiffusion(benchmark::State& state) {
  StageSetup setup;
  for (auto _ : state) {
    PF_Err err = PF_Err_NONE;
    DiffuseAndDecay(setup.grown.InData(), &err, simulationState.trailMap);
    Check(err);
  }
}

// Real time: the sensing stage runs on two threads while the caller waits.
BENCHMARK(BM_Frame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StageCheckoutAndSettings)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_StagePopulation)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_StageSensingWorlds)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StageMovement)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StageSensing)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StageDiffusion)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace velunary
