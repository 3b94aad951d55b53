#include "contact_sheet.h"

#include <gtest/gtest.h>

#include <cstdint>
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

// A sheet pixel for pixel: the grid (4 x 3 cells of 326 x 112 in a 6-pixel margin), the
// thumbnails (each source rectangle averaged and rounded, 1001 x 333 shrinking unevenly),
// the labels and the empty cell of a frame never added (an interrupted render). A new hash
// means a changed sheet: look at one (velunary render --contact-sheet) before recording it.
TEST(ContactSheet, ComposesTheRecordedSheet) {
  std::vector<long> frames(40);
  std::iota(frames.begin(), frames.end(), 0);
  ContactSheet sheet(frames, 1001, 333);
  for (long frame : frames) {
    refhost::Image image(1001, 333);
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) {
        const auto v = static_cast<A_u_char>((x * 7 + y * 3 + frame * 40) % 256);
        image.At(x, y) = PF_Pixel{255, v, static_cast<A_u_char>(x % 2 * 255), A_u_char{9}};
      }
    }
    if (frame != 21 && sheet.Wants(frame)) sheet.Add(frame, image);
  }
  const refhost::Image composed = sheet.Compose();
  std::uint64_t hash = 14695981039346656037u;  // FNV-1a
  for (const PF_Pixel& p : composed.pixels) {
    for (const A_u_char c : {p.alpha, p.red, p.green, p.blue}) hash = (hash ^ c) * 1099511628211u;
  }
  EXPECT_EQ(hash, 15547779667633261625u);
}

}  // namespace
}  // namespace velunary::cli
