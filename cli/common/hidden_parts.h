// The hidden names files are written under until they are whole, so that a render killed
// outright leaves at most a hidden part, never a truncated file under the output's name.
// Each holds the process id and a random part, so nobody can plant a file or a link under
// it beforehand, and only names of exactly that form, made by a process that has ended,
// are ever cleared.
#ifndef VELUNARY_CLI_HIDDEN_PARTS_H
#define VELUNARY_CLI_HIDDEN_PARTS_H

#include <string>

namespace velunary::cli {

// ".KIND-PID-RANDOM-NAME": a fresh hidden name for `name`, RANDOM 16 hex digits.
std::string HiddenName(const std::string& kind, const std::string& name);

// The hidden name beside `target` that this process writes it under (kind "part").
std::string PartPath(const std::string& target);

// Opens `dir` for the *at calls below (close-on-exec); -1 with errno on failure.
int OpenFolder(const std::string& dir);

// Creates `name` in the folder `dirFd` for writing: a new file only, never an existing
// file or the target of a symlink, and not inherited by child processes. -1 with errno.
int CreateNewFile(int dirFd, const std::string& name);

// Writes `text` as the file `name` in the folder `dirFd`: into a new hidden file, then
// renamed into place, so `name` is never half written and a link at it is replaced, not
// written through. Returns "" or the system's reason; a failure leaves no hidden file.
std::string WriteWholeFileAt(int dirFd, const std::string& name, const std::string& text);

// Removes the hidden parts ".part-PID-RANDOM-…" in `dir` that are this user's regular
// files and whose process no longer runs; any other name stays.
void RemoveStaleParts(const std::string& dir);

}  // namespace velunary::cli

#endif
