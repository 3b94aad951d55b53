#include "hidden_parts.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace velunary::cli {
namespace {

namespace fs = std::filesystem;

bool AllDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

std::string PartPath(const std::string& target) {
  const fs::path path(target);
  return (path.parent_path() /
          (".part-" + std::to_string(::getpid()) + "-" + path.filename().string()))
      .string();
}

void RemoveStaleParts(const std::string& dir) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir, error)) {
    // ".part-PID-NAME"
    const std::string name = entry.path().filename().string();
    const size_t dash = name.find('-', 6);
    if (!name.starts_with(".part-") || dash == std::string::npos || dash > 15 ||
        !AllDigits(name.substr(6, dash - 6))) {
      continue;
    }
    const pid_t owner = static_cast<pid_t>(std::stol(name.substr(6, dash - 6)));
    if (owner != ::getpid() && ::kill(owner, 0) != 0 && errno == ESRCH) {
      fs::remove(entry.path(), error);
    }
  }
}

}  // namespace velunary::cli
