#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "refhost/host.h"
#include "refhost/image.h"
#include "refhost_fixture.h"

namespace refhost {
namespace {

class WorldTransformTest : public HostFixture {};

TEST_F(WorldTransformTest, BlendAtTheEndsOfTheRangeCopiesOneSource) {
  const Image a = Pattern(7, 5, 1);
  const Image b = Pattern(7, 5, 2);
  // 1/65536 of the second source never moves a byte by half a step; the ratio is clamped.
  const struct {
    PF_Fixed ratio;
    const Image& expected;
  } cases[] = {{0, a}, {1, a}, {-5, a}, {65536, b}, {70000, b}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ratio);
    EXPECT_EQ(Blend(a, b, c.ratio), c.expected);
  }
}

TEST_F(WorldTransformTest, BlendRoundsHalfUpOnEveryChannel) {
  const Image a(2, 1, PF_Pixel{0, 0, 1, 255});
  const Image b(2, 1, PF_Pixel{255, 1, 0, 0});
  // At one half: (0 + 255·32768 + 32768) >> 16 = 128; (1·32768 + 32768) >> 16 = 1.
  EXPECT_EQ(Blend(a, b, 32768), Image(2, 1, PF_Pixel{128, 1, 1, 128}));
  // At 12345: (200·53191 + 10·12345 + 32768) >> 16 = 164; (255·12345 + 32768) >> 16 = 48.
  EXPECT_EQ(
      Blend(Image(1, 1, PF_Pixel{200, 0, 200, 0}), Image(1, 1, PF_Pixel{10, 255, 10, 0}), 12345),
      Image(1, 1, PF_Pixel{164, 48, 164, 0}));
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
TEST_F(WorldTransformTest, DiffusionWorkedValuesIncludingTheBorders) {
  std::vector<A_long> alpha(9, 2295);
  std::vector<A_long> colour(9, 255);
  Image dot(3, 3, PF_Pixel{255, 0, 0, 0});
  dot.At(0, 0) = PF_Pixel{255, 90, 4, 5};
  const Image spread = Convolve(dot, 3, alpha, colour, colour, colour);
  // 90 / 9 = 10 exactly; 4 / 9 = 0.44 rounds to 0; 5 / 9 = 0.56 rounds to 1.
  EXPECT_EQ(spread.At(0, 0), (PF_Pixel{255, 10, 0, 1}));
  EXPECT_EQ(spread.At(1, 1), (PF_Pixel{255, 10, 0, 1}));
  EXPECT_EQ(spread.At(2, 2), (PF_Pixel{255, 0, 0, 0}));

  const Image faint =
      Convolve(Image(4, 4, PF_Pixel{20, 0, 0, 0}), 3, alpha, colour, colour, colour);
  EXPECT_EQ(faint.At(0, 0).alpha, 80);   // a corner sees 4 pixels
  EXPECT_EQ(faint.At(1, 0).alpha, 120);  // an edge 6
  EXPECT_EQ(faint.At(1, 1).alpha, 180);  // the inside 9
}

// The effect's decay: colour = round(k · value / 255), alpha unchanged.
TEST_F(WorldTransformTest, DecayScalesColourRoundingHalvesUpAndKeepsAlpha) {
  const Image source(1, 1, PF_Pixel{7, 1, 100, 255});
  const struct {
    A_long k;
    PF_Pixel expected;
  } cases[] = {{0, {7, 0, 0, 0}},      {1, {7, 0, 0, 1}},      {128, {7, 1, 50, 128}},
               {179, {7, 1, 70, 179}}, {230, {7, 1, 90, 230}}, {255, {7, 1, 100, 255}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.k);
    EXPECT_EQ(Convolve(source, 1, {255}, {c.k}, {c.k}, {c.k}).At(0, 0), c.expected);
  }
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
