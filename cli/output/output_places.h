// Where a render writes, checked before the first frame so that nothing of the user's is
// harmed: only regular files are written (a symlink the user names is written through
// to its target; one planted at a frame's name is replaced by the frame),
// an earlier render's frames are not mixed with new ones, and two renders do not share a
// frames folder.
#ifndef VELUNARY_CLI_OUTPUT_PLACES_H
#define VELUNARY_CLI_OUTPUT_PLACES_H

#include <set>
#include <string>
#include <vector>

namespace velunary::cli {

// A file the render will write (contact sheet, video): refused with UsageError naming
// `option` when it exists and is not a regular file, when it exists and `replace` is
// false, or when its folder cannot take files. Returns the path to write: `path`, or a
// symlink's target.
std::string CheckOutputFile(const std::string& option, const std::string& path, bool replace);

// The hidden file in a frames folder that names what a render wrote there, so that a later
// --overwrite removes exactly that and never the user's own images.
inline constexpr const char* kManifestName = ".velunary-render";

// The names `dir`'s manifest records that are there now (none without a manifest).
std::set<std::string> EarlierRenderFiles(const std::string& dir);

// The frames folder, held for the render: created if needed, locked against a second
// render (an advisory lock, released when the process ends however it ends), cleared of
// the hidden partial files of dead renders. Refused when it holds files of an earlier
// render unless `overwrite`, and whenever a file this render writes there (its `frames`,
// and `files` such as the demo's contact sheet) is there but not from an earlier render.
// Call Clear only after every other check has passed.
class FramesFolder {
 public:
  FramesFolder(const std::string& dir, bool overwrite, std::vector<std::string> frames,
               std::vector<std::string> files);
  ~FramesFolder();
  FramesFolder(const FramesFolder&) = delete;
  FramesFolder& operator=(const FramesFolder&) = delete;
  // Removes the earlier render's files but `files`, which are replaced only once whole, and
  // records this render's.
  void Clear();

 private:
  std::string dir_;
  std::vector<std::string> frames_;
  std::vector<std::string> files_;
  std::set<std::string> earlier_;
  int lock_ = -1;
};

}  // namespace velunary::cli

#endif
