// Proves velunaria.aex on Windows (or Wine): the module loads, both entry points are found
// by ordinal and by name at the same addresses, the property list resource holds the
// expected bytes, and the plug-in session runs through the ordinal-found entry point with
// its frames written for comparison with another platform's build.
//
// Usage: aex_driver <path to velunaria.aex> <output directory>
// Exit status 0 when every check passed, 1 otherwise (each failure printed on stderr).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "refhost/plugin_library.h"
#include "windows/expected_pipl.h"
#include "windows/plugin_session.h"

namespace {

constexpr WORD kEnglishUs = 1033;
constexpr int kPiplId = 16000;

struct Module {
  HMODULE handle = nullptr;
  explicit Module(const char* path) : handle(LoadLibraryA(path)) {}
  ~Module() {
    if (handle != nullptr) {
      FreeLibrary(handle);
    }
  }
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
};

// GetProcAddress answers FARPROC for every export; the two entry points have their own
// signatures, reached through an untyped function pointer as Windows intends.
template <typename Func>
Func Export(HMODULE module, LPCSTR nameOrOrdinal) {
  return reinterpret_cast<Func>(
      reinterpret_cast<void (*)()>(GetProcAddress(module, nameOrOrdinal)));
}

std::vector<std::string> CheckPipl(HMODULE module) {
  HRSRC info = FindResourceExA(module, "PIPL", MAKEINTRESOURCEA(kPiplId), kEnglishUs);
  if (info == nullptr) {
    return {"no PIPL resource " + std::to_string(kPiplId) + " in language " +
            std::to_string(kEnglishUs)};
  }
  HGLOBAL loaded = LoadResource(module, info);
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  const DWORD size = SizeofResource(module, info);
  if (data == nullptr) {
    return {"the PIPL resource cannot be loaded"};
  }
  const std::vector<unsigned char> expected = velunary::platform::ExpectedPipl();
  if (size != expected.size()) {
    return {"the PIPL resource has " + std::to_string(size) + " bytes, not " +
            std::to_string(expected.size())};
  }
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (bytes[i] != expected[i]) {
      return {"the PIPL resource differs first at byte " + std::to_string(i)};
    }
  }
  return {};
}

int Run(const char* aexPath, const std::string& outDir) {
  std::vector<std::string> failures;
  auto add = [&failures](std::vector<std::string> more) {
    failures.insert(failures.end(), more.begin(), more.end());
  };

  Module module(aexPath);
  if (module.handle == nullptr) {
    std::fprintf(stderr, "FAIL: LoadLibrary(%s) failed with error %lu\n", aexPath, GetLastError());
    return 1;
  }
  const auto mainByOrdinal = Export<PF_EffectMainFunc>(module.handle, MAKEINTRESOURCEA(1));
  const auto mainByName = Export<PF_EffectMainFunc>(module.handle, "EffectMain");
  const auto dataByOrdinal = Export<PF_PluginDataEntryFunc>(module.handle, MAKEINTRESOURCEA(2));
  const auto dataByName = Export<PF_PluginDataEntryFunc>(module.handle, "PluginDataEntryFunction");
  if (mainByOrdinal == nullptr || dataByOrdinal == nullptr) {
    std::fprintf(stderr, "FAIL: ordinal 1 or 2 is not exported\n");
    return 1;
  }
  if (mainByName != mainByOrdinal) {
    failures.push_back("EffectMain is not the export at ordinal 1");
  }
  if (dataByName != dataByOrdinal) {
    failures.push_back("PluginDataEntryFunction is not the export at ordinal 2");
  }
  // The reference host's own loader must find the same functions.
  const refhost::PluginLibrary library(aexPath);
  if (library.EffectMain() != mainByOrdinal || library.PluginDataEntry() != dataByOrdinal) {
    failures.push_back("the reference host's loader finds other entry points");
  }

  add(CheckPipl(module.handle));
  add(velunary::platform::CheckPluginDataEntry(dataByOrdinal));
  add(velunary::platform::RunPluginSession(mainByOrdinal, outDir));

  for (const std::string& failure : failures) {
    std::fprintf(stderr, "FAIL: %s\n", failure.c_str());
  }
  return failures.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <velunaria.aex> <output directory>\n", argv[0]);
    return 2;
  }
  try {
    return Run(argv[1], argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "FAIL: %s\n", e.what());
    return 1;
  }
}
