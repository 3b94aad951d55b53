// Which file a path names, so that no output of a render can be one of its inputs or
// another of its outputs, however the two are spelled: through symlinks, hard links,
// relative paths or `..`. Names are not compared; the file system's own identity is.
#ifndef VELUNARY_CLI_FILE_IDENTITY_H
#define VELUNARY_CLI_FILE_IDENTITY_H

#include <sys/types.h>

#include <string>
#include <vector>

namespace velunary::cli {

// An existing file is its device and inode, whatever name reaches it. A file not yet
// there is the identity of its nearest existing folder and the names below it ("a/b.png"),
// which is what it will be once written.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  std::string below;  // empty for an existing file
  bool operator==(const FileIdentity&) const = default;
};

// Follows symlinks (also dangling ones: writing through a symlink creates its target).
FileIdentity IdentityOf(const std::string& path);

// A file a render reads or writes, as the user named it ("--input clip.mp4").
struct NamedFile {
  std::string what;
  std::string path;
};

// Refuses with UsageError, naming both, when an output is an input or another output, or
// when the frames folder `outDir` holds an input. `outputs` are the files written besides
// the frames, `frameNames` the frames' names in `outDir` (none when it is empty).
void CheckOutputsApart(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs,
                       const std::string& outDir, const std::vector<std::string>& frameNames);

}  // namespace velunary::cli

#endif
