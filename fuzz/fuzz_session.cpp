// libFuzzer's entry: every input is a session script. A failed check aborts with its
// description, so the fuzzer keeps the input as a finding; sanitizer reports and crashes
// inside the effect end the run the same way.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "session_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string failure = velunary::fuzzing::RunSessionScript(data, size);
  if (!failure.empty()) {
    std::fprintf(stderr, "session script check failed: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
