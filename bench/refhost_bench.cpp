// The reference host's image operations at full HD, as the effect calls them each
// simulated frame: the diffusion (3 × 3) and decay (1 × 1) convolutions, the sensing
// blend, the output copy and the black fill; and a general blend ratio and a non-uniform
// kernel for comparison.
#include <benchmark/benchmark.h>

#include <vector>

#include "pf_effect.h"
#include "pf_suites.h"
#include "refhost/host.h"
#include "refhost/image.h"

namespace {

constexpr A_long kWidth = 1920;
constexpr A_long kHeight = 1080;

// A host with the world transform suite and two full-HD worlds of varied pixels, whose
// image operations may use `threads` threads.
class Rig {
 public:
  explicit Rig(unsigned threads) : in_(host_.MakeInData(kWidth, kHeight)) {
    host_.SetThreads(threads);
    const void* table = nullptr;
    in_.pica_basicP->AcquireSuite(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1, &table);
    transform = static_cast<const PF_WorldTransformSuite1*>(table);
    for (PF_EffectWorld* world : {&a, &b}) {
      in_.utils->new_world(in_.effect_ref, kWidth, kHeight, PF_NewWorldFlag_NONE, world);
    }
    refhost::Image image(kWidth, kHeight);
    unsigned state = 1;
    for (PF_Pixel& p : image.pixels) {
      state = state * 1664525u + 1013904223u;
      p = PF_Pixel{255, static_cast<A_u_char>(state >> 24), static_cast<A_u_char>(state >> 16),
                   static_cast<A_u_char>(state >> 8)};
    }
    image.CopyInto(a);
  }
  ~Rig() {
    in_.utils->dispose_world(in_.effect_ref, &a);
    in_.utils->dispose_world(in_.effect_ref, &b);
    in_.pica_basicP->ReleaseSuite(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1);
  }

  PF_ProgPtr ref() const { return in_.effect_ref; }
  refhost::Host& host() { return host_; }
  PF_UtilCallbacks& utils() const { return *in_.utils; }

  const PF_WorldTransformSuite1* transform = nullptr;
  PF_EffectWorld a{};
  PF_EffectWorld b{};

