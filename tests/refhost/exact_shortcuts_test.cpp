// The host's image operations take shortcuts on the effect's hot path (a blend near either
// end of the ratio copies one source; 1 × 1 and 3 × 3 uniform kernels map sums through
// 16-bit arithmetic instead of tables; large worlds live in memory mapped for huge pages).
// Each must give the formula's bytes for every input it accepts, and the formula's path
// must still serve what it does not.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "refhost/image.h"
#include "refhost_fixture.h"

namespace refhost {
namespace {

class ExactShortcutsTest : public HostFixture {};

// Every pair of bytes once: channel c of pixel (x, y) holds x in the first image and
// 4y + c in the second.
TEST_F(ExactShortcutsTest, BlendNearTheEndsMatchesTheFormulaForEveryPairOfBytes) {
  Image first(256, 64);
  Image second(256, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 256; ++x) {
      const auto s1 = static_cast<A_u_char>(x);
      first.At(x, y) = PF_Pixel{s1, s1, s1, s1};
      second.At(x, y) =
          PF_Pixel{static_cast<A_u_char>(4 * y), static_cast<A_u_char>(4 * y + 1),
                   static_cast<A_u_char>(4 * y + 2), static_cast<A_u_char>(4 * y + 3)};
    }
  }
  // 128 is the last ratio that leaves the first source exactly; 129 moves 0 against 255.
  for (PF_Fixed ratio : {1, 2, 127, 128, 129, 65407, 65408, 65409, 65535}) {
    SCOPED_TRACE(ratio);
    const Image blended = Blend(first, second, ratio);
    long wrong = 0;
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 256; ++x) {
        for (int c = 0; c < 4; ++c) {
          const std::uint32_t s1 = Channel(first.At(x, y), c);
          const std::uint32_t s2 = Channel(second.At(x, y), c);
          const std::uint32_t r = static_cast<std::uint32_t>(ratio);
          const std::uint32_t expected = (s1 * (65536 - r) + s2 * r + 32768) >> 16;
          if (Channel(blended.At(x, y), c) != expected) ++wrong;
        }
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

// Every byte value in every channel, for every decay tap the effect can pass and for taps
// outside 0 … 255 that need the table.
TEST_F(ExactShortcutsTest, PointwiseKernelsMatchTheFormulaForEveryTapAndValue) {
  Image source(67, 4);  // 268 pixels: every value per channel, and a partial last group
  for (int i = 0; i < 268; ++i) {
    const auto v = [&](int c) { return static_cast<A_u_char>((i + 61 * c) % 256); };
    source.pixels[static_cast<size_t>(i)] = PF_Pixel{v(0), v(1), v(2), v(3)};
  }
  std::vector<A_long> taps;
  for (A_long k = 0; k <= 255; ++k) taps.push_back(k);
  for (A_long k : {256, 300, 1000, -1, -255}) taps.push_back(k);
  for (A_long k : taps) {
    for (A_long alpha : {A_long{255}, k}) {
      std::vector<A_long> kernels[4] = {{alpha}, {k}, {k}, {k}};
      ASSERT_EQ(Convolve(source, 1, kernels[0], kernels[1], kernels[2], kernels[3]),
                ReferenceConvolve(source, 1, kernels))
          << "tap " << k << ", alpha tap " << alpha;
    }
  }
}

// The diffusion's kernels and other uniform 3 × 3 ones, on an image whose width leaves a
// partial group of pixels and whose bytes reach both ends of the range.
TEST_F(ExactShortcutsTest, UniformThreeByThreeKernelsMatchTheFormula) {
  const Image source = Pattern(37, 11, 9);
  Image bright(9, 5, PF_Pixel{255, 255, 255, 255});
  bright.At(4, 2) = PF_Pixel{0, 0, 0, 0};
  const std::vector<A_long> tapSets[] = {{2295, 255, 255, 255}, {255, 255, 255, 255},
                                         {1, 1, 1, 1},          {9999, 2294, 2296, 128},
                                         {65535, 7, 0, 300},    {2295, -255, 255, 255}};
  for (const Image& image : {source, bright}) {
    for (const std::vector<A_long>& set : tapSets) {
      std::vector<A_long> kernels[4];
      for (int c = 0; c < 4; ++c) kernels[c].assign(9, set[static_cast<size_t>(c)]);
      EXPECT_EQ(Convolve(image, 3, kernels[0], kernels[1], kernels[2], kernels[3]),
                ReferenceConvolve(image, 3, kernels))
          << "taps " << set[0] << ", " << set[1] << ", " << set[2] << ", " << set[3] << " on "
          << image.width << "x" << image.height;
    }
  }
}

// Full-HD worlds come from their own mappings: each starts zeroed, padding included, even
// where the one before it was written and disposed.
TEST_F(ExactShortcutsTest, LargeWorldsStartZeroedAfterOthersWereWrittenAndDisposed) {
  for (int round = 0; round < 3; ++round) {
    PF_EffectWorld world{};
    ASSERT_EQ(in.utils->new_world(ref(), 1920, 1080, PF_NewWorldFlag_NONE, &world), PF_Err_NONE);
    const auto* bytes = static_cast<const unsigned char*>(world.data);
    const size_t size = static_cast<size_t>(world.rowbytes) * 1080;
    EXPECT_EQ(std::count(bytes, bytes + size, 0), static_cast<std::ptrdiff_t>(size));
    const PF_Pixel white{255, 255, 255, 255};
    ASSERT_EQ(in.utils->fill(ref(), &white, nullptr, &world), PF_Err_NONE);
    ASSERT_EQ(in.utils->dispose_world(ref(), &world), PF_Err_NONE);
  }
}

}  // namespace
}  // namespace refhost
