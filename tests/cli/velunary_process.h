// Runs the built velunary as a child process, and scratch directories for its files.
#ifndef VELUNARY_TESTS_CLI_VELUNARY_PROCESS_H
#define VELUNARY_TESTS_CLI_VELUNARY_PROCESS_H

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "refhost/image.h"

namespace velunary::cli::testing {

struct Outcome {
  int exitCode = -1;  // -1 when a signal ended it
  int signal = 0;
  std::string errors;  // standard error
};

// Starts velunary with `args`, behind `wrapper` when given: a command on PATH that ends by
// running its remaining arguments (env PATH=..., unshare, sh -c '...; exec "$@"').
std::unique_ptr<ChildProcess> StartVelunary(const std::vector<std::string>& args,
                                            const std::vector<std::string>& wrapper = {});
Outcome WaitFor(ChildProcess& velunary);
Outcome RunVelunary(const std::vector<std::string>& args,
                    const std::vector<std::string>& wrapper = {});

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
std::string ReadFileBytes(const std::string& path);
// The names of the files in `dir`, sorted.
std::vector<std::string> ListFiles(const std::string& dir);

}  // namespace velunary::cli::testing

#endif
