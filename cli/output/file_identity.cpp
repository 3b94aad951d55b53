#include "file_identity.h"

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <system_error>
#include <tuple>

#include "errors.h"

namespace velunary::cli {
namespace {

namespace fs = std::filesystem;

// The end of a chain of symlinks, also when that end does not exist yet.
fs::path Resolved(fs::path path) {
  std::error_code error;
  for (int depth = 0; depth < 40 && fs::is_symlink(fs::symlink_status(path, error)); ++depth) {
    const fs::path link = fs::read_symlink(path, error);
    if (error) break;
    path = link.is_absolute() ? link : path.parent_path() / link;
  }
  return path;
}

}  // namespace

FileIdentity IdentityOf(const std::string& path) {
  const fs::path target = Resolved(path.empty() ? fs::path(".") : fs::path(path));
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) return {st.st_dev, st.st_ino, ""};
  std::error_code error;
  const fs::path absolute = fs::absolute(target, error).lexically_normal();
  fs::path folder = absolute.parent_path();
  std::string below = absolute.filename().string();
  // Up to the nearest folder that exists; the root always does.
  while (::stat(folder.c_str(), &st) != 0 && folder != folder.parent_path()) {
    below = folder.filename().string() + "/" + below;
    folder = folder.parent_path();
  }
  return {st.st_dev, st.st_ino, below};
}

void CheckOutputsApart(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs,
                       const std::string& outDir, const std::vector<std::string>& frameNames) {
  std::map<std::pair<dev_t, ino_t>, const NamedFile*> inputFolders;
  std::vector<std::pair<FileIdentity, const NamedFile*>> read;
  for (const NamedFile& input : inputs) {
    read.emplace_back(IdentityOf(input.path), &input);
    const FileIdentity folder = IdentityOf(Resolved(input.path).parent_path().string());
    inputFolders.emplace(std::pair{folder.device, folder.inode}, &input);
  }
  if (!outDir.empty()) {
    const FileIdentity frames = IdentityOf(outDir);
    const auto held = inputFolders.find({frames.device, frames.inode});
    if (frames.below.empty() && held != inputFolders.end()) {
      throw UsageError("--out " + outDir + " is the folder of " + held->second->what +
                       "; write the frames into a folder of their own");
    }
  }
  std::map<std::tuple<dev_t, ino_t, std::string>, NamedFile> written;
  const auto check = [&](const NamedFile& output, const FileIdentity& id) {
    for (const auto& [input, named] : read) {
      if (input == id) {
        throw UsageError(output.what + " is " + named->what +
                         "; the render would destroy its own input, so choose another name");
      }
    }
    const auto [at, added] = written.emplace(std::tuple{id.device, id.inode, id.below}, output);
    if (!added) {
      throw UsageError(output.what + " is the same file as " + at->second.what +
                       "; give each output its own name");
    }
  };
  // Frames are many: one stat each, their folder's identity found once.
  const FileIdentity folder = frameNames.empty() ? FileIdentity{} : IdentityOf(outDir);
  for (const std::string& name : frameNames) {
    const std::string path = (fs::path(outDir) / name).string();
    struct stat st {};
    FileIdentity id = folder;
    if (::stat(path.c_str(), &st) == 0) {
      id = {st.st_dev, st.st_ino, ""};
    } else {
      id.below += (id.below.empty() ? "" : "/") + name;
    }
    check({"frame " + path, path}, id);
  }
  for (const NamedFile& output : outputs) check(output, IdentityOf(output.path));
}

}  // namespace velunary::cli
