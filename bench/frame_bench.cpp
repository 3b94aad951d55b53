// One simulated frame of a render at the default workload (a 1920 x 1080 layer showing the
// demo web, 15 % of its pixels as particles, 311,040 of them, every control at its
// default), after the network has grown for 300 frames: the whole render of the next
// frame through the entry point, each stage of it alone (calling what the driver calls),
// the overlapped middle of the frame, a catch-up render from nothing to frame 300, and the floor:
// what this machine needs at the very least for a frame, measured on the same buffers in the same
// run.
//
// The floor is a copy of one frame's image bytes plus the sines and cosines a frame must
// compute (one pair per particle for its step, three for its sensors), split over threads
// as the frame splits them: the steps on the calling thread, the sensors on two workers
// over the two halves of the particles. Every figure can be read as a multiple of it;
// BM_FrameOverFloor times the two alternately and reports the ratio itself.
//
// These are the pairs the model defines, not the library calls the frame makes: the
// passes remember each thread's pairs by exact angle (SinCosMemo), and the grown network's
// headings take under two thousand distinct values, so the frame's own cost is now almost
// all memory traffic, and the floor measures what the arithmetic alone would cost.
//
// The grown state is made once with a host of its own, which is gone before any benchmark
// makes its host (only one may exist at a time); each benchmark restores it into a fresh
// session, and the stages that change it restore it again before each timed pass.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "host/host_services.h"
#include "host/param_index.h"
#include "host/suite_cache.h"
#include "refhost/host.h"
#include "refhost/image.h"
#include "refhost/session.h"
#include "render/frame_params.h"
#include "render/frame_worlds.h"
#include "render/movement_progress.h"
#include "render/sensing_workers.h"
#include "render/steering_chunks.h"
#include "rig/session_rig.h"
#include "sim/diffuse_and_decay.h"
#include "sim/move_and_deposit.h"
#include "sim/seeding.h"
#include "sim/sense_and_steer.h"
#include "sim/simulation_state.h"
#include "sim/sin_cos.h"

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

// The effect in a session at the default workload. The host does not poison what it is
// given back here: that is the tests' safeguard, and no cost of the effect's.
class DefaultSession {
 public:
  DefaultSession() {
    rig_.host.SetPoisonOnRelease(false);
    Check(rig_.setupError);
  }
  ~DefaultSession() { rig_.session.GlobalSetdown(); }

  refhost::Session& Session() { return rig_.session; }

 private:
  rig::SessionRig rig_{kWidth, kHeight, kRate};
};

const GrownState& Grown() {
  static const GrownState grown = [] {
    DefaultSession fresh;
    Check(fresh.Session().RenderFrame(kGrownFrames - 1));
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
    if (simulationState.particleCount != static_cast<std::int32_t>(grown_.particles.size())) {
      throw std::logic_error("the grown state has another particle count");
    }
    Restore();
    simulationState.nextFrame = kGrownFrames;
    effect_.Session().InData().current_time = kGrownFrames * kRate.timeStep;
  }

  void Restore() {
    std::copy(grown_.particles.begin(), grown_.particles.end(), simulationState.particles);
    grown_.trail.CopyInto(simulationState.trailMap);
  }

  refhost::Session& Session() { return effect_.Session(); }
  const PF_InData* InData() { return &effect_.Session().InData(); }
  int Count() const { return static_cast<int>(grown_.particles.size()); }

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
  ~StageSetup() {
    PF_Err err = PF_Err_NONE;
    params.CheckIn(&err);
  }
  GrownSession grown;
  FrameParams params;
};

