#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "refhost/host.h"
#include "refhost/image.h"
#include "refhost_fixture.h"

namespace refhost {
namespace {

class WorldTransformTest : public HostFixture {};

TEST_F(WorldTransformTest, BlendAtRatioZeroGivesFirstSource) {
  const Image a = Pattern(7, 5, 1);
  const Image b = Pattern(7, 5, 2);
  EXPECT_EQ(Blend(a, b, 0), a);
}

TEST_F(WorldTransformTest, BlendAtRatioOneGivesFirstSource) {
  // 1/65536 of the second source never moves a byte by half a step.
  const Image a = Pattern(7, 5, 1);
  const Image b = Pattern(7, 5, 2);
  EXPECT_EQ(Blend(a, b, 1), a);
}

TEST_F(WorldTransformTest, BlendAtFullRatioGivesSecondSource) {
  const Image a = Pattern(7, 5, 1);
  const Image b = Pattern(7, 5, 2);
  EXPECT_EQ(Blend(a, b, 65536), b);
}

TEST_F(WorldTransformTest, BlendRoundsHalfUpOnEveryChannel) {
  const Image a(2, 1, PF_Pixel{0, 0, 1, 255});
  const Image b(2, 1, PF_Pixel{255, 1, 0, 0});
  // At one half: (0 + 255·32768 + 32768) >> 16 = 128; (1·32768 + 32768) >> 16 = 1.
  EXPECT_EQ(Blend(a, b, 32768), Image(2, 1, PF_Pixel{128, 1, 1, 128}));
}

TEST_F(WorldTransformTest, BlendClampsTheRatio) {
  const Image a = Pattern(3, 3, 1);
  const Image b = Pattern(3, 3, 2);
  EXPECT_EQ(Blend(a, b, -5), a);
  EXPECT_EQ(Blend(a, b, 70000), b);
}

TEST_F(WorldTransformTest, BlendMatchesTheFormulaAtAnyRatio) {
  const Image a = Pattern(9, 4, 3);
  const Image b = Pattern(9, 4, 4);
  const PF_Fixed ratio = 12345;
  Image expected(9, 4);
  auto mix = [&](A_u_char s1, A_u_char s2) {
    return static_cast<A_u_char>((s1 * (65536u - ratio) + s2 * std::uint32_t{ratio} + 32768u) >>
                                 16);
  };
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    const PF_Pixel& p = a.pixels[i];
    const PF_Pixel& q = b.pixels[i];
    expected.pixels[i] = PF_Pixel{mix(p.alpha, q.alpha), mix(p.red, q.red), mix(p.green, q.green),
                                  mix(p.blue, q.blue)};
  }
  EXPECT_EQ(Blend(a, b, ratio), expected);
}

TEST_F(WorldTransformTest, BlendIntoOneOfItsSourcesMatchesASeparateDestination) {
  const Image a = Pattern(6, 3, 5);
  const Image b = Pattern(6, 3, 6);
  for (PF_Fixed ratio : {0, 30000, 65536}) {
    World inPlace = MakeWorld(b);
    World first = MakeWorld(a);
    ASSERT_EQ(transform->blend(ref(), &first.world, &inPlace.world, ratio, &inPlace.world),
              PF_Err_NONE);
    EXPECT_EQ(Image::FromWorld(inPlace.world), Blend(a, b, ratio)) << "ratio " << ratio;
  }
}

TEST_F(WorldTransformTest, BlendRefusesWorldsOfDifferentSizes) {
  World a = MakeWorld(Pattern(4, 4, 1));
  World b = MakeWorld(Pattern(4, 5, 1));
  World d = MakeWorld(Image(4, 4));
  EXPECT_EQ(transform->blend(ref(), &a.world, &b.world, 0, &d.world), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(transform->blend(ref(), &a.world, &a.world, 0, &b.world), PF_Err_BAD_CALLBACK_PARAM);
}

// The effect's diffusion: colour = round(sum of the 3×3 neighbourhood / 9),
// alpha = min(255, sum of the alphas), pixels beyond the border counting as 0.
TEST_F(WorldTransformTest, DiffusionKernelAveragesColourAndSumsAlpha) {
  const Image source = Pattern(6, 5, 7);
  std::vector<A_long> alpha(9, 2295);
  std::vector<A_long> colour(9, 255);
  const Image result = Convolve(source, 3, alpha, colour, colour, colour);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      int sum[4] = {0, 0, 0, 0};
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          if (x + dx < 0 || x + dx >= 6 || y + dy < 0 || y + dy >= 5) continue;
          const PF_Pixel& p = source.At(x + dx, y + dy);
          sum[0] += p.alpha;
          sum[1] += p.red;
          sum[2] += p.green;
          sum[3] += p.blue;
        }
      }
      auto average = [](int s) { return static_cast<A_u_char>((2 * s + 9) / 18); };
      const PF_Pixel expected{static_cast<A_u_char>(std::min(255, sum[0])), average(sum[1]),
                              average(sum[2]), average(sum[3])};
      EXPECT_EQ(result.At(x, y), expected) << "at " << x << ", " << y;
    }
  }
}

TEST_F(WorldTransformTest, DiffusionOfOneBrightPixelInACorner) {
  Image source(3, 3, PF_Pixel{255, 0, 0, 0});
  source.At(0, 0) = PF_Pixel{255, 90, 4, 5};
  std::vector<A_long> alpha(9, 2295);
  std::vector<A_long> colour(9, 255);
  const Image result = Convolve(source, 3, alpha, colour, colour, colour);
  // 90 / 9 = 10 exactly; 4 / 9 = 0.44 rounds to 0; 5 / 9 = 0.56 rounds to 1.
  EXPECT_EQ(result.At(0, 0), (PF_Pixel{255, 10, 0, 1}));
  EXPECT_EQ(result.At(1, 1), (PF_Pixel{255, 10, 0, 1}));
  EXPECT_EQ(result.At(2, 2), (PF_Pixel{255, 0, 0, 0}));
}

