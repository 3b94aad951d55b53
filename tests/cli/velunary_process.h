// Runs the built velunary as a child process, scratch directories for its files and the
// readers of what it wrote; the renderer's tests take the standard and PNG headers from here.
#ifndef VELUNARY_TESTS_CLI_VELUNARY_PROCESS_H
#define VELUNARY_TESTS_CLI_VELUNARY_PROCESS_H

#include <gmock/gmock.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "child_process.h"
#include "frame_writer.h"
#include "output_places.h"
#include "png_io.h"
#include "refhost/image.h"

namespace velunary::cli::testing {

struct Outcome {
  int exitCode = -1;   // -1 when a signal ended it
  std::string errors;  // standard error
};

// An Outcome with exit code `code` whose standard error holds `text`.
MATCHER_P2(ExitsSaying, code, text, "") {
  *result_listener << "exit code " << arg.exitCode << ", standard error: " << arg.errors;
  return arg.exitCode == code && arg.errors.find(text) != std::string::npos;
}

// Starts velunary with `args`, behind `wrapper` when given: a command on PATH that ends by
// running its remaining arguments (env PATH=..., unshare, sh -c '...; exec "$@"').
inline std::unique_ptr<ChildProcess> StartVelunary(const std::vector<std::string>& args,
                                                   const std::vector<std::string>& wrapper = {}) {
  std::vector<std::string> all = wrapper;
  all.push_back(VELUNARY_EXE);
  all.insert(all.end(), args.begin(), args.end());
  if (!wrapper.empty()) all[0] = FindProgram(all[0]);
  return std::make_unique<ChildProcess>(all, ChildProcess::Pipe::kNone);
}

inline Outcome WaitFor(ChildProcess& velunary) {
  velunary.Wait();
  return {WIFEXITED(velunary.Status()) ? WEXITSTATUS(velunary.Status()) : -1, velunary.Errors()};
}

inline Outcome RunVelunary(const std::vector<std::string>& args,
                           const std::vector<std::string>& wrapper = {}) {
  return WaitFor(*StartVelunary(args, wrapper));
}

// A fresh directory under the system's temporary directory, removed with its contents.
class ScratchDir {
 public:
  ScratchDir() : path_(std::filesystem::temp_directory_path() / "velunary-cli-test-XXXXXX") {
    if (::mkdtemp(path_.data()) == nullptr) throw std::runtime_error("mkdtemp: " + path_);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  // A path inside; dir / "" is the directory itself.
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Writes the shell script `body` as the program `name` in `dir` and returns the wrapper
// that puts `dir` first on PATH, so that the renderer runs this stand-in for the real one.
inline std::vector<std::string> StandIn(const ScratchDir& dir, const std::string& name,
                                        const std::string& body) {
  std::ofstream(dir / name) << "#!/bin/sh\n" << body;
  if (::chmod((dir / name).c_str(), 0755) != 0) throw std::runtime_error("chmod " + dir / name);
  return {"env", "PATH=" + dir / "" + ":/usr/bin:/bin"};
}

inline std::string ReadFileBytes(const std::string& path) {
  std::ostringstream bytes;
  bytes << std::ifstream(path, std::ios::binary).rdbuf();
  return bytes.str();
}

// The frames `frames` of the render in `dir` as raw RGBA, or at 16 bits as RGBA64
// little-endian (each v as v × 257), as ffmpeg's rawvideo gives them.
inline std::string RawFrames(const std::string& dir, const std::vector<long>& frames,
                             bool sixteen) {
  std::string bytes;
  for (long frame : frames) {
    for (const PF_Pixel& p : ReadPng(FramePath(dir, frame)).pixels) {
      for (const A_u_char v : {p.red, p.green, p.blue, p.alpha}) {
        bytes.append(sixteen ? 2 : 1, static_cast<char>(v));
      }
    }
  }
  return bytes;
}

// The names of the files in `dir` but a render's manifest, sorted.
inline std::vector<std::string> ListFiles(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().filename() != kManifestName) names.push_back(entry.path().filename());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace velunary::cli::testing

#endif
