// The three passes of a simulated frame on the default workload: a 1920 x 1080 layer with
// 15 % of its pixels as particles (311,040) and the controls at their defaults, measured
// after the network has grown for a few hundred frames, so that trail, positions and
// headings look like those of a real render rather than a fresh black field.
//
// The layer is the effect's own output fed back, as in the built-in demo; blended with the
// trail at ratio 1/65536 it gives the trail as it stood before the frame's deposits, so the
// sensing image is a copy of the TrailMap taken before the movement pass.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <stdexcept>
#include <thread>
#include <vector>

#include "host/host_services.h"
#include "refhost/host.h"
#include "refhost/image.h"
#include "sim/diffuse_and_decay.h"
#include "sim/move_and_deposit.h"
#include "sim/seeding.h"
#include "sim/sense_and_steer.h"
#include "sim/simulation_state.h"

namespace velunary {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kEvolvedFrames = 200;

void Check(PF_Err err) {
  if (err != PF_Err_NONE) throw std::runtime_error("the reference host refused a call");
}

void ApplyDefaultControls() {
  simulationSettings.sensorAngle = 45;
  simulationSettings.turnAngle = 45;
  simulationSettings.sensorDistance = 9;
  simulationSettings.decay = 0.1;
  simulationSettings.trailColor = 50;
  simulationSettings.randomSeed = 32767;
  simulationState.particleCount = ParticleCountFor(15, kWidth, kHeight);
}

void SenseRange(const PF_LayerDef* sensing, int first, int last) {
  SenseAndSteer(simulationState.particles, first, last, kWidth, kHeight, sensing,
                simulationSettings.randomSeed);
}

struct EvolvedFrame {
  std::vector<Particle> particles;
  refhost::Image trail;
};

// Seeds the default population and runs the frames in the driver's order, with a host of
// its own that is gone before any benchmark makes one (only one may exist at a time).
EvolvedFrame Evolve() {
  refhost::Host host;
  const PF_InData in = host.MakeInData(kWidth, kHeight);
  ResetProcessStateForTesting();
  ApplyDefaultControls();
  PF_Err err = PF_Err_NONE;
  PF_EffectWorld sensing{};
  NewBlackWorld(&in, &simulationState.trailMap, &err);
  NewBlackWorld(&in, &sensing, &err);
  PopulateParticles(&in, &err);
  Check(err);
  for (int frame = 0; frame < kEvolvedFrames; ++frame) {
    Check(HostCopy(&in, &simulationState.trailMap, &sensing));
    MoveAndDeposit(&in);
    // A new thread, so the sensing engine starts afresh as in every frame's workers.
    std::thread worker([&] { SenseRange(&sensing, 0, simulationState.particleCount); });
    worker.join();
    DiffuseAndDecay(&in, &err, simulationState.trailMap);
    Check(err);
  }
  EvolvedFrame frame{
      {simulationState.particles, simulationState.particles + simulationState.particleCount},
      refhost::Image::FromWorld(simulationState.trailMap)};
  ReleaseParticles(&in, &err);
  HostDisposeWorld(&in, &simulationState.trailMap);
  HostDisposeWorld(&in, &sensing);
  ResetProcessStateForTesting();
  return frame;
}

const EvolvedFrame& Evolved() {
  static const EvolvedFrame frame = Evolve();
  return frame;
}

// The evolved frame loaded into a host for one benchmark; Restore() puts it back before
// each timed pass, so every pass starts from the same state.
class Scene {
 public:
  Scene() : frame_(Evolved()) {
    ResetProcessStateForTesting();
    ApplyDefaultControls();
    PF_Err err = PF_Err_NONE;
    NewBlackWorld(&in_, &simulationState.trailMap, &err);
    NewBlackWorld(&in_, &sensing_, &err);
    Check(err);
    frame_.trail.CopyInto(sensing_);
    particles_ = frame_.particles;
    simulationState.particles = particles_.data();
    Restore();
  }
  ~Scene() {
    HostDisposeWorld(&in_, &simulationState.trailMap);
    HostDisposeWorld(&in_, &sensing_);
    ResetProcessStateForTesting();
  }
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  void Restore() {
    std::copy(frame_.particles.begin(), frame_.particles.end(), particles_.begin());
    frame_.trail.CopyInto(simulationState.trailMap);
  }

  const PF_InData* InData() const { return &in_; }
  const PF_LayerDef* Sensing() const { return &sensing_; }
  int Count() const { return static_cast<int>(particles_.size()); }

 private:
  const EvolvedFrame& frame_;
  refhost::Host host_;
  PF_InData in_ = host_.MakeInData(kWidth, kHeight);
  PF_EffectWorld sensing_{};
  std::vector<Particle> particles_;
};

// Reports the time per particle (shown in seconds with an SI prefix, e.g. 40n).
void PerParticle(benchmark::State& state, int count) {
  state.counters["per_particle"] = benchmark::Counter(
      count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_MoveAndDeposit(benchmark::State& state) {
  Scene scene;
  for (auto _ : state) {
    state.PauseTiming();
    scene.Restore();
    state.ResumeTiming();
    MoveAndDeposit(scene.InData());
  }
  PerParticle(state, scene.Count());
}

// One thread over every particle: the cost of the pass itself.
void BM_SenseAndSteer(benchmark::State& state) {
  Scene scene;
  for (auto _ : state) {
    state.PauseTiming();
    scene.Restore();
    state.ResumeTiming();
    SenseRange(scene.Sensing(), 0, scene.Count());
  }
  PerParticle(state, scene.Count());
}

// As the driver runs it: two new threads, one per half, started and joined every pass.
// Both images are the same picture here, so the workers share one.
void BM_SenseAndSteerTwoWorkers(benchmark::State& state) {
  Scene scene;
  const int half = scene.Count() / 2;
  for (auto _ : state) {
    state.PauseTiming();
    scene.Restore();
    state.ResumeTiming();
    std::thread a([&] { SenseRange(scene.Sensing(), 0, half); });
    std::thread b([&] { SenseRange(scene.Sensing(), half, scene.Count()); });
    a.join();
    b.join();
  }
  PerParticle(state, scene.Count());
}

void BM_DiffuseAndDecay(benchmark::State& state) {
  Scene scene;
  PF_Err err = PF_Err_NONE;
  for (auto _ : state) {
    state.PauseTiming();
    scene.Restore();
    state.ResumeTiming();
    DiffuseAndDecay(scene.InData(), &err, simulationState.trailMap);
  }
  if (err != PF_Err_NONE) state.SkipWithError("the reference host refused a call");
}

BENCHMARK(BM_MoveAndDeposit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SenseAndSteer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SenseAndSteerTwoWorkers)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DiffuseAndDecay)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velunary
