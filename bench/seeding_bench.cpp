// Creating the default population: 15 % of a 1920 x 1080 layer, 311,040 particles, placed
// uniformly, and on a Spawn Layer whose bright pixels are a tenth of the layer.
#include <benchmark/benchmark.h>

#include "host/suite_cache.h"
#include "refhost/host.h"
#include "refhost/image.h"
#include "sim/seeding.h"
#include "sim/simulation_state.h"

namespace velunary {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// Every tenth column bright: a tenth of the pixels, spread over the whole layer.
refhost::Image TenthBright() {
  refhost::Image image(kWidth, kHeight, PF_Pixel{255, 0, 0, 0});
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; x += 10) image.At(x, y) = PF_Pixel{255, 255, 255, 255};
  }
  return image;
}

void CreateDefaultPopulation(benchmark::State& state, bool withSpawnLayer) {
  ResetProcessStateForTesting();
  refhost::Host host;
  PF_InData in = host.MakeInData(kWidth, kHeight);
  in.time_step = 1;
  PF_ParamDef spawn{};
  if (withSpawnLayer) {
    host.SetLayer(0, TenthBright());
    in.inter.checkout_param(in.effect_ref, 0, 0, 1, 24, &spawn);
    simulationSettings.spawnLayer = spawn.u.ld;
  }
  simulationSettings.randomSeed = 32767;
  simulationState.particleCount = ParticleCountFor(15, kWidth, kHeight);
  PF_Err err = PF_Err_NONE;
  {
    // One render's suites: the handle suite is acquired once for all frames.
    HostSuiteCache suites(in.pica_basicP);
    for (auto _ : state) {
      PopulateParticles(suites, &in, &err);
      state.PauseTiming();
      ReleaseParticles(suites);
      state.ResumeTiming();
    }
  }
  if (err != PF_Err_NONE) state.SkipWithError("the host refused a call");
  state.SetItemsProcessed(state.iterations() * simulationState.particleCount);
  if (withSpawnLayer) in.inter.checkin_param(in.effect_ref, &spawn);
  ResetProcessStateForTesting();
}

void BM_CreateUniform(benchmark::State& state) {
  CreateDefaultPopulation(state, false);
}
void BM_CreateOnTenthBrightSpawnLayer(benchmark::State& state) {
  CreateDefaultPopulation(state, true);
}

BENCHMARK(BM_CreateUniform)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CreateOnTenthBrightSpawnLayer)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velunary
