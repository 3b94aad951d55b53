#include <gtest/gtest.h>

#include <stdexcept>

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

TEST_F(FaultsTest, FailableCallsAreNumberedAcrossOperations) {
  const long start = host.CountFailableCalls();
  PF_EffectWorld world{};
  host.FailNthFailableCall(3, 99);
  ASSERT_EQ(NewWorld(&world), PF_Err_NONE);               // 1
  EXPECT_EQ(handles->host_get_handle_size(nullptr), 0u);  // cannot fail
  const PF_Pixel c{};
  EXPECT_EQ(utils().fill(ref(), &c, nullptr, &world), PF_Err_NONE);  // 2
  EXPECT_EQ(in.inter.abort(ref()), 99);                              // 3
  EXPECT_EQ(utils().dispose_world(ref(), &world), PF_Err_NONE);      // 4
  EXPECT_EQ(host.CountFailableCalls(), start + 4);
  EXPECT_EQ(host.FailableCallOp(start + 1), Op::NewWorld);
  EXPECT_EQ(host.FailableCallOp(start + 3), Op::Abort);
  EXPECT_THROW(host.FailableCallOp(start + 5), std::out_of_range);
}

TEST_F(FaultsTest, AbortAnswersCancelOrAFailureOnlyWhileRequested) {
  EXPECT_EQ(in.inter.abort(ref()), PF_Err_NONE);
  host.RequestCancel();
  EXPECT_EQ(in.inter.abort(ref()), PF_Interrupt_CANCEL);
  host.ClearCancel();
  EXPECT_EQ(in.inter.abort(ref()), PF_Err_NONE);
  // Cleared failures do not fire either.
  host.FailNthCall(Op::Abort, 1, 3);
  host.FailNthFailableCall(1, 4);
  host.ClearFailures();
  EXPECT_EQ(in.inter.abort(ref()), PF_Err_NONE);
}

}  // namespace
}  // namespace refhost
