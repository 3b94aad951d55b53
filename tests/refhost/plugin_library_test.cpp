#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "refhost/plugin_library.h"

namespace refhost {
namespace {

std::string LoadError(const std::string& path) {
  try {
    PluginLibrary library(path);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "";
}

TEST(PluginLibraryTest, AMissingLibraryIsReportedWithItsPath) {
  const std::string message = LoadError("/nonexistent/velunaria.aex");
  EXPECT_NE(message.find("/nonexistent/velunaria.aex"), std::string::npos) << message;
}

#ifndef _WIN32
TEST(PluginLibraryTest, ALibraryWithoutTheEntryPointsIsReported) {
  // The C library loads everywhere here and exports no effect.
  const std::string message = LoadError("libc.so.6");
  EXPECT_NE(message.find("EffectMain"), std::string::npos) << message;
}
#endif

}  // namespace
}  // namespace refhost
