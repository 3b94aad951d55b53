// The fuzzer's corpus replayed in every build: the seed sessions, and every input the
// fuzzer once failed on, kept as regressions. Each must pass every check of the session
// script. The sessions named sweep_ are also swept: their last command is played once for
// each host call it makes failing and each suite it uses missing.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "session_script.h"

namespace velunary {
namespace {

std::map<std::string, std::vector<std::uint8_t>> Corpus() {
  std::map<std::string, std::vector<std::uint8_t>> sessions;
  for (const auto& entry : std::filesystem::directory_iterator(VELUNARY_FUZZ_CORPUS)) {
    std::ifstream in(entry.path(), std::ios::binary);
    sessions[entry.path().filename()] = {std::istreambuf_iterator<char>(in), {}};
  }
  return sessions;
}

TEST(FuzzCorpus, EverySessionPassesItsChecks) {
  const auto corpus = Corpus();
  ASSERT_FALSE(corpus.empty());
  for (const auto& [name, bytes] : corpus) {
    EXPECT_EQ(fuzzing::RunSessionScript(bytes.data(), bytes.size()), "") << name;
  }
}

TEST(FaultSweep, EveryFailableCallAndSuiteOfTheLastCommandOfEachSweepSession) {
  int sweeps = 0;
  for (const auto& [name, bytes] : Corpus()) {
    if (!name.starts_with("sweep_")) continue;
    ++sweeps;
    EXPECT_EQ(fuzzing::SweepSessionScript(bytes.data(), bytes.size()), "") << name;
  }
  EXPECT_EQ(sweeps, 16);
}

}  // namespace
}  // namespace velunary
