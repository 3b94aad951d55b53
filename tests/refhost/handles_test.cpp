#include <gtest/gtest.h>

#include <cstring>

#include "refhost/host.h"
#include "refhost_fixture.h"

namespace refhost {
namespace {

using HandlesTest = HostFixture;

TEST_F(HandlesTest, AHandleHoldsItsBytesUntilDisposedEvenWhenEmpty) {
  for (const A_HandleSize size : {A_HandleSize{100}, A_HandleSize{0}}) {
    SCOPED_TRACE(size);
    PF_Handle handle = handles->host_new_handle(size);
    ASSERT_NE(handle, nullptr);
    void* bytes = handles->host_lock_handle(handle);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(*handle, bytes);
    std::memset(bytes, 0x5A, size);
    EXPECT_EQ(handles->host_get_handle_size(handle), size);
    EXPECT_EQ(host.GetLedger().liveHandles, 1);
    handles->host_dispose_handle(handle);
    EXPECT_TRUE(HoldsNothingElse());
  }
}

TEST_F(HandlesTest, TheMemoryLimitCountsLiveHandlesOnly) {
  host.SetMemoryLimit(1000);
  PF_Handle a = handles->host_new_handle(600);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(handles->host_new_handle(401), nullptr);
  PF_Handle b = handles->host_new_handle(400);
  ASSERT_NE(b, nullptr);
  handles->host_dispose_handle(a);
  PF_Handle c = handles->host_new_handle(600);
  EXPECT_NE(c, nullptr);
  handles->host_dispose_handle(b);
  handles->host_dispose_handle(c);
  EXPECT_TRUE(HoldsNothingElse());
}

TEST_F(HandlesTest, UseOfADisposedHandleIsRefusedAndRecorded) {
  PF_Handle handle = handles->host_new_handle(8);
  handles->host_dispose_handle(handle);
  handles->host_dispose_handle(handle);
  EXPECT_EQ(handles->host_lock_handle(handle), nullptr);
  EXPECT_EQ(handles->host_get_handle_size(handle), 0u);
  // A handle the host never made.
  void* bytes = nullptr;
  handles->host_dispose_handle(&bytes);
  const Ledger ledger = host.GetLedger();
  EXPECT_EQ(ledger.faults, 4);
  EXPECT_EQ(ledger.liveHandles, 0);
}

}  // namespace
}  // namespace refhost
