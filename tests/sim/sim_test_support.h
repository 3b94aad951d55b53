// Shared by the simulation's tests: gray pixels, and engines whose next outputs are chosen.
#ifndef VELUNARY_TESTS_SIM_SIM_TEST_SUPPORT_H
#define VELUNARY_TESTS_SIM_SIM_TEST_SUPPORT_H

#include <cstdint>
#include <initializer_list>
#include <sstream>

#include "pf_effect.h"
#include "sim/random.h"

namespace velunary {

inline constexpr PF_Pixel kBlack{255, 0, 0, 0};

inline PF_Pixel Gray(int value) {
  const auto v = static_cast<A_u_char>(value);
  return PF_Pixel{255, v, v, v};
}

// An engine whose next outputs are `outputs`. With state words 0 to k + 1 zero, the twist
// makes the k-th next word equal to word 397 + k, which therefore holds the k-th output
// untempered. Loaded through the standard text format; the trailing position 624 (no word
// used yet) is what libstdc++ reads as well.
inline RandomEngine EngineYielding(std::initializer_list<std::uint32_t> outputs) {
  std::uint32_t words[624] = {};
  int k = 397;
  for (std::uint32_t y : outputs) {
    y ^= y >> 18;
    y ^= (y << 15) & 0xEFC60000u;
    std::uint32_t x = y;
    for (int i = 0; i < 4; ++i) x = y ^ ((x << 7) & 0x9D2C5680u);
    words[k++] = x ^ (x >> 11) ^ (x >> 22);
  }
  std::stringstream text;
  for (std::uint32_t word : words) text << word << ' ';
  text << 624;
  RandomEngine engine;
  text >> engine;
  return engine;
}

}  // namespace velunary

#endif
