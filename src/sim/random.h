// The simulation's random source: MT19937 engines and the draws built on them, each
// defined to the bit so that playback repeats on every platform and standard library.
#ifndef VELUNARY_SIM_RANDOM_H
#define VELUNARY_SIM_RANDOM_H

#include <cstdint>
#include <random>

namespace velunary {

using RandomEngine = std::mt19937;

// The shared engine: seeded 5489 at load, re-seeded when a population is created. The
// seeding draws from it on the render thread and the movement pass on its own thread, never
// both at once.
extern RandomEngine sharedRandom;

// u in [0, 1) from two outputs, the first the low word.
double UniformUnit(RandomEngine& engine);
// u * (hi - lo) + lo.
double UniformReal(RandomEngine& engine, double lo, double hi);
// A whole number 0..359 as a double.
double RandomHeading(RandomEngine& engine);
// An int in [lo, hi] by rejection of the top partial range; no draw when lo == hi.
std::int32_t UniformInt(RandomEngine& engine, std::int32_t lo, std::int32_t hi);

// The seed an engine gets for a randomSeed: its 32-bit pattern.
inline std::uint32_t SeedBits(std::int32_t randomSeed) {
  return static_cast<std::uint32_t>(randomSeed);
}

}  // namespace velunary

#endif
