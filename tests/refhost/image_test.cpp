#include <gtest/gtest.h>

#include "refhost/image.h"
#include "refhost_fixture.h"

namespace refhost {
namespace {

TEST(PaddedRowbytesTest, IsAMultipleOf16StrictlyAboveTheRow) {
  for (A_long width : {1, 3, 4, 5, 8, 1920}) {
    const A_long rowbytes = PaddedRowbytes(width);
    EXPECT_GT(rowbytes, 4 * width);
    EXPECT_LE(rowbytes, 4 * width + 16);
    EXPECT_EQ(rowbytes % 16, 0);
  }
}

TEST(ImageTest, RoundTripsThroughAPaddedWorldLeavingThePaddingAlone) {
  const Image image = Pattern(5, 3, 1);
  World world = MakeWorld(image);
  EXPECT_EQ(Image::FromWorld(world.world), image);
  const size_t rowEnd = 5 * 4;
  for (size_t i = rowEnd; i < static_cast<size_t>(world.world.rowbytes); ++i) {
    EXPECT_EQ(world.bytes[i], 0xEE);
  }
}

TEST(ImageTest, EqualityComparesSizeAndEveryChannel) {
  const Image a(2, 2, PF_Pixel{1, 2, 3, 4});
  Image b = a;
  EXPECT_EQ(a, b);
  b.At(1, 1).blue = 5;
  EXPECT_FALSE(a == b);
  EXPECT_FALSE(Image(4, 1) == Image(1, 4));
}

}  // namespace
}  // namespace refhost
