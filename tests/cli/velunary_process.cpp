#include "velunary_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>

#include "frame_writer.h"
#include "png_io.h"

namespace velunary::cli::testing {

std::unique_ptr<ChildProcess> StartVelunary(const std::vector<std::string>& args,
                                            const std::vector<std::string>& wrapper) {
  std::vector<std::string> all = wrapper;
  all.push_back(VELUNARY_EXE);
  all.insert(all.end(), args.begin(), args.end());
  if (!wrapper.empty()) all[0] = FindProgram(all[0]);
  return std::make_unique<ChildProcess>(all, ChildProcess::Pipe::kNone);
}

Outcome WaitFor(ChildProcess& velunary) {
  velunary.Wait();
  const int status = velunary.Status();
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, WIFSIGNALED(status) ? WTERMSIG(status) : 0,
          velunary.Errors()};
}

Outcome RunVelunary(const std::vector<std::string>& args, const std::vector<std::string>& wrapper) {
  return WaitFor(*StartVelunary(args, wrapper));
}

ScratchDir::ScratchDir() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("velunary-cli-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

refhost::Image ReadFrame(const std::string& dir, long frame) {
  return ReadPng(FramePath(dir, frame));
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::vector<std::string> ListFiles(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace velunary::cli::testing
