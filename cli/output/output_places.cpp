#include "output_places.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "errors.h"
#include "hidden_parts.h"

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
  const fs::path probe = dir / HiddenName("velunary-probe", "");
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    throw UsageError(option + ": cannot write into " + dir.string() + ": " + std::strerror(errno));
  }
  ::close(fd);
  fs::remove(probe, error);
}

}  // namespace

std::string CheckOutputFile(const std::string& option, const std::string& path, bool replace) {
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
  if (fs::exists(status) && !replace) {
    throw UsageError(option + " " + path +
                     " exists; give --overwrite to replace it, or choose another name");
  }
  const fs::path parent = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  CheckWritableDirectory(option, parent, true);
  return target.string();
}

std::set<std::string> EarlierRenderFiles(const std::string& dir) {
  std::set<std::string> names;
  std::ifstream manifest(fs::path(dir) / kManifestName);
  std::error_code error;
  for (std::string name; std::getline(manifest, name);) {
    // Only plain names: a manifest cannot send a removal out of its folder.
    if (name.empty() || name[0] == '#' || name.find('/') != std::string::npos || name[0] == '.') {
      continue;
    }
    if (fs::exists(fs::symlink_status(fs::path(dir) / name, error))) names.insert(name);
  }
  return names;
}

FramesFolder::FramesFolder(const std::string& dir, bool overwrite, std::vector<std::string> frames,
                           std::vector<std::string> files)
    : dir_(dir), frames_(std::move(frames)), files_(std::move(files)) {
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
  earlier_ = EarlierRenderFiles(dir);
  if (!earlier_.empty() && !overwrite) {
    throw UsageError("--out " + dir + " already holds " + std::to_string(earlier_.size()) +
                     " files of an earlier render; choose another folder or give --overwrite "
                     "to replace them");
  }
  std::error_code error;
  std::vector<std::string> names = frames_;
  names.insert(names.end(), files_.begin(), files_.end());
  for (const std::string& name : names) {
    const fs::path file = fs::path(dir) / name;
    const fs::file_status status = fs::symlink_status(file, error);
    if (!fs::exists(status)) continue;
    if (earlier_.count(name) == 0) {
      throw UsageError("--out " + dir + ": " + name +
                       " is there and was not written by an earlier render; velunary replaces "
                       "only its own files, so choose another folder or move it away");
    }
    if (!fs::is_regular_file(status) && !fs::is_symlink(status)) {
      throw UsageError("--out " + dir + ": " + name +
                       " is not a regular file; velunary writes only regular files");
    }
  }
}

FramesFolder::~FramesFolder() {
  if (lock_ >= 0) ::close(lock_);
}

void FramesFolder::Clear() {
  std::set<std::string> record(frames_.begin(), frames_.end());
  record.insert(files_.begin(), files_.end());
  for (const std::string& name : earlier_) {
    // A contact sheet or video stays until its replacement is whole.
    if (std::find(files_.begin(), files_.end(), name) != files_.end()) continue;
    std::error_code error;
    fs::remove(fs::path(dir_) / name, error);
    if (error) {
      throw UsageError("--overwrite: cannot remove " + (fs::path(dir_) / name).string() + ": " +
                       error.message());
    }
  }
  // Written before the first frame, so a render killed outright is recognised too.
  std::string text = "# The files a velunary render wrote here; --overwrite removes only these.\n";
  for (const std::string& name : record) text += name + "\n";
  if (const std::string said = WriteWholeFileAt(lock_, kManifestName, text); !said.empty()) {
    throw UsageError("--out " + dir_ + ": cannot write " +
                     (fs::path(dir_) / kManifestName).string() + ": " + said);
  }
}

}  // namespace velunary::cli
