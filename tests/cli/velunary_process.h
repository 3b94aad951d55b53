// Runs the built velunary as a child process, and scratch directories for its files.
#ifndef VELUNARY_TESTS_CLI_VELUNARY_PROCESS_H
#define VELUNARY_TESTS_CLI_VELUNARY_PROCESS_H

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "refhost/image.h"

namespace velunary::cli::testing {

struct Outcome {
  int exitCode = -1;  // -1 when a signal ended it
  int signal = 0;
  std::string errors;  // standard error
};

// Starts velunary with `args`; `path` replaces PATH when not empty. Standard error goes to
// `errorsFile`.
pid_t StartVelunary(const std::vector<std::string>& args, const std::string& errorsFile,
                    const std::string& path = "");
// The same, run through `wrapper` (a command that ends by running its remaining arguments).
pid_t StartVelunaryUnder(const std::vector<std::string>& wrapper,
                         const std::vector<std::string>& args, const std::string& errorsFile,
                         const std::string& path);
Outcome WaitFor(pid_t pid, const std::string& errorsFile);
Outcome RunVelunary(const std::vector<std::string>& args, const std::string& path = "");

// A fresh directory under the system's temporary directory, removed with its contents.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The NNNNN.png frame of a render's output directory.
refhost::Image ReadFrame(const std::string& dir, long frame);
// The whole content of a file.
std::string ReadFileBytes(const std::string& path);
// The names of the files in `dir`, sorted.
std::vector<std::string> ListFiles(const std::string& dir);

}  // namespace velunary::cli::testing

#endif
