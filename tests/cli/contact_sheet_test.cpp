#include "contact_sheet.h"

#include <gtest/gtest.h>

#include <numeric>

namespace velunary::cli {
namespace {

TEST(ContactSheet, ChoosesEvenlySpacedDistinctFramesWithBothEnds) {
  std::vector<long> frames(120);
  std::iota(frames.begin(), frames.end(), 0);
  // Eleven steps of 119 / 11 = 10.8 frames, each rounded to the nearest frame.
  EXPECT_EQ(EvenlySpaced(frames, 12),
            (std::vector<long>{0, 11, 22, 32, 43, 54, 65, 76, 87, 97, 108, 119}));
  EXPECT_EQ(EvenlySpaced({5, 2, 5, 9}, 12), (std::vector<long>{2, 5, 9}));
}

TEST(ContactSheet, ShrinkAveragesEachSourceRectangle) {
  refhost::Image image(4, 2, PF_Pixel{255, 0, 0, 0});
  image.At(0, 0) = PF_Pixel{255, 255, 10, 0};
  image.At(1, 1) = PF_Pixel{255, 100, 0, 3};
  const refhost::Image small = Shrink(image, 2, 1);
  EXPECT_TRUE(small.At(0, 0) == (PF_Pixel{255, 89, 3, 1}));  // (255 + 100) / 4 rounds to 89
  EXPECT_TRUE(small.At(1, 0) == (PF_Pixel{255, 0, 0, 0}));
}

TEST(ContactSheet, GridHoldsEachChosenFrameInOrderWithALabel) {
  const int w = 200;
  const int h = 100;
  ContactSheet sheet({0, 1, 2, 3, 4}, w, h);
  for (long frame = 4; frame >= 0; --frame) {
    const auto level = static_cast<A_u_char>(40 * frame + 50);
    sheet.Add(frame, refhost::Image(w, h, PF_Pixel{255, level, level, level}));
  }
  const refhost::Image composed = sheet.Compose();
  // Four columns of 200 + 6 and two rows of 100 + 6, with a 6-pixel margin.
  ASSERT_EQ(composed.width, 6 + 4 * 206);
  ASSERT_EQ(composed.height, 6 + 2 * 106);
  for (long frame = 0; frame < 5; ++frame) {
    const int left = 6 + static_cast<int>(frame % 4) * 206;
    const int top = 6 + static_cast<int>(frame / 4) * 106;
    const auto level = static_cast<A_u_char>(40 * frame + 50);
    EXPECT_EQ(composed.At(left + w - 1, top + h - 1).red, level) << "frame " << frame;
    EXPECT_EQ(composed.At(left, top).red, 0) << "label box of frame " << frame;
    // The digit, at two pixels per font cell inside a box of 3 x 5 cells and a border.
    int lit = 0;
    for (int y = 0; y < 14; ++y) {
      for (int x = 0; x < 10; ++x) lit += composed.At(left + x, top + y).red == 255;
    }
    EXPECT_GE(lit, 4 * 5) << "label of frame " << frame;
  }
  EXPECT_EQ(composed.At(6 + 206 + 100, 6 + 106 + 50).red, 32);  // an empty cell
}

}  // namespace
}  // namespace velunary::cli
