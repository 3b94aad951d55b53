// The suite cache releases what it acquired, once, in the order of its known list,
// whatever the order of acquisition; a success without a table counts as a refusal.
#include "host/suite_cache.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace velunary {
namespace {

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
    // (The code thrown, that of every missing suite, is held by the fault sweep.)
    EXPECT_THROW(cache.HandleSuite(), PF_Err) << "a handle suite without a table";
    for (std::size_t i = kKnownSuiteCount; i-- > 0;) {
      if (std::string(kKnownSuites[i].name) != kPFHandleSuite) cache.Acquire(i);
    }
    cache.Acquire(0);  // acquired once only
  }
  std::vector<std::pair<std::string, A_long>> expected;
  for (const KnownSuite& known : kKnownSuites) {
    if (std::string(known.name) != kPFHandleSuite) expected.emplace_back(known.name, known.version);
  }
  EXPECT_EQ(released, expected);
}

}  // namespace
}  // namespace velunary
