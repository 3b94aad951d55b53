// The suite cache. The list of known suites doubles as the release order: suites are
// released in the order the host's own effects release them, which is the order below,
// not the order of acquisition.
#include "host/suite_cache.h"

#include <string_view>

namespace velunary {

namespace {

// A suite the host cannot supply travels to the entry point as this integer code.
constexpr PF_Err kMissingSuite = PF_Err_BAD_CALLBACK_PARAM;

}  // namespace

constexpr std::array<KnownSuite, kKnownSuiteCount> kKnownSuites = {{
    {"AEGP Marker Suite", 1},
    {"AEGP Marker Suite", 2},
    {"AEGP Marker Suite", 3},
    {"AEGP Layer Suite", 8},
    {"AEGP Layer Suite", 10},
    {"AEGP Stream Suite", 10},
    {"AEGP Stream Suite", 9},
    {"AEGP Stream Suite", 8},
    {"AEGP Stream Suite", 7},
    {"AEGP Stream Suite", 4},
    {"AEGP Dynamic Stream Suite", 2},
    {"AEGP Dynamic Stream Suite", 3},
    {"AEGP Dynamic Stream Suite", 5},
    {"AEGP Keyframe Suite", 4},
    {"AEGP Keyframe Suite", 3},
    {"AEGP Keyframe Suite", 1},
    {"AEGP Comp Suite", 9},
    {"AEGP Comp Suite", 11},
    {"AEGP Comp Suite", 14},
    {"AEGP Comp Suite", 15},
    {"AEGP Comp Suite", 18},
    {"AEGP Comp Suite", 19},
    {"AEGP Comp Suite", 21},
    {"AEGP Comp Suite", 25},
    {"AEGP Canvas Suite", 10},
    {"AEGP Canvas Suite", 11},
    {"AEGP Canvas Suite", 13},
    {"AEGP Canvas Suite", 14},
    {"AEGP Camera Suite", 2},
    {"AEGP Register Suite", 6},
    {"AEGP Item View Suite", 1},
    {"AEGP Item Suite", 13},
    {"AEGP Item Suite", 11},
    {"AEGP Item Suite", 10},
    {"AEGP Item Suite", 7},
    {"AEGP Item Suite", 3},
    {"AEGP PF Interface Suite", 1},
    {"AEGP Math Suite", 1},
    {"PF AE Adv Time Suite", 4},
    {"PF Path Query Suite", 1},
    {"AEGP Memory Suite", 1},
    {"PF Path Data Suite", 1},
    {"PF Param Utils Suite", 3},
    {"PF AE App Suite", 6},
    {"PF AE App Suite", 7},
    {"PF AE App Suite", 1},
    {"PF AE Adv App Suite", 2},
    {"AEGP Light Suite", 1},
    {"AEGP Light Suite", 2},
    {"AEGP Effect Suite", 1},
    {"AEGP Effect Suite", 2},
    {"AEGP Effect Suite", 3},
    {"AEGP Effect Suite", 4},
    {"AEGP Layer Mask Suite", 5},
    {"AEGP Mask Outline Suite", 2},
    {"AEGP Mask Outline Suite", 3},
    {"AEGP Mask Outline Suite", 5},
    {"AEGP Command Suite", 1},
    {"AEGP Utility Suite", 7},
    {"AEGP Render Suite", 1},
    {"AEGP Render Suite", 2},
    {"AEGP Render Suite", 3},
    {"AEGP Render Suite", 5},
    {"AEGP Render Suite", 8},
    {"PF ANSI Suite", 1},
    {"PF Handle Suite", 2},
    {"PF Fill Matte Suite", 2},
    {"PF World Transform Suite", 1},
    {"AEGP QueryXform Suite", 4},
    {"AEGP Composite Suite", 4},
    {"PF World Suite", 1},
    {"AEGP IO In Suite", 5},
    {"AEGP IO Out Suite", 7},
    {"AEGP Render Queue Suite", 1},
    {"AEGP Render Queue Item Suite", 3},
    {"AEGP Output Module Suite", 4},
    {"AEGP File Import Manager Suite", 3},
    {"PF Sampling8 Suite", 1},
    {"PF Sampling16 Suite", 1},
    {"PF Iterate8 Suite", 1},
    {"PF iterate16 Suite", 1},
    {"PF iterateFloat Suite", 1},
    {"AEGP Collection Suite", 2},
    {"AEGP Text Document Suite", 1},
    {"AEGP Sound Data Suite", 1},
    {"AEGP Text Layer Suite", 1},
    {"AEGP Artisan Util Suite", 1},
    {"AEGP World Suite", 2},
    {"AEGP World Suite", 3},
    {"AEGP Render Options Suite", 1},
    {"AEGP Tracker Suite", 1},
    {"AEGP Tracker Utility Suite", 1},
    {"AE Plugin Helper Suite2", 2},
    {"AEGP Layer Suite", 11},
    {"AEGP Layer Suite", 12},
    {"AEGP Layer Suite", 13},
    {"AEGP Layer Suite", 14},
    {"PF AE Adv Item Suite", 1},
    {"AEGP Layer Suite", 5},
    {"AEGP Layer Mask Suite", 2},
    {"AEGP Layer Mask Suite", 6},
    {"AEGP Layer Mask Suite", 7},
    {"AEGP Comp Suite", 4},
    {"AEGP Collection Suite", 1},
    {"PF AE Adv App Suite", 1},
    {"AEGP Utility Suite", 3},
    {"AEGP Render Options Suite", 2},
    {"AEGP Layer Render Options Suite", 1},
    {"AEGP Layer Render Options Suite", 2},
    {"AEGP Render Asyc Manager Suite", 1},
    {"AEGP Proj Suite", 8},
    {"AEGP Proj Suite", 9},
    {"AEGP Footage Suite", 11},
    {"AEGP Render Queue Item Suite", 4},
    {"AEGP Utility Suite", 10},
    {"AEGP Persistent Data Suite", 4},
    {"AEGP Persistent Data Suite", 3},
    {"PF Color Settings Suite", 3},
    {"PF Color Settings Suite", 1},
    {"PF ColorParamSuite", 1},
    {"PF SamplingFloat Suite", 1},
    {"AEGP Utility Suite", 11},
    {"AEGP Utility Suite", 13},
    {"PF Effect Custom UI Suite", 1},
    {"PF Effect Custom UI Suite", 2},
    {"PF Effect Custom UI Overlay Theme Suite", 1},
    {"DRAWBOT Draw Suite", 1},
    {"DRAWBOT Supplier Suite", 1},
    {"DRAWBOT Surface Suite", 2},
    {"DRAWBOT Path Suite", 1},
    {"SP Suites Suite", 2},
}};

namespace {

// A shorter list would leave zeroed entries at the end; a longer one does not compile.
static_assert(kKnownSuites.back().name != nullptr, "the known-suite list is incomplete");

constexpr std::size_t IndexOf(std::string_view name, A_long version) {
  for (std::size_t i = 0; i < kKnownSuites.size(); ++i) {
    if (kKnownSuites[i].name == name && kKnownSuites[i].version == version) return i;
  }
  return kKnownSuites.size();
}

// Each name and version appears once, so every suite has exactly one slot.
constexpr bool AllDistinct() {
  for (std::size_t i = 0; i < kKnownSuites.size(); ++i) {
    if (IndexOf(kKnownSuites[i].name, kKnownSuites[i].version) != i) return false;
  }
  return true;
}
static_assert(AllDistinct(), "a suite is listed twice");

constexpr std::size_t kHandleSuite = IndexOf(kPFHandleSuite, kPFHandleSuiteVersion2);
constexpr std::size_t kWorldTransformSuite =
    IndexOf(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1);
constexpr std::size_t kAnsiSuite = IndexOf(kPFANSISuite, kPFANSISuiteVersion1);
static_assert(kHandleSuite < kKnownSuiteCount && kWorldTransformSuite < kKnownSuiteCount &&
              kAnsiSuite < kKnownSuiteCount);

}  // namespace

HostSuiteCache::HostSuiteCache(SPBasicSuite* basicSuite) : basicSuite_(basicSuite) {
  if (basicSuite_ == nullptr) throw kMissingSuite;
}

HostSuiteCache::~HostSuiteCache() {
  for (std::size_t i = 0; i < kKnownSuiteCount; ++i) {
    if (slots_[i] != nullptr)
      basicSuite_->ReleaseSuite(kKnownSuites[i].name, kKnownSuites[i].version);
  }
}

const void* HostSuiteCache::Acquire(std::size_t knownIndex) {
  if (knownIndex >= kKnownSuiteCount) throw kMissingSuite;
  if (slots_[knownIndex] != nullptr) return slots_[knownIndex];
  const KnownSuite& suite = kKnownSuites[knownIndex];
  const void* table = nullptr;
  const SPErr result = basicSuite_->AcquireSuite(suite.name, suite.version, &table);
  // A nonzero answer leaves nothing to release; a zero answer without a table is treated
  // the same way, since there is no suite to call or to hand back.
  if (result != 0 || table == nullptr) throw kMissingSuite;
  slots_[knownIndex] = table;
  return table;
}

const PF_HandleSuite1* HostSuiteCache::HandleSuite() {
  return static_cast<const PF_HandleSuite1*>(Acquire(kHandleSuite));
}

const PF_WorldTransformSuite1* HostSuiteCache::WorldTransformSuite() {
  return static_cast<const PF_WorldTransformSuite1*>(Acquire(kWorldTransformSuite));
}

const PF_ANSICallbacksSuite1* HostSuiteCache::AnsiSuite() {
  return static_cast<const PF_ANSICallbacksSuite1*>(Acquire(kAnsiSuite));
}

}  // namespace velunary
