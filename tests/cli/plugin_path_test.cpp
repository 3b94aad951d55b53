// Which effect library the renderer loads: an explicit --plugin, then VELUNARY_PLUGIN, then
// beside the program or in its prefix's library folder; never a bare name handed to the
// system's loader, which would search its own folders instead.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "errors.h"
#include "plugin_path.h"

namespace velunary::cli {
namespace {

TEST(PluginPath, GivenBeatsEnvironmentBeatsTheProgramsFolders) {
  const std::string cwd = std::filesystem::current_path().string();
  ASSERT_EQ(setenv(kPluginEnvironmentVariable, "from-env.so", 1), 0);
  EXPECT_EQ(ResolvePluginPath("given.so"), cwd + "/given.so");
  EXPECT_EQ(ResolvePluginPath(""), cwd + "/from-env.so");
  // Set but empty counts as not set. The test program has no library beside it, so every
  // place looked at is named.
  ASSERT_EQ(setenv(kPluginEnvironmentVariable, "", 1), 0);
  try {
    ResolvePluginPath("");
    ADD_FAILURE() << "no library anywhere, yet one was chosen";
  } catch (const UsageError& e) {
    EXPECT_THAT(e.what(), ::testing::HasSubstr(" or "));
    EXPECT_THAT(e.what(), ::testing::HasSubstr("--plugin FILE"));
  }
  unsetenv(kPluginEnvironmentVariable);
}

TEST(PluginPath, AnInstalledProgramLooksInItsOwnPrefix) {
  const std::vector<std::string> places = PluginCandidates("/opt/v/bin");
  ASSERT_EQ(places.size(), 2u);
  EXPECT_EQ(places[0], "/opt/v/bin/" + std::filesystem::path(places[0]).filename().string());
  EXPECT_THAT(places[1], ::testing::StartsWith("/opt/v/lib"));
  EXPECT_THAT(places[1], ::testing::EndsWith("/velunary/" +
                                             std::filesystem::path(places[0]).filename().string()));
}

}  // namespace
}  // namespace velunary::cli
