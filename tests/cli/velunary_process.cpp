#include "velunary_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "frame_writer.h"
#include "png_io.h"

extern char** environ;

namespace velunary::cli::testing {

pid_t StartVelunary(const std::vector<std::string>& args, const std::string& errorsFile,
                    const std::string& path) {
  return StartVelunaryUnder({}, args, errorsFile, path);
}

pid_t StartVelunaryUnder(const std::vector<std::string>& wrapper,
                         const std::vector<std::string>& args, const std::string& errorsFile,
                         const std::string& path) {
  std::vector<std::string> all = wrapper;
  all.push_back(VELUNARY_EXE);
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (path.empty() || std::string(*e).rfind("PATH=", 0) != 0) env.emplace_back(*e);
  }
  if (!path.empty()) env.push_back("PATH=" + path);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorsFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) throw std::runtime_error(std::string("cannot start ") + argv[0]);
  return pid;
}

Outcome WaitFor(pid_t pid, const std::string& errorsFile) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  Outcome outcome;
  if (WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  outcome.errors = ReadFileBytes(errorsFile);
  return outcome;
}

Outcome RunVelunary(const std::vector<std::string>& args, const std::string& path) {
  const ScratchDir scratch;
  const std::string errors = scratch / "stderr.txt";
  return WaitFor(StartVelunary(args, errors, path), errors);
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
