// The web: rings every eighth of the smaller side around the centre, and six lines through
// the centre 30 degrees apart. Each feature is a soft line whose brightness falls linearly
// from its middle to zero at `halfWidth` pixels; where features meet the brighter wins. A
// faint floor keeps the background from being pure black so the blend with the trail is
// not flat.
#include "scenes/demo_layer.h"

#include <algorithm>
#include <cmath>

namespace velunary::scenes {
namespace {

constexpr int kFloor = 18;  // background level
constexpr int kPeak = 210;  // added at the middle of a line
constexpr int kRingsPerHalfSide = 4;

double Ramp(double distance, double halfWidth) {
  return std::max(0.0, 1.0 - distance / halfWidth);
}

}  // namespace

refhost::Image DemoLayer(int width, int height) {
  refhost::Image image(width, height, PF_Pixel{255, 0, 0, 0});
  const double halfSide = std::min(width, height) / 2.0;
  const double ringSpacing = halfSide / kRingsPerHalfSide;
  const double halfWidth = std::max(1.5, halfSide / 40.0);
  const double cx = (width - 1) / 2.0;
  const double cy = (height - 1) / 2.0;

  // Directions of the spokes, 0 to 150 degrees: cos and sin of multiples of 30 degrees
  // from the exact square root, so no library trigonometry enters the pixels.
  const double h = std::sqrt(3.0) / 2.0;
  const double spokes[6][2] = {{1.0, 0.0}, {h, 0.5}, {0.5, h}, {0.0, 1.0}, {-0.5, h}, {-h, 0.5}};

  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double dx = x - cx;
      const double dy = y - cy;
      const double r = std::sqrt(dx * dx + dy * dy);
      const double t = r / ringSpacing;
      const double fraction = t - std::floor(t);
      double v = Ramp(std::min(fraction, 1.0 - fraction) * ringSpacing, halfWidth);
      for (const auto& s : spokes) {
        v = std::max(v, Ramp(std::fabs(dx * s[1] - dy * s[0]), halfWidth));
      }
      const auto level = static_cast<A_u_char>(kFloor + static_cast<int>(v * kPeak + 0.5));
      image.At(x, y) = PF_Pixel{255, level, level, level};
    }
  }
  return image;
}

}  // namespace velunary::scenes
