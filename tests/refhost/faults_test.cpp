// A planned failure fails the call it names and leaves no trace of it. (How calls are
// numbered across operations and what abort answers are held by the fault sweep, which
// checks the operation and the code of every call it fails.)
#include <gtest/gtest.h>

#include "refhost/host.h"
#include "refhost_fixture.h"

namespace refhost {
namespace {

class FaultsTest : public HostFixture {
 protected:
  PF_Err NewWorld(PF_EffectWorld* world) { return utils().new_world(ref(), 2, 2, 0, world); }
};

TEST_F(FaultsTest, TheNthCallOfAnOperationFailsWithoutEffect) {
  host.FailNthCall(Op::NewWorld, 2, PF_Err_OUT_OF_MEMORY);
  PF_EffectWorld first{};
  PF_EffectWorld second{};
  PF_EffectWorld third{};
  EXPECT_EQ(NewWorld(&first), PF_Err_NONE);
  EXPECT_EQ(NewWorld(&second), PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(second.data, nullptr);
  EXPECT_EQ(NewWorld(&third), PF_Err_NONE);
  EXPECT_EQ(host.GetLedger().liveWorlds, 2);
  EXPECT_EQ(host.CallCount(Op::NewWorld), 3);

  // A failed disposal leaves the world alive.
  host.FailNthCall(Op::DisposeWorld, 1, PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_EQ(utils().dispose_world(ref(), &first), PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_TRUE(host.IsLiveEffectWorld(first));
  EXPECT_EQ(utils().dispose_world(ref(), &first), PF_Err_NONE);
  EXPECT_EQ(utils().dispose_world(ref(), &third), PF_Err_NONE);
  EXPECT_TRUE(HoldsNothingElse());
}

TEST_F(FaultsTest, AFailedFillOrConvolveWritesNothing) {
  World world = MakeWorld(Pattern(3, 3, 1));
  World out = MakeWorld(Image(3, 3));
  const PF_Pixel c{1, 1, 1, 1};
  host.FailNthCall(Op::Fill, 1, 77);
  EXPECT_EQ(utils().fill(ref(), &c, nullptr, &world.world), 77);
  EXPECT_EQ(Image::FromWorld(world.world), Pattern(3, 3, 1));
  A_long k = 255;
  host.FailNthCall(Op::Convolve, 1, 78);
  EXPECT_EQ(transform->convolve(ref(), &world.world, nullptr, 0, 1, &k, &k, &k, &k, &out.world),
            78);
  EXPECT_EQ(Image::FromWorld(out.world), Image(3, 3));
}

}  // namespace
}  // namespace refhost
