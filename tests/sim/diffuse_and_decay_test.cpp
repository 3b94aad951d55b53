// The pass's one diagnostic: "err" on standard output when it ends with a positive code,
// also when it was entered with one, in which case it makes and changes nothing, and
// nothing when it succeeds.
#include "sim/diffuse_and_decay.h"

#include <gtest/gtest.h>

#include <string>

#include "host/host_services.h"
#include "refhost/host.h"
#include "refhost/image.h"
#include "sim/simulation_state.h"

namespace velunary {
namespace {

TEST(DiffuseAndDecay, APendingCodeMakesNothingAndOnlyAPositiveOneIsReported) {
  ResetProcessStateForTesting();
  refhost::Host host;
  const PF_InData in = host.MakeInData(5, 5);
  const refhost::Image dot(5, 5, PF_Pixel{255, 90, 90, 90});
  PF_EffectWorld map{};
  PF_Err err = PF_Err_NONE;
  NewBlackWorld(&in, &map, &err);
  ASSERT_EQ(err, PF_Err_NONE);
  dot.CopyInto(map);
  const long calls = host.CountFailableCalls();
  for (PF_Err pending : {PF_Err{PF_Err_OUT_OF_MEMORY}, PF_Err{-1}}) {
    err = pending;
    ::testing::internal::CaptureStdout();
    DiffuseAndDecay(&in, &err, map);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), pending > 0 ? "err" : "");
    EXPECT_EQ(err, pending);
  }
  EXPECT_EQ(host.CountFailableCalls(), calls);
  EXPECT_EQ(refhost::Image::FromWorld(map), dot);
  // A pass that succeeds says nothing.
  err = PF_Err_NONE;
  ::testing::internal::CaptureStdout();
  DiffuseAndDecay(&in, &err, map);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(err, PF_Err_NONE);
  EXPECT_EQ(HostDisposeWorld(&in, &map), PF_Err_NONE);
  EXPECT_TRUE(host.GetLedger().Empty());
}

}  // namespace
}  // namespace velunary