TEST_F(WorldTransformTest, DiffusionAlphaAtTheBorderCountsOnlyPixelsInside) {
  const Image source(4, 4, PF_Pixel{20, 0, 0, 0});
  std::vector<A_long> alpha(9, 2295);
  std::vector<A_long> colour(9, 255);
  const Image result = Convolve(source, 3, alpha, colour, colour, colour);
  EXPECT_EQ(result.At(0, 0).alpha, 80);   // a corner sees 4 pixels
  EXPECT_EQ(result.At(1, 0).alpha, 120);  // an edge 6
  EXPECT_EQ(result.At(1, 1).alpha, 180);  // the inside 9
}

// The effect's decay: colour = round(k · value / 255), alpha unchanged.
TEST_F(WorldTransformTest, DecayKernelScalesColourAndKeepsAlpha) {
  const Image source = Pattern(5, 3, 9);
  for (A_long k : {0, 1, 128, 179, 230, 255}) {
    const Image result = Convolve(source, 1, {255}, {k}, {k}, {k});
    for (size_t i = 0; i < source.pixels.size(); ++i) {
      const PF_Pixel& p = source.pixels[i];
      auto decay = [&](int v) { return static_cast<A_u_char>((2 * k * v + 255) / 510); };
      const PF_Pixel expected{p.alpha, decay(p.red), decay(p.green), decay(p.blue)};
      ASSERT_EQ(result.pixels[i], expected) << "k " << k << ", pixel " << i;
    }
  }
}

TEST_F(WorldTransformTest, DecayRoundsHalvesUp) {
  // 128 · 1 / 255 is below a half: 0; 128 · 255 / 255 = 128; 1 · 128 / 255 ≈ 0.502: 1.
  const Image source(1, 1, PF_Pixel{7, 1, 255, 2});
  EXPECT_EQ(Convolve(source, 1, {255}, {128}, {128}, {128}).At(0, 0), (PF_Pixel{7, 1, 128, 1}));
}

// A kernel whose taps differ, including negative ones, against the formula written out.
TEST_F(WorldTransformTest, NonUniformKernelMatchesTheFormula) {
  const int n = 5;
  const Image source = Pattern(11, 8, 11);
  std::mt19937 random(3);
  std::uniform_int_distribution<A_long> tap(-600, 900);
  std::vector<A_long> kernels[4];
  for (auto& k : kernels) {
    for (int i = 0; i < n * n; ++i) k.push_back(tap(random));
  }
  kernels[2].assign(n * n, 300);  // one uniform channel beside three general ones
  const Image result = Convolve(source, n, kernels[0], kernels[1], kernels[2], kernels[3]);
  EXPECT_EQ(result, ReferenceConvolve(source, n, kernels));
}

// Kernels narrower and wider than the image, on images down to one pixel.
TEST_F(WorldTransformTest, UniformKernelsOfManySizesMatchTheFormula) {
  for (auto [w, h] :
       {std::pair{13, 9}, std::pair{1, 1}, std::pair{1, 6}, std::pair{6, 1}, std::pair{2, 3}}) {
    const Image source = Pattern(w, h, 5);
    for (int n : {1, 3, 5, 7, 9, 15, 21, 33}) {
      std::vector<A_long> kernels[4] = {
          std::vector<A_long>(n * n, 2295), std::vector<A_long>(n * n, 255),
          std::vector<A_long>(n * n, -40), std::vector<A_long>(n * n, 1)};
      EXPECT_EQ(Convolve(source, n, kernels[0], kernels[1], kernels[2], kernels[3]),
                ReferenceConvolve(source, n, kernels))
          << "kernel size " << n << " on " << w << "x" << h;
    }
  }
}

TEST_F(WorldTransformTest, ConvolveRefusesWhatItDoesNotSupport) {
  World src = MakeWorld(Pattern(4, 4, 1));
  World dst = MakeWorld(Image(4, 4));
  World other = MakeWorld(Image(5, 4));
  std::vector<A_long> k(9, 255);
  std::vector<A_long> even(4, 255);
  const PF_Rect area{0, 0, 2, 2};
  auto convolve = [&](PF_EffectWorld* s, const PF_Rect* a, PF_KernelFlags flags, A_long size,
                      A_long* taps, PF_EffectWorld* d) {
    return transform->convolve(ref(), s, a, flags, size, taps, taps, taps, taps, d);
  };
  EXPECT_EQ(convolve(&src.world, &area, 0, 3, k.data(), &dst.world), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(convolve(&src.world, nullptr, 1, 3, k.data(), &dst.world), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(convolve(&src.world, nullptr, 0, 2, even.data(), &dst.world),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(convolve(&src.world, nullptr, 0, 0, k.data(), &dst.world), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(convolve(&src.world, nullptr, 0, -3, k.data(), &dst.world), PF_Err_BAD_CALLBACK_PARAM);
  // Beyond 1447 the 64-bit sums could overflow; the kernel is not read.
  EXPECT_EQ(convolve(&src.world, nullptr, 0, 1449, k.data(), &dst.world),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(convolve(&src.world, nullptr, 0, 3, k.data(), &src.world), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(convolve(&src.world, nullptr, 0, 3, k.data(), &other.world), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(transform->convolve(ref(), &src.world, nullptr, 0, 3, k.data(), nullptr, k.data(),
                                k.data(), &dst.world),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(Image::FromWorld(dst.world), Image(4, 4)) << "a refused call writes nothing";
}

}  // namespace
}  // namespace refhost
