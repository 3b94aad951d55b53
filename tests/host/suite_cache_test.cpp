#include "host/suite_cache.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "refhost/host.h"

namespace velunary {
namespace {

PF_Err ThrownCode(void (*action)(HostSuiteCache&), HostSuiteCache& cache) {
  try {
    action(cache);
  } catch (PF_Err code) {
    return code;
  }
  return PF_Err_NONE;
}

TEST(HostSuiteCache, UnusedCacheMakesNoHostCall) {
  refhost::Host host;
  const PF_InData in = host.MakeInData(4, 4);
  { HostSuiteCache cache(in.pica_basicP); }
  EXPECT_EQ(host.CallCount(refhost::Op::AcquireSuite), 0);
  EXPECT_EQ(host.CallCount(refhost::Op::ReleaseSuite), 0);
}

TEST(HostSuiteCache, SecondUseReadsTheSlot) {
  refhost::Host host;
  const PF_InData in = host.MakeInData(4, 4);
  {
    HostSuiteCache cache(in.pica_basicP);
    const PF_HandleSuite2* first = cache.HandleSuite();
    EXPECT_EQ(cache.HandleSuite(), first);
    EXPECT_NE(first, nullptr);
  }
  EXPECT_EQ(host.Acquisitions(kPFHandleSuite, 2), 1);
  EXPECT_EQ(host.Releases(kPFHandleSuite, 2), 1);
}

TEST(HostSuiteCache, FailedAcquisitionReleasesOnlyEarlierSuites) {
  refhost::Host host;
  const PF_InData in = host.MakeInData(4, 4);
  host.SetSuiteMissing(kPFWorldTransformSuite, 1, true);
  {
    HostSuiteCache cache(in.pica_basicP);
    cache.AnsiSuite();
    EXPECT_EQ(ThrownCode([](HostSuiteCache& c) { c.WorldTransformSuite(); }, cache), 516);
    EXPECT_EQ(ThrownCode([](HostSuiteCache& c) { c.WorldTransformSuite(); }, cache), 516);
  }
  EXPECT_EQ(host.Releases(kPFANSISuite, 1), 1);
  EXPECT_EQ(host.Releases(kPFWorldTransformSuite, 1), 0);
  EXPECT_TRUE(host.GetLedger().Empty());
}

TEST(HostSuiteCache, NullBasicSuiteIsAMissingSuite) {
  PF_Err code = PF_Err_NONE;
  try {
    HostSuiteCache cache(nullptr);
  } catch (PF_Err thrown) {
    code = thrown;
  }
  EXPECT_EQ(code, PF_Err_BAD_CALLBACK_PARAM);
}

// A basic suite that hands out a table for every suite except one, and records releases.
std::vector<std::pair<std::string, A_long>> released;
const char* refusedName = "";
bool refuseWithZero = false;

SPErr FakeAcquire(const char* name, A_long, const void** suite) {
  static const int table = 0;
  const bool refused = std::string(name) == refusedName;
  *suite = refused ? nullptr : &table;
  return refused && !refuseWithZero ? 1 : 0;
}
SPErr FakeRelease(const char* name, A_long version) {
  released.emplace_back(name, version);
  return 0;
}

TEST(HostSuiteCache, ReleasesInTheKnownOrderWhateverTheAcquisitionOrder) {
  SPBasicSuite basic{FakeAcquire, FakeRelease};
  released.clear();
  refusedName = "";
  {
    HostSuiteCache cache(&basic);
    for (std::size_t i = kKnownSuiteCount; i-- > 0;) cache.Acquire(i);
  }
  ASSERT_EQ(released.size(), kKnownSuiteCount);
  for (std::size_t i = 0; i < kKnownSuiteCount; ++i) {
    EXPECT_EQ(released[i].first, kKnownSuites[i].name);
    EXPECT_EQ(released[i].second, kKnownSuites[i].version);
  }
}

TEST(HostSuiteCache, SuccessWithoutATableIsAMissingSuite) {
  SPBasicSuite basic{FakeAcquire, FakeRelease};
  released.clear();
  refusedName = kPFHandleSuite;
  refuseWithZero = true;
  {
    HostSuiteCache cache(&basic);
    EXPECT_EQ(ThrownCode([](HostSuiteCache& c) { c.HandleSuite(); }, cache), 516);
  }
  refuseWithZero = false;
  EXPECT_TRUE(released.empty());
}

}  // namespace
}  // namespace velunary
