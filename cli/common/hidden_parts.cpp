#include "hidden_parts.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
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

// Empties a private folder of ours (what a helper wrote there) and removes it.
void RemovePrivateFolder(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  if (DIR* dir = ::fdopendir(fd)) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") ::unlinkat(fd, name.c_str(), 0);
    }
    ::closedir(dir);
  } else {
    ::close(fd);
  }
  ::rmdir(path.c_str());
}

// The process id in a hidden name of exactly our form (".KIND-PID-RANDOM-" then any name,
// KIND one of ours), or 0.
pid_t HiddenNameOwner(const std::string& name) {
  for (const std::string prefix : {".part-", ".velunary-probe-"}) {
    if (!name.starts_with(prefix)) continue;
    const size_t dash = name.find('-', prefix.size());
    if (dash == std::string::npos || dash > prefix.size() + 9 ||
        !AllOf(name.substr(prefix.size(), dash - prefix.size()), "0123456789") ||
        name.size() < dash + kRandomDigits + 2 || name[dash + kRandomDigits + 1] != '-' ||
        !AllOf(name.substr(dash + 1, kRandomDigits), "0123456789abcdef")) {
      return 0;
    }
    return static_cast<pid_t>(std::stol(name.substr(prefix.size(), dash - prefix.size())));
  }
  return 0;
}

}  // namespace

std::string HiddenName(const std::string& kind, const std::string& name) {
  return "." + kind + "-" + std::to_string(::getpid()) + "-" + RandomHex() + "-" + name;
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

PrivateFolder::PrivateFolder(const std::string& target, const std::string& kind) {
  const fs::path path(target);
  const fs::path parent = path.parent_path().empty() ? fs::path(".") : path.parent_path();
  const std::string name = path.filename().string();
  // mkdir never follows a link or takes over what is there. The folder's name holds no
  // part of the target's: ffmpeg would read a "%" in it as a pattern of numbered images.
  path_ = (parent / HiddenName(kind, "")).string();
  if (::mkdir(path_.c_str(), 0700) != 0) throw std::runtime_error(std::strerror(errno));
  file_ = path_ + "/" + name;
}

PrivateFolder::~PrivateFolder() {
  RemovePrivateFolder(path_);
}

void RemoveStaleParts(const std::string& dir) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir, error)) {
    const pid_t owner = HiddenNameOwner(entry.path().filename().string());
    struct stat status {};
    if (owner == 0 || owner == ::getpid() || ::lstat(entry.path().c_str(), &status) != 0 ||
        status.st_uid != ::geteuid() || (::kill(owner, 0) == 0 || errno != ESRCH)) {
      continue;
    }
    if (S_ISREG(status.st_mode)) {
      fs::remove(entry.path(), error);
    } else if (S_ISDIR(status.st_mode) && (status.st_mode & 077) == 0) {
      RemovePrivateFolder(entry.path().string());
    }
  }
}

}  // namespace velunary::cli