 private:
  refhost::Host host_;
  PF_InData in_;
};

void SetPixels(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

// Wall time, since the host's own threads may share the work: on one thread and on two.
void Threads(benchmark::internal::Benchmark* b) {
  b->ArgName("threads")->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
}

void WideAndThreads(benchmark::internal::Benchmark* b) {
  b->ArgNames({"wide", "threads"})
      ->ArgsProduct({{1, 0}, {1, 2}})
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
}

unsigned ThreadsArg(const benchmark::State& state) {
  return static_cast<unsigned>(state.range(0));
}

// Arg 1: the processor's wide vector loops where it has them; 0: the 128-bit loops that
// the Windows build runs. Then the threads the host may use.
void BM_ConvolveDiffusion3x3(benchmark::State& state) {
  Rig rig(static_cast<unsigned>(state.range(1)));
  rig.host().SetWideVectors(state.range(0) != 0);
  std::vector<A_long> alpha(9, 2295);
  std::vector<A_long> colour(9, 255);
  for (auto _ : state) {
    rig.transform->convolve(rig.ref(), &rig.a, nullptr, 0, 3, alpha.data(), colour.data(),
                            colour.data(), colour.data(), &rig.b);
    benchmark::ClobberMemory();
  }
  SetPixels(state);
}
BENCHMARK(BM_ConvolveDiffusion3x3)->Apply(WideAndThreads);

void BM_ConvolveDecay1x1(benchmark::State& state) {
  Rig rig(static_cast<unsigned>(state.range(1)));
  rig.host().SetWideVectors(state.range(0) != 0);
  A_long alpha = 255;
  A_long colour = 230;
  for (auto _ : state) {
    rig.transform->convolve(rig.ref(), &rig.a, nullptr, 0, 1, &alpha, &colour, &colour, &colour,
                            &rig.b);
    benchmark::ClobberMemory();
  }
  SetPixels(state);
}
BENCHMARK(BM_ConvolveDecay1x1)->Apply(WideAndThreads);

// A uniform kernel of side n: the cost should not grow with n.
void BM_ConvolveUniform(benchmark::State& state) {
  Rig rig(1);
  const auto n = static_cast<A_long>(state.range(0));
  std::vector<A_long> taps(static_cast<size_t>(n * n), 255);
  for (auto _ : state) {
    rig.transform->convolve(rig.ref(), &rig.a, nullptr, 0, n, taps.data(), taps.data(), taps.data(),
                            taps.data(), &rig.b);
    benchmark::ClobberMemory();
  }
  SetPixels(state);
}
BENCHMARK(BM_ConvolveUniform)->Arg(3)->Arg(9)->Arg(31)->Unit(benchmark::kMillisecond);

void BM_ConvolveGeneral3x3(benchmark::State& state) {
  Rig rig(1);
  std::vector<A_long> taps = {1, 2, 1, 2, 4, 2, 1, 2, 1};
  for (auto _ : state) {
    rig.transform->convolve(rig.ref(), &rig.a, nullptr, 0, 3, taps.data(), taps.data(), taps.data(),
                            taps.data(), &rig.b);
    benchmark::ClobberMemory();
  }
  SetPixels(state);
}
BENCHMARK(BM_ConvolveGeneral3x3)->Unit(benchmark::kMillisecond);

void BM_Blend(benchmark::State& state) {
  Rig rig(ThreadsArg(state));
  for (auto _ : state) {
    rig.transform->blend(rig.ref(), &rig.a, &rig.b, 40000, &rig.b);
    benchmark::ClobberMemory();
  }
  SetPixels(state);
}
BENCHMARK(BM_Blend)->Apply(Threads);

// The effect's own blend, at 1/65536: both sources read, as at any other ratio.
void BM_BlendAtTheEffectsRatio(benchmark::State& state) {
  Rig rig(ThreadsArg(state));
  for (auto _ : state) {
    rig.transform->blend(rig.ref(), &rig.a, &rig.b, 1, &rig.b);
    benchmark::ClobberMemory();
  }
  SetPixels(state);
}
BENCHMARK(BM_BlendAtTheEffectsRatio)->Apply(Threads);

void BM_CopySameSize(benchmark::State& state) {
  Rig rig(ThreadsArg(state));
  for (auto _ : state) {
    rig.utils().copy(rig.ref(), &rig.a, &rig.b, nullptr, nullptr);
    benchmark::ClobberMemory();
  }
  SetPixels(state);
}
BENCHMARK(BM_CopySameSize)->Apply(Threads);

void BM_CopyScaled(benchmark::State& state) {
  Rig rig(ThreadsArg(state));
  PF_EffectWorld small{};
  rig.utils().new_world(rig.ref(), 1280, 720, PF_NewWorldFlag_NONE, &small);
  for (auto _ : state) {
    rig.utils().copy(rig.ref(), &small, &rig.b, nullptr, nullptr);
    benchmark::ClobberMemory();
  }
  rig.utils().dispose_world(rig.ref(), &small);
  SetPixels(state);
}
BENCHMARK(BM_CopyScaled)->Apply(Threads);

void BM_Fill(benchmark::State& state) {
  Rig rig(ThreadsArg(state));
  const PF_Pixel black{255, 0, 0, 0};
  for (auto _ : state) {
    rig.utils().fill(rig.ref(), &black, nullptr, &rig.b);
    benchmark::ClobberMemory();
  }
  SetPixels(state);
}
BENCHMARK(BM_Fill)->Apply(Threads);

// The diffusion's temporary world: a world lent again from the host's pool (so cleared)
// and filled black, then given back.
void BM_NewWorldFilled(benchmark::State& state) {
  Rig rig(ThreadsArg(state));
  const PF_Pixel black{255, 0, 0, 0};
  for (auto _ : state) {
    PF_EffectWorld world{};
    rig.utils().new_world(rig.ref(), kWidth, kHeight, PF_NewWorldFlag_NONE, &world);
    rig.utils().fill(rig.ref(), &black, nullptr, &world);
    benchmark::ClobberMemory();
    rig.utils().dispose_world(rig.ref(), &world);
  }
  SetPixels(state);
}
BENCHMARK(BM_NewWorldFilled)->Apply(Threads);

}  // namespace