// The two sensing images of the frame, made as the driver makes them, and what the
// workers read of them: the gray plane of the first (the demo web is gray) or, failing
// that, the images themselves.
struct SensingWorlds {
  explicit SensingWorlds(const PF_InData* in_data)
      : suites(in_data->pica_basicP), firstHolder(in_data, &first), secondHolder(in_data, &second) {
    PF_Err err = PF_Err_NONE;
    PrepareSensingWorlds(suites, in_data, &first, &second, &err);
    if (err == PF_Err_NONE) err = HostCopy(in_data, &first, &second);
    Check(err);
    if (MakeGrayPlane(first, kWidth, kHeight, plane)) {
      one = two = SensingImage{plane, kWidth, true};
    } else {
      one = HostSensingImage(first);
      two = HostSensingImage(second);
    }
  }
  HostSuiteCache suites;
  PF_EffectWorld first{};
  PF_EffectWorld second{};
  ScopedWorld firstHolder;
  ScopedWorld secondHolder;
  // Kept from one benchmark pass to the next, as the driver keeps its own.
  std::uint8_t* plane = [] {
    static std::vector<std::uint8_t> kept(static_cast<size_t>(kWidth) * kHeight);
    return kept.data();
  }();
  SensingImage one{};
  SensingImage two{};
};

// The sensing pass alone, every particle already moved: its chunks on `threads` threads,
// the calling one among them, started and joined every pass as the frame's are.
void SteerAll(const SensingWorlds& worlds, int count, int threads) {
  if (!ReserveSteeringScratch(count, SteeringThreads())) throw std::bad_alloc();
  MovementProgress moved;
  moved.Publish(count);
  SteeringChunks chunks(simulationState.particles, count, kWidth, kHeight, worlds.one, worlds.two,
                        SeedBits(simulationSettings.randomSeed));
  std::vector<std::jthread> others;
  for (int k = 1; k < threads; ++k) {
    others.emplace_back([&chunks, &moved, k] {
      while (chunks.SteerNext(moved, SteeringMemo(k))) {
      }
    });
  }
  while (chunks.SteerNext(moved, SteeringMemo(0))) {
  }
}

// Adds the CPU time of every thread of the process beside the wall time: their ratio is
// how many cores the benchmark kept busy.
class CoresBusy {
 public:
  CoresBusy() : cpu_(ProcessSeconds()), wall_(Clock::now()) {}
  void Report(benchmark::State& state) const {
    const double cpu = ProcessSeconds() - cpu_;
    const double wall = std::chrono::duration<double>(Clock::now() - wall_).count();
    const double n = static_cast<double>(state.iterations());
    state.counters["cpu_ms"] = 1e3 * cpu / n;
    state.counters["cores_busy"] = cpu / wall;
  }

 private:
  using Clock = std::chrono::steady_clock;
  static double ProcessSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
  }
  double cpu_;
  Clock::time_point wall_;
};

