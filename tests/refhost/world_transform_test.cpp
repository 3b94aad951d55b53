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

}  // namespace
}  // namespace refhost
