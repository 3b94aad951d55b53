// The layer images a session script can choose: the shared scenes and the extremes of
// what seeding and sensing read (black, white, dim and transparent pixels, noise).
#ifndef VELUNARY_FUZZ_SCRIPT_LAYERS_H
#define VELUNARY_FUZZ_SCRIPT_LAYERS_H

#include <cstdint>

#include "refhost/image.h"

namespace velunary::fuzzing {

inline constexpr int kLayerPatterns = 7;

// An image of width x height (both at least 1) in pattern `pattern` (taken modulo
// kLayerPatterns); `seed` varies the noise pattern.
refhost::Image ScriptLayer(int pattern, int width, int height, std::uint8_t seed);

}  // namespace velunary::fuzzing

#endif
