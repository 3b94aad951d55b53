// The hidden names files are written under until they are whole, so that a render killed
// outright leaves at most a hidden part, never a truncated file under the output's name.
// Each holds the process id and a random part, so nobody can plant a file or a link under
// it beforehand, and only names of exactly that form, made by a process that has ended,
// are ever cleared. A helper that must open its output by name (a video's muxer reopens
// the file to move its index to the front) writes into a private folder of that form.
#ifndef VELUNARY_CLI_HIDDEN_PARTS_H
#define VELUNARY_CLI_HIDDEN_PARTS_H

#include <string>

namespace velunary::cli {

// ".KIND-PID-RANDOM-NAME": a fresh hidden name for `name`, RANDOM 16 hex digits.
std::string HiddenName(const std::string& kind, const std::string& name);

// Opens `dir` for the *at calls below (close-on-exec); -1 with errno on failure.
int OpenFolder(const std::string& dir);

// Creates `name` in the folder `dirFd` for writing: a new file only, never an existing
// file or the target of a symlink, and not inherited by child processes. -1 with errno.
int CreateNewFile(int dirFd, const std::string& name);

// Writes `text` as the file `name` in the folder `dirFd`: into a new hidden file, then
// renamed into place, so `name` is never half written and a link at it is replaced, not
// written through. Returns "" or the system's reason; a failure leaves no hidden file.
std::string WriteWholeFileAt(int dirFd, const std::string& name, const std::string& text);

// A folder ".KIND-PID-RANDOM-" beside `target` that only this user can enter, for a
// helper to write `File()` (the target's name inside it) in: nobody can plant a link there or
// swap the file while it is written. Removed with what it holds when it goes.
class PrivateFolder {
 public:
  // Throws std::runtime_error with the system's reason when it cannot be made.
  PrivateFolder(const std::string& target, const std::string& kind);
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  const std::string& Path() const { return path_; }
  // The file the helper writes: the target's name inside the folder.
  const std::string& File() const { return file_; }

 private:
  std::string path_;
  std::string file_;
};

// Removes what a process that no longer runs left in `dir` under the hidden names above
// (".part-…" and ".velunary-probe-…"): this user's regular files, and private folders
// with the files in them. Any other name stays.
void RemoveStaleParts(const std::string& dir);

}  // namespace velunary::cli

#endif
