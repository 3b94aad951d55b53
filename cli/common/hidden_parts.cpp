#include "hidden_parts.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace velunary::cli {
namespace {

namespace fs = std::filesystem;

constexpr size_t kRandomDigits = 16;

bool AllOf(const std::string& text, const char* digits) {
  return !text.empty() && text.find_first_not_of(digits) == std::string::npos;
}

std::string RandomHex() {
  unsigned char bytes[kRandomDigits / 2] = {};
  size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  char text[kRandomDigits + 1] = {};
  for (size_t i = 0; i < sizeof bytes; ++i) std::snprintf(text + 2 * i, 3, "%02x", bytes[i]);
  return text;
}

}  // namespace

std::string HiddenName(const std::string& kind, const std::string& name) {
  return "." + kind + "-" + std::to_string(::getpid()) + "-" + RandomHex() + "-" + name;
}

std::string PartPath(const std::string& target) {
  const fs::path path(target);
  return (path.parent_path() / HiddenName("part", path.filename().string())).string();
}

int OpenFolder(const std::string& dir) {
  return ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

int CreateNewFile(int dirFd, const std::string& name) {
  return ::openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
}

std::string WriteWholeFileAt(int dirFd, const std::string& name, const std::string& text) {
  const std::string part = HiddenName("part", name);
  const int fd = CreateNewFile(dirFd, part);
  bool ok = fd >= 0;
  size_t done = 0;
  while (ok && done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  int reason = errno;
  if (fd >= 0 && ::close(fd) != 0 && ok) {
    ok = false;
    reason = errno;
  }
  if (ok && ::renameat(dirFd, part.c_str(), dirFd, name.c_str()) != 0) {
    ok = false;
    reason = errno;
  }
  if (ok) return "";
  ::unlinkat(dirFd, part.c_str(), 0);
  return std::strerror(reason);
}

void RemoveStaleParts(const std::string& dir) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir, error)) {
    // ".part-PID-RANDOM-NAME"
    const std::string name = entry.path().filename().string();
    const size_t dash = name.find('-', 6);
    if (!name.starts_with(".part-") || dash == std::string::npos || dash > 15 ||
        !AllOf(name.substr(6, dash - 6), "0123456789") || name.size() < dash + kRandomDigits + 3 ||
        name[dash + kRandomDigits + 1] != '-' ||
        !AllOf(name.substr(dash + 1, kRandomDigits), "0123456789abcdef")) {
      continue;
    }
    struct stat status {};
    if (::lstat(entry.path().c_str(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_uid != ::geteuid()) {
      continue;
    }
    const pid_t owner = static_cast<pid_t>(std::stol(name.substr(6, dash - 6)));
    if (owner != ::getpid() && ::kill(owner, 0) != 0 && errno == ESRCH) {
      fs::remove(entry.path(), error);
    }
  }
}

}  // namespace velunary::cli
