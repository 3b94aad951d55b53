// The gray plane stands in for the sensing image only when every pixel the sensors can
// reach is gray; one colour byte anywhere must send the frame back to the image itself.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "pf_effect.h"
#include "sim/sense_and_steer.h"

namespace velunary {
namespace {

constexpr int kWidth = 21;  // a group of sixteen pixels, then five one by one
constexpr int kHeight = 3;
// Two pixels of padding at the end of every row, which are not the image's.
constexpr A_long kRowbytes = 4 * (kWidth + 2);

TEST(GrayPlane, IsMadeExactlyWhenEveryPixelIsGray) {
  const struct {
    const char* what;
    int x;
    int y;
    int byte;  // 0 alpha, 1 red, 2 green, 3 blue; -1 none
    bool gray;
  } changes[] = {
      {"nothing", 0, 0, -1, true},
      {"alpha of the first pixel", 0, 0, 0, true},
      {"red of the first pixel", 0, 0, 1, false},
      {"green of a middle pixel", 2, 1, 2, false},
      {"blue of the sixteenth pixel", 15, 0, 3, false},
      {"blue of the last pixel", kWidth - 1, kHeight - 1, 3, false},
      {"green of the last pixel", kWidth - 1, kHeight - 1, 2, false},
      {"the padding after the last row", kWidth + 1, kHeight - 1, 2, true},
  };
  // Gray rows of distinct values, padding included; the plane holds each pixel's value.
  std::vector<std::uint8_t> grays(static_cast<size_t>(kRowbytes) * kHeight);
  std::vector<std::uint8_t> values;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth + 2; ++x) {
      std::uint8_t* argb = &grays[static_cast<size_t>(y * kRowbytes + 4 * x)];
      argb[0] = 255;
      argb[1] = argb[2] = argb[3] = static_cast<std::uint8_t>(40 * y + 7 * x);
      if (x < kWidth) values.push_back(argb[1]);
    }
  }
  for (const auto& change : changes) {
    std::vector<std::uint8_t> bytes = grays;
    if (change.byte >= 0) bytes[change.y * kRowbytes + 4 * change.x + change.byte] ^= 1;
    PF_LayerDef world{};
    world.data = bytes.data();
    world.rowbytes = kRowbytes;
    world.width = kWidth;
    world.height = kHeight;
    std::vector<std::uint8_t> plane(kWidth * kHeight, 0xAA);
    EXPECT_EQ(MakeGrayPlane(world, kWidth, kHeight, plane.data()), change.gray) << change.what;
    if (change.gray) {
      EXPECT_EQ(plane, values) << change.what;
    }
  }
}

}  // namespace
}  // namespace velunary
