// The basic suite (AcquireSuite, ReleaseSuite) with its per-suite counts, and the ANSI
// text functions offered both as "PF ANSI Suite" 1 and as the utility callbacks' `ansi`.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "host_impl.h"

namespace refhost {

namespace {

// The basic suite's answer for a suite it does not hand out ('S!Fd', as hosts answer).
constexpr SPErr kSuiteNotFound = 0x53214664;
// Its answer for a release without an acquisition, or a call with null arguments.
constexpr SPErr kBadParameter = 0x2170726D;  // '!prm'

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
A_long
Sprintf(A_char* buffer, const A_char* format, ...) {
  if (Host::Impl* host = ActiveImpl()) host->Enter(Op::Sprintf);
  va_list args;
  va_start(args, format);
  const int count = std::vsprintf(buffer, format, args);
  va_end(args);
  return count;
}

A_char* Strcpy(A_char* dst, const A_char* src) {
  if (Host::Impl* host = ActiveImpl()) host->Enter(Op::Strcpy);
  return std::strcpy(dst, src);
}

// Only the text functions; the mathematical slots stay null.
const PF_ANSICallbacksSuite1 kAnsiSuite = [] {
  PF_ANSICallbacksSuite1 suite{};
  suite.sprintf = Sprintf;
  suite.strcpy = Strcpy;
  return suite;
}();

// The effect acquires and releases this suite but calls none of its operations: an
// opaque, non-null table is all it needs.
const unsigned char kParamUtilsTable[64] = {};

const void* SuiteTable(const char* name, A_long version) {
  const std::string_view n(name);
  if (n == kPFHandleSuite && version == kPFHandleSuiteVersion2) return HandleSuiteTable();
  if (n == kPFWorldTransformSuite && version == kPFWorldTransformSuiteVersion1) {
    return WorldTransformSuiteTable();
  }
  if (n == kPFANSISuite && version == kPFANSISuiteVersion1) return &kAnsiSuite;
  if (n == kPFParamUtilsSuite && version == kPFParamUtilsSuiteVersion3) return kParamUtilsTable;
  return nullptr;
}

bool IsMissing(const Host::Impl& host, std::string_view name, A_long version) {
  return std::any_of(host.missingSuites.begin(), host.missingSuites.end(),
                     [&](const auto& s) { return s.first == name && s.second == version; });
}

std::string SuiteLabel(std::string_view name, A_long version) {
  std::string label(name);
  label.append(" version ").append(std::to_string(version));
  return label;
}

SPErr AcquireSuite(const char* name, A_long version, const void** suite) {
  Host::Impl* host = ActiveImpl();
  if (host == nullptr) return kSuiteNotFound;
  if (PF_Err err = host->Enter(Op::AcquireSuite)) {
    if (suite != nullptr) *suite = nullptr;
    return err;
  }
  if (name == nullptr || suite == nullptr) {
    host->Fault("AcquireSuite with a null name or result pointer");
    return kBadParameter;
  }
  const void* table = IsMissing(*host, name, version) ? nullptr : SuiteTable(name, version);
  *suite = table;
  if (table == nullptr) return kSuiteNotFound;
  ++host->suiteCounts[{name, version}].acquisitions;
  return 0;
}

SPErr ReleaseSuite(const char* name, A_long version) {
  Host::Impl* host = ActiveImpl();
  if (host == nullptr) return kBadParameter;
  if (PF_Err err = host->Enter(Op::ReleaseSuite)) return err;
  if (name == nullptr) {
    host->Fault("ReleaseSuite with a null name");
    return kBadParameter;
  }
  auto it = host->suiteCounts.find({name, version});
  if (it == host->suiteCounts.end() || it->second.releases >= it->second.acquisitions) {
    host->Fault("ReleaseSuite of " + SuiteLabel(name, version) + ", which is not acquired");
    return kBadParameter;
  }
  ++it->second.releases;
  return 0;
}

}  // namespace

void BindAnsiCallbacks(PF_ANSICallbacks& ansi) {
  ansi.sprintf = Sprintf;
  ansi.strcpy = Strcpy;
}

void BindBasicSuite(SPBasicSuite& basic) {
  basic.AcquireSuite = AcquireSuite;
  basic.ReleaseSuite = ReleaseSuite;
}

void Host::SetSuiteMissing(std::string_view name, A_long version, bool missing) {
  auto& list = impl_->missingSuites;
  const bool present = IsMissing(*impl_, name, version);
  if (missing && !present) {
    list.emplace_back(std::string(name), version);
  } else if (!missing && present) {
    list.erase(
        std::remove_if(list.begin(), list.end(),
                       [&](const auto& s) { return s.first == name && s.second == version; }),
        list.end());
  }
}

long Host::Acquisitions(std::string_view suite, A_long version) const {
  auto it = impl_->suiteCounts.find({std::string(suite), version});
  return it == impl_->suiteCounts.end() ? 0 : it->second.acquisitions;
}

long Host::Releases(std::string_view suite, A_long version) const {
  auto it = impl_->suiteCounts.find({std::string(suite), version});
  return it == impl_->suiteCounts.end() ? 0 : it->second.releases;
}

}  // namespace refhost
