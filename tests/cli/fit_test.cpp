#include "fit.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace velunary::cli {
namespace {

// A w x h image whose pixel (x, y) has red x + 1 and green y + 1, opaque.
refhost::Image Numbered(int w, int h) {
  refhost::Image image(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      image.At(x, y) = PF_Pixel{255, static_cast<A_u_char>(x + 1), static_cast<A_u_char>(y + 1), 0};
    }
  }
  return image;
}

// Each row of the result as "rg" digit pairs, "--" for a transparent pixel.
std::vector<std::string> Rows(const refhost::Image& image) {
  std::vector<std::string> rows(image.height);
  for (int i = 0; i < image.width * image.height; ++i) {
    const PF_Pixel& p = image.pixels[i];
    char cell[16] = "--";
    if (p.alpha != 0) std::snprintf(cell, sizeof cell, "%d%d", p.red, p.green);
    std::string& row = rows[i / image.width];
    row.append(row.empty() ? "" : " ").append(cell);
  }
  return rows;
}

TEST(Fit, FitKeepsTheWholeFootageAndFillCoversTheLayerBothCentredWithTheAspectKept) {
  const struct {
    int w, h;           // the footage
    int width, height;  // the layer
    Fit fit;
    std::vector<std::string> rows;
  } cases[] = {
      // Wider footage: bars above and below, or the sides cut.
      {4, 2, 4, 4, Fit::kFit, {"-- -- -- --", "11 21 31 41", "12 22 32 42", "-- -- -- --"}},
      {4, 2, 2, 2, Fit::kFill, {"21 31", "22 32"}},
      // Taller footage, scaled up: bars at the sides, or the top and bottom cut.
      {1, 2, 4, 4, Fit::kFit, {"-- 11 11 --", "-- 11 11 --", "-- 12 12 --", "-- 12 12 --"}},
      {2, 4, 2, 1, Fit::kFill, {"12 22"}},
      // An odd margin: the extra pixel goes after the footage.
      {2, 1, 3, 3, Fit::kFit, {"11 11 21", "11 11 21", "-- -- --"}},
      // Stretching is the host's, and footage of the layer's size is already fitted.
      {4, 2, 4, 4, Fit::kStretch, {"11 21 31 41", "12 22 32 42"}},
      {3, 1, 3, 1, Fit::kFill, {"11 21 31"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Rows(Fitted(Numbered(c.w, c.h), c.width, c.height, c.fit)), c.rows)
        << c.w << "x" << c.h << " into " << c.width << "x" << c.height;
  }
}

}  // namespace
}  // namespace velunary::cli
