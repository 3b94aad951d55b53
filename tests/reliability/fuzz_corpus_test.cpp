// The fuzzer's corpus replayed in every build: the seed sessions, and every input the
// fuzzer once failed on, kept as regressions. Each must pass every check of the session
// script.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "session_script.h"

namespace velunary {
namespace {

TEST(FuzzCorpus, EverySessionPassesItsChecks) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(VELUNARY_FUZZ_CORPUS)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(fuzzing::RunSessionScript(bytes.data(), bytes.size()), "") << file.filename();
  }
}

}  // namespace
}  // namespace velunary
