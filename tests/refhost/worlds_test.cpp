#include <gtest/gtest.h>

#include <algorithm>

#include "refhost/host.h"
#include "refhost_fixture.h"

namespace refhost {
namespace {

class WorldsTest : public HostFixture {
 protected:
  PF_EffectWorld NewWorld(A_long width, A_long height) {
    PF_EffectWorld world{};
    EXPECT_EQ(utils().new_world(ref(), width, height, PF_NewWorldFlag_NONE, &world), PF_Err_NONE);
    return world;
  }

  Image Copy(const Image& source, int dstWidth, int dstHeight) {
    World src = MakeWorld(source);
    World dst = MakeWorld(Image(dstWidth, dstHeight));
    EXPECT_EQ(utils().copy(ref(), &src.world, &dst.world, nullptr, nullptr), PF_Err_NONE);
    return Image::FromWorld(dst.world);
  }
};

TEST_F(WorldsTest, NewWorldIsZeroedWithPaddedRowsAlsoWhenItsMemoryIsLentAgain) {
  void* previous = nullptr;
  for (int round = 0; round < 2; ++round) {
    PF_EffectWorld world = NewWorld(5, 3);
    EXPECT_EQ(world.width, 5);
    EXPECT_EQ(world.height, 3);
    EXPECT_EQ(world.rowbytes, PaddedRowbytes(5));
    // The second world reuses the memory of the first, which was scribbled on.
    if (round == 1) {
      EXPECT_EQ(world.data, previous);
    }
    auto* bytes = static_cast<unsigned char*>(world.data);
    for (A_long i = 0; i < world.rowbytes * world.height; ++i) ASSERT_EQ(bytes[i], 0) << i;
    std::fill(bytes, bytes + world.rowbytes * world.height, 0xA5);
    EXPECT_TRUE(host.IsLiveEffectWorld(world));
    EXPECT_EQ(host.GetLedger().liveWorlds, 1);
    previous = world.data;
    EXPECT_EQ(utils().dispose_world(ref(), &world), PF_Err_NONE);
    EXPECT_TRUE(HoldsNothingElse());
  }
}

TEST_F(WorldsTest, DisposingTwiceOrAForeignWorldIsRefusedAndRecorded) {
  PF_EffectWorld world = NewWorld(2, 2);
  const PF_EffectWorld stale = world;
  ASSERT_EQ(utils().dispose_world(ref(), &world), PF_Err_NONE);
  EXPECT_EQ(utils().dispose_world(ref(), &world), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host.GetLedger().faults, 1);
  // A new world may take the old address; the stale record still names no live world.
  PF_EffectWorld fresh = NewWorld(2, 2);
  PF_EffectWorld staleCopy = stale;
  EXPECT_EQ(utils().dispose_world(ref(), &staleCopy), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(host.IsLiveEffectWorld(fresh));
  EXPECT_EQ(utils().dispose_world(ref(), &fresh), PF_Err_NONE);
  // Nor may a world the host did not make.
  World mine = MakeWorld(Image(3, 3));
  EXPECT_EQ(utils().dispose_world(ref(), &mine.world), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host.GetLedger().faults, 3);
  EXPECT_EQ(host.GetLedger().faultLog.size(), 3u);
}

TEST_F(WorldsTest, FillSetsTheRectangleOrEveryPixelAndNoPadding) {
  World world = MakeWorld(Image(4, 3));
  const PF_Pixel c{1, 2, 3, 4};
  const PF_Rect rect{1, 1, 3, 2};
  ASSERT_EQ(utils().fill(ref(), &c, &rect, &world.world), PF_Err_NONE);
  Image expected(4, 3);
  expected.At(1, 1) = c;
  expected.At(2, 1) = c;
  EXPECT_EQ(Image::FromWorld(world.world), expected);
  const PF_Rect outside{2, 0, 5, 1};
  EXPECT_EQ(utils().fill(ref(), &c, &outside, &world.world), PF_Err_BAD_CALLBACK_PARAM);

  ASSERT_EQ(utils().fill(ref(), &c, nullptr, &world.world), PF_Err_NONE);
  EXPECT_EQ(Image::FromWorld(world.world), Image(4, 3, c));
  EXPECT_EQ(world.bytes[4 * 4], 0xEE);
}

TEST_F(WorldsTest, CopyTakesTheNearestPixelInIntegersThroughPaddedRows) {
  const Image source = Pattern(5, 3, 4);
  for (auto [w, h] :
       {std::pair{5, 3}, std::pair{9, 7}, std::pair{2, 2}, std::pair{5, 1}, std::pair{13, 3}}) {
    const Image result = Copy(source, w, h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        ASSERT_EQ(result.At(x, y), source.At(x * 5 / w, y * 3 / h)) << w << "x" << h;
      }
    }
  }
}

}  // namespace
}  // namespace refhost
