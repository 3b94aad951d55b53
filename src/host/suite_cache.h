// Host suites for the length of one command: each suite is acquired through the basic
// suite on its first use and every acquired one is released, in a fixed order, when the
// cache is destroyed (on normal and exceptional exit alike).
#ifndef VELUNARY_HOST_SUITE_CACHE_H
#define VELUNARY_HOST_SUITE_CACHE_H

#include <array>
#include <cstddef>

#include "pf_suites.h"

namespace velunary {

// A suite the host may offer: its name and version.
struct KnownSuite {
  const char* name;
  A_long version;
};

// Every suite the cache knows, in the order they are released.
inline constexpr std::size_t kKnownSuiteCount = 131;
extern const std::array<KnownSuite, kKnownSuiteCount> kKnownSuites;

class HostSuiteCache {
 public:
  // Throws PF_Err_BAD_CALLBACK_PARAM (as an integer) when basicSuite is null.
  explicit HostSuiteCache(SPBasicSuite* basicSuite);
  ~HostSuiteCache();
  HostSuiteCache(const HostSuiteCache&) = delete;
  HostSuiteCache& operator=(const HostSuiteCache&) = delete;

  // The suite's table, acquired on first use. Throws PF_Err_BAD_CALLBACK_PARAM (as an
  // integer) when the host answers nonzero or gives no table; the slot then stays empty.
  const void* Acquire(std::size_t knownIndex);

  const PF_HandleSuite1* HandleSuite();
  const PF_WorldTransformSuite1* WorldTransformSuite();
  const PF_ANSICallbacksSuite1* AnsiSuite();

 private:
  SPBasicSuite* basicSuite_;
  std::array<const void*, kKnownSuiteCount> slots_{};
};

}  // namespace velunary

#endif