// Reports the time per particle (shown in seconds with an SI prefix, e.g. 40n).
void PerParticle(benchmark::State& state, int count) {
  state.counters["per_particle"] = benchmark::Counter(
      count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The floor's parts, over the grown particles and the frame's own buffers.
class Floor {
 public:
  Floor(const PF_InData* in_data, int count) : count_(count), copyHolder_(in_data, &copy_) {
    PF_Err err = PF_Err_NONE;
    NewBlackWorld(in_data, &copy_, &err);
    Check(err);
  }

  void CopyImage() {
    const PF_EffectWorld& trail = simulationState.trailMap;
    std::memcpy(copy_.data, trail.data,
                static_cast<size_t>(trail.rowbytes) * static_cast<size_t>(trail.height));
    benchmark::ClobberMemory();
  }

  void SinesAndCosines() {
    const Particle* particles = simulationState.particles;
    double steps = 0.0;
    for (int i = 0; i < count_; ++i) steps += Sum(SinCos(particles[i].heading));
    benchmark::DoNotOptimize(steps);
    const int half = count_ / 2;
    std::thread one([&] { Sensors(0, half); });
    std::thread two([&] { Sensors(half, count_); });
    one.join();
    two.join();
  }

  void All() {
    CopyImage();
    SinesAndCosines();
  }

 private:
  static double Sum(SinCosPair pair) { return pair.sine + pair.cosine; }

  void Sensors(int first, int last) const {
    const Particle* particles = simulationState.particles;
    const double a = simulationSettings.sensorAngle;
    double sum = 0.0;
    for (int i = first; i < last; ++i) {
      const double h = particles[i].heading;
      sum += Sum(SinCos(h)) + Sum(SinCos(h - a)) + Sum(SinCos(h + a));
    }
    benchmark::DoNotOptimize(sum);
  }

  int count_;
  PF_EffectWorld copy_{};
  ScopedWorld copyHolder_;
};

void BM_Frame(benchmark::State& state) {
  GrownSession grown;
  long frame = kGrownFrames;
  const CoresBusy busy;
  for (auto _ : state) Check(grown.Session().RenderFrame(frame++));
  busy.Report(state);
}

// Frame and floor timed alternately, so both see the same machine at the same moment.
void BM_FrameOverFloor(benchmark::State& state) {
  StageSetup setup;
  Floor floor(setup.grown.InData(), setup.grown.Count());
  using Clock = std::chrono::steady_clock;
  double frameSeconds = 0.0;
  double floorSeconds = 0.0;
  long frame = kGrownFrames;
  for (auto _ : state) {
    const auto start = Clock::now();
    floor.All();
    const auto between = Clock::now();
    Check(setup.grown.Session().RenderFrame(frame++));
    const auto end = Clock::now();
    floorSeconds += std::chrono::duration<double>(between - start).count();
    frameSeconds += std::chrono::duration<double>(end - between).count();
    state.SetIterationTime(std::chrono::duration<double>(end - between).count());
  }
  state.counters["floor_ms"] = 1e3 * floorSeconds / static_cast<double>(state.iterations());
  state.counters["ratio"] = frameSeconds / floorSeconds;
}

void BM_FloorImageCopy(benchmark::State& state) {
  StageSetup setup;
  Floor floor(setup.grown.InData(), setup.grown.Count());
  for (auto _ : state) floor.CopyImage();
}

void BM_FloorSinCos(benchmark::State& state) {
  StageSetup setup;
  Floor floor(setup.grown.InData(), setup.grown.Count());
  for (auto _ : state) floor.SinesAndCosines();
}

void BM_Floor(benchmark::State& state) {
  StageSetup setup;
  Floor floor(setup.grown.InData(), setup.grown.Count());
  for (auto _ : state) floor.All();
}

// What scrubbing to frame 300 costs: 301 frames from nothing, and the output copy.
void BM_CatchUpTo300(benchmark::State& state) {
  const CoresBusy busy;
  for (auto _ : state) {
    DefaultSession fresh;
    Check(fresh.Session().RenderFrame(kGrownFrames));
  }
  busy.Report(state);
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
  HostSuiteCache suites(setup.grown.InData()->pica_basicP);
  for (auto _ : state) {
    PF_Err err = PF_Err_NONE;
    PopulateParticles(suites, setup.grown.InData(), &err);
    Check(err);
  }
}

void BM_StageSensingWorlds(benchmark::State& state) {
  StageSetup setup;
  for (auto _ : state) SensingWorlds worlds(setup.grown.InData());
}

// The gray plane of the first sensing image, which the workers read.
void BM_StageGrayPlane(benchmark::State& state) {
  StageSetup setup;
  SensingWorlds worlds(setup.grown.InData());
  for (auto _ : state) {
    if (!MakeGrayPlane(worlds.first, kWidth, kHeight, worlds.plane)) {
      throw std::logic_error("the demo web's sensing image is not gray");
    }
  }
}

void BM_StageMovement(benchmark::State& state) {
  StageSetup setup;
  for (auto _ : state) {
    state.PauseTiming();
    setup.grown.Restore();
    state.ResumeTiming();
    MoveAndDepositRange(setup.grown.InData(), 0, simulationState.particleCount, ThreadSinCosMemo());
  }
  PerParticle(state, setup.grown.Count());
}

// The sensing pass alone, in chunks on as many threads as the frame steers with.
void BM_StageSensing(benchmark::State& state) {
  StageSetup setup;
  SensingWorlds worlds(setup.grown.InData());
  const int count = setup.grown.Count();
  for (auto _ : state) {
    state.PauseTiming();
    setup.grown.Restore();
    state.ResumeTiming();
    SteerAll(worlds, count, SteeringThreads());
  }
  PerParticle(state, count);
}

// The frame's middle as the driver runs it: the movement pass on its own thread once the
// host's blend has read the TrailMap, the chunks of the sensing pass following it on this
// thread, and the diffusion once the movement is done, while the movement thread steers the
// rest. Compare with the sum of the sensing worlds, movement, sensing and diffusion stages.
void BM_StageOverlapped(benchmark::State& state) {
  StageSetup setup;
  const PF_InData* in_data = setup.grown.InData();
  const int count = setup.grown.Count();
  const CoresBusy busy;
  for (auto _ : state) {
    state.PauseTiming();
    setup.grown.Restore();
    if (!ReserveSteeringScratch(count, SteeringThreads())) throw std::bad_alloc();
    state.ResumeTiming();
    ParticlePasses passes;
    auto worlds = std::make_unique<SensingWorlds>(in_data);
    passes.StartMovement(in_data);
    passes.StartSensing(in_data, worlds->one, worlds->two);
    if (!worlds->one.gray) {
      passes.SteerRest();
      passes.Join();
    }
    worlds.reset();
    passes.SteerWhileMoving();
    passes.WaitForMovement();
    PF_Err err = PF_Err_NONE;
    DiffuseAndDecay(in_data, &err, simulationState.trailMap);
    passes.SteerRest();
    passes.Join();
    Check(err);
  }
  busy.Report(state);
  PerParticle(state, count);
}

// The sensing pass over every particle on the calling thread: its cost without the split.
void BM_StageSensingOneThread(benchmark::State& state) {
  StageSetup setup;
  SensingWorlds worlds(setup.grown.InData());
  const int count = setup.grown.Count();
  for (auto _ : state) {
    state.PauseTiming();
    setup.grown.Restore();
    state.ResumeTiming();
    SteerAll(worlds, count, 1);
  }
  PerParticle(state, count);
}

void BM_StageDiffusion(benchmark::State& state) {
  StageSetup setup;
  for (auto _ : state) {
    state.PauseTiming();
    setup.grown.Restore();
    state.ResumeTiming();
    PF_Err err = PF_Err_NONE;
    DiffuseAndDecay(setup.grown.InData(), &err, simulationState.trailMap);
    Check(err);
  }
}

// The render's last step: the TrailMap into the output.
void BM_StageOutputCopy(benchmark::State& state) {
  StageSetup setup;
  PF_EffectWorld output{};
  ScopedWorld outputHolder(setup.grown.InData(), &output);
  PF_Err err = PF_Err_NONE;
  NewBlackWorld(setup.grown.InData(), &output, &err);
  Check(err);
  for (auto _ : state) Check(HostCopy(setup.grown.InData(), &simulationState.trailMap, &output));
}

// Real time throughout: the sensing stage and the floor run on two threads while the
// caller waits.
BENCHMARK(BM_Frame)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_FrameOverFloor)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Floor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FloorImageCopy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FloorSinCos)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StageCheckoutAndSettings)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_StagePopulation)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_StageSensingWorlds)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StageGrayPlane)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StageMovement)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StageSensing)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StageOverlapped)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StageSensingOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StageDiffusion)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StageOutputCopy)->Unit(benchmark::kMillisecond)->UseRealTime();
// Seconds per pass: one iteration and one repetition, whatever the command line asks.
BENCHMARK(BM_CatchUpTo300)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1)->Repetitions(1);

}  // namespace
}  // namespace velunary
