#include "plugin_path.h"

#include <filesystem>
#include <system_error>

namespace velunary::cli {

std::string DefaultPluginPath() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  const std::filesystem::path dir = error ? std::filesystem::path(".") : exe.parent_path();
  return (dir / VELUNARY_PLUGIN_FILE_NAME).string();
}

std::string ResolvePluginPath(const std::string& given) {
  if (given.empty()) return DefaultPluginPath();
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(given, error);
  return error ? given : absolute.string();
}

}  // namespace velunary::cli
