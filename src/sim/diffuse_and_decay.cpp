// Diffusion and decay as two host convolutions: the 3x3 box spreads the trail into a
// temporary world, the 1x1 tap fades it back into place. Taps count in 1/255 steps: the
// colour taps of 255 are one ninth of the alpha taps of 9 x 255, so colour is averaged
// over the window while alpha saturates; the decay tap k against the alpha tap of 255 is
// (1 - decay) against 1.
#include "sim/diffuse_and_decay.h"

#include <array>
#include <cstdio>

#include "host/host_services.h"
#include "host/suite_cache.h"
#include "sim/pixel_math.h"
#include "sim/simulation_state.h"

namespace velunary {
namespace {

constexpr A_long kDiffusionSize = 3;
constexpr A_long kDiffusionAlphaTap = 9 * 255;
constexpr A_long kDiffusionColorTap = 255;
constexpr A_long kDecaySize = 1;
constexpr A_long kDecayAlphaTap = 255;

// k = round((1 - decay) * 255). Decay's control keeps it within 0..1, so k is 0..255.
A_long DecayTap(double decay) {
  return static_cast<A_long>(RoundHalfAway((1.0 - decay) * 255.0));
}

}  // namespace

void DiffuseAndDecay(const PF_InData* in_data, PF_Err* err, PF_EffectWorld map) {
  HostSuiteCache suites(in_data->pica_basicP);
  PF_EffectWorld temporary{};
  ScopedWorld temporaryHolder(in_data, &temporary);
  NewBlackWorld(in_data, &temporary, err);

  std::array<A_long, kDiffusionSize * kDiffusionSize> diffusionAlpha;
  std::array<A_long, kDiffusionSize * kDiffusionSize> diffusionColor;
  diffusionAlpha.fill(kDiffusionAlphaTap);
  diffusionColor.fill(kDiffusionColorTap);
  if (*err == PF_Err_NONE) {
    *err = HostConvolve(suites, in_data, &map, kDiffusionSize, diffusionAlpha.data(),
                        diffusionColor.data(), &temporary);
  }

  A_long decayAlpha = kDecayAlphaTap;
  A_long decayColor = DecayTap(simulationSettings.decay);
  if (*err == PF_Err_NONE) {
    *err = HostConvolve(suites, in_data, &temporary, kDecaySize, &decayAlpha, &decayColor, &map);
  }

  temporaryHolder.Release(err);
  if (*err > 0) {
    std::fputs("err", stdout);
    std::fflush(stdout);
  }
}

}  // namespace velunary
