#include "plugin_path.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "errors.h"

namespace velunary::cli {
namespace {

namespace fs = std::filesystem;

std::string Absolute(const std::string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  return error ? path : absolute.string();
}

// The running executable's folder, through /proc/self/exe so that neither the working
// directory nor the name it was started by matters.
std::string ExecutableDir() {
  std::error_code error;
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string(".") : exe.parent_path().string();
}

}  // namespace

std::vector<std::string> PluginCandidates(const std::string& exeDir) {
  const fs::path dir(exeDir);
  return {
      (dir / VELUNARY_PLUGIN_FILE_NAME).string(),
      (dir / VELUNARY_PLUGIN_DIR_FROM_BIN / VELUNARY_PLUGIN_FILE_NAME).lexically_normal().string()};
}

std::string ResolvePluginPath(const std::string& given) {
  if (!given.empty()) return Absolute(given);
  const char* fromEnvironment = std::getenv(kPluginEnvironmentVariable);
  if (fromEnvironment != nullptr && *fromEnvironment != '\0') return Absolute(fromEnvironment);
  const std::vector<std::string> candidates = PluginCandidates(ExecutableDir());
  std::string looked;
  for (const std::string& candidate : candidates) {
    std::error_code error;
    if (fs::is_regular_file(candidate, error)) return candidate;
    looked += (looked.empty() ? "" : " or ") + candidate;
  }
  throw UsageError(std::string("the effect library is not at ") + looked +
                   "; name it with --plugin FILE or the environment variable " +
                   kPluginEnvironmentVariable);
}

}  // namespace velunary::cli
