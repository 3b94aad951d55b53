#include "host/suite_cache.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "refhost/host.h"

namespace velunary {
namespace {

template <typename Action>
PF_Err ThrownCode(Action action) {
  try {
    action();
  } catch (PF_Err code) {
    return code;
  }
  return PF_Err_NONE;
}

TEST(HostSuiteCache, AcquiresOnFirstUseOnlyAndReleasesOnce) {
  refhost::Host host;
  const PF_InData in = host.MakeInData(4, 4);
  { HostSuiteCache unused(in.pica_basicP); }
  EXPECT_EQ(host.CallCount(refhost::Op::AcquireSuite) + host.CallCount(refhost::Op::ReleaseSuite),
            0);
  {
    HostSuiteCache cache(in.pica_basicP);
    EXPECT_EQ(cache.HandleSuite(), cache.HandleSuite());
  }
  EXPECT_EQ(host.Acquisitions(kPFHandleSuite, 2), 1);
  EXPECT_EQ(host.Releases(kPFHandleSuite, 2), 1);
  EXPECT_EQ(ThrownCode([] { HostSuiteCache none(nullptr); }), PF_Err_BAD_CALLBACK_PARAM);
}

TEST(HostSuiteCache, FailedAcquisitionReleasesOnlyEarlierSuites) {
  refhost::Host host;
  const PF_InData in = host.MakeInData(4, 4);
  host.SetSuiteMissing(kPFWorldTransformSuite, 1, true);
  EXPECT_EQ(ThrownCode([&] {
              HostSuiteCache cache(in.pica_basicP);
              cache.AnsiSuite();
              cache.WorldTransformSuite();
            }),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host.Releases(kPFANSISuite, 1), 1);
  EXPECT_EQ(host.Releases(kPFWorldTransformSuite, 1), 0);
  EXPECT_TRUE(host.GetLedger().Empty());
}

// A basic suite that answers every suite with a table, except the handle suite, which it
// answers with success but no table; it records the releases.
std::vector<std::pair<std::string, A_long>> released;

SPErr FakeAcquire(const char* name, A_long, const void** suite) {
  static const int table = 0;
  *suite = std::string(name) == kPFHandleSuite ? nullptr : &table;
  return 0;
}
SPErr FakeRelease(const char* name, A_long version) {
  released.emplace_back(name, version);
  return 0;
}

TEST(HostSuiteCache, ReleasesInTheKnownOrderWhateverTheAcquisitionOrder) {
  SPBasicSuite basic{};
  basic.AcquireSuite = FakeAcquire;
  basic.ReleaseSuite = FakeRelease;
  {
    HostSuiteCache cache(&basic);
    EXPECT_EQ(ThrownCode([&] { cache.HandleSuite(); }), PF_Err_BAD_CALLBACK_PARAM);
    for (std::size_t i = kKnownSuiteCount; i-- > 0;) {
      if (std::string(kKnownSuites[i].name) != kPFHandleSuite) cache.Acquire(i);
    }
  }
  ASSERT_EQ(released.size(), kKnownSuiteCount - 1);
  std::size_t next = 0;
  for (const KnownSuite& known : kKnownSuites) {
    if (std::string(known.name) == kPFHandleSuite) continue;
    EXPECT_EQ(released[next].first, known.name);
    EXPECT_EQ(released[next++].second, known.version);
  }
}

}  // namespace
}  // namespace velunary
