#include "output_places.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "errors.h"

namespace velunary::cli {
namespace {

namespace fs = std::filesystem;

// Proves `dir` writable by creating and removing a file there, so a render never runs for
// minutes and then fails on its first write.
void CheckWritableDirectory(const std::string& option, const fs::path& dir, bool create) {
  std::error_code error;
  if (create) fs::create_directories(dir, error);
  if (error || !fs::is_directory(dir)) {
    throw UsageError(option + ": cannot create the directory " + dir.string() + ": " +
                     (error ? error.message() : "a file of that name exists"));
  }
  const fs::path probe = dir / (".velunary-probe-" + std::to_string(::getpid()));
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    throw UsageError(option + ": cannot write into " + dir.string() + ": " + std::strerror(errno));
  }
  ::close(fd);
  fs::remove(probe, error);
}

bool AllDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// "00012.png": the name the renderer gives a frame.
bool IsFrameName(const std::string& name) {
  return name.size() >= 9 && name.ends_with(".png") && AllDigits(name.substr(0, name.size() - 4));
}

std::vector<fs::path> NumberedFrames(const fs::path& dir) {
  std::vector<fs::path> frames;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir, error)) {
    if (IsFrameName(entry.path().filename().string())) frames.push_back(entry.path());
  }
  return frames;
}

}  // namespace

std::string CheckOutputFile(const std::string& option, const std::string& path) {
  fs::path target(path);
  std::error_code error;
  for (int depth = 0; depth < 16 && fs::is_symlink(target, error); ++depth) {
    const fs::path link = fs::read_symlink(target, error);
    if (error) break;
    target = link.is_absolute() ? link : target.parent_path() / link;
  }
  const fs::file_status status = fs::status(target, error);
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    throw UsageError(option + " " + path +
                     ": it exists and is not a regular file (a folder, device or fifo); velunary "
                     "writes only regular files");
  }
  const fs::path parent = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  CheckWritableDirectory(option, parent, true);
  return target.string();
}

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

FramesFolder::FramesFolder(const std::string& dir, bool overwrite) : dir_(dir) {
  CheckWritableDirectory("--out", dir, true);
  // The lock is on the folder itself, so it leaves no file behind.
  lock_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (lock_ < 0) {
    throw UsageError("--out " + dir + ": cannot open it: " + std::strerror(errno));
  }
  if (::flock(lock_, LOCK_EX | LOCK_NB) != 0) {
    const int reason = errno;
    ::close(lock_);
    lock_ = -1;
    throw UsageError("--out " + dir +
                     (reason == EWOULDBLOCK
                          ? std::string(": another render is writing there")
                          : ": cannot lock it: " + std::string(std::strerror(reason))));
  }
  RemoveStaleParts(dir);
  const std::vector<fs::path> frames = NumberedFrames(dir);
  if (!frames.empty() && !overwrite) {
    throw UsageError("--out " + dir + " already holds " + std::to_string(frames.size()) +
                     " numbered frames of an earlier render; choose another folder or give "
                     "--overwrite to remove them first");
  }
  for (const fs::path& frame : frames) {
    std::error_code error;
    if (!fs::is_regular_file(fs::symlink_status(frame, error)) && !fs::is_symlink(frame, error)) {
      throw UsageError("--out " + dir + ": " + frame.filename().string() +
                       " is not a regular file; velunary writes only regular files");
    }
  }
}

FramesFolder::~FramesFolder() {
  if (lock_ >= 0) ::close(lock_);
}

void FramesFolder::Clear() {
  for (const fs::path& frame : NumberedFrames(dir_)) {
    std::error_code error;
    fs::remove(frame, error);
    if (error) {
      throw UsageError("--overwrite: cannot remove " + frame.string() + ": " + error.message());
    }
  }
}

}  // namespace velunary::cli
