#include "script_layers.h"

#include "scenes/demo_layer.h"
#include "scenes/spawn_shape.h"

namespace velunary::fuzzing {

namespace {

// A small linear congruential sequence: any bytes will do, as long as a script replays
// to the same picture everywhere.
refhost::Image Noise(int width, int height, std::uint8_t seed) {
  refhost::Image image(width, height);
  std::uint32_t state = 0x9E3779B9u ^ seed;
  for (PF_Pixel& p : image.pixels) {
    state = state * 1664525u + 1013904223u;
    p = PF_Pixel{static_cast<A_u_char>(state >> 24), static_cast<A_u_char>(state >> 16),
                 static_cast<A_u_char>(state >> 8), static_cast<A_u_char>(state >> 4)};
  }
  return image;
}

}  // namespace

refhost::Image ScriptLayer(int pattern, int width, int height, std::uint8_t seed) {
  switch (pattern % kLayerPatterns) {
    case 0:
      return scenes::DemoLayer(width, height);
    case 1:
      return scenes::SpawnDisc(width, height);
    case 2:
      return refhost::Image(width, height, PF_Pixel{255, 0, 0, 0});
    case 3:
      return refhost::Image(width, height, PF_Pixel{255, 255, 255, 255});
    case 4:
      // Luminance 0.8504, just below what seeding takes as bright.
      return refhost::Image(width, height, PF_Pixel{255, 4, 0, 0});
    case 5:
      // Transparent but bright enough: alpha plays no part in seeding or sensing.
      return refhost::Image(width, height, PF_Pixel{0, 5, 0, 0});
    default:
      return Noise(width, height, seed);
  }
}

}  // namespace velunary::fuzzing
