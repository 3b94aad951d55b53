#include "scenes/spawn_shape.h"

#include <algorithm>

namespace velunary::scenes {

refhost::Image SpawnDisc(int width, int height) {
  refhost::Image image(width, height, PF_Pixel{255, 0, 0, 0});
  const long long radius = std::max(1, std::min(width, height) / 3);
  // In doubled coordinates the centre (width - 1) / 2 is a whole number, so the test of
  // each pixel is exact integer arithmetic.
  const long long limit = 4 * radius * radius;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const long long dx = 2LL * x - (width - 1);
      const long long dy = 2LL * y - (height - 1);
      if (dx * dx + dy * dy <= limit) image.At(x, y) = PF_Pixel{255, 255, 255, 255};
    }
  }
  return image;
}

}  // namespace velunary::scenes
