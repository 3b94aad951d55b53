#include "child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace velunary::cli {

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return "";
  const std::string dirs = path;
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t colon = std::min(dirs.find(':', start), dirs.size());
    const std::string dir = dirs.substr(start, colon - start);
    const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0 && !std::filesystem::is_directory(candidate)) {
      return candidate;
    }
    start = colon + 1;
  }
  return "";
}

ChildProcess::ChildProcess(const std::vector<std::string>& args, Pipe pipe, int output) {
  std::vector<std::string> copies = args;
  std::vector<char*> argv;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);

  char errorsName[] = "/tmp/velunary-errors-XXXXXX";
  errors_ = ::mkostemp(errorsName, O_CLOEXEC);
  if (errors_ < 0) {
    throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(errno));
  }
  ::unlink(errorsName);
  int fds[2] = {-1, -1};
  if (pipe != Pipe::kNone && ::pipe2(fds, O_CLOEXEC) != 0) {
    throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(errno));
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (pipe == Pipe::kToChild) {
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  }
  if (pipe == Pipe::kFromChild) {
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  } else if (output >= 0) {
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_adddup2(&actions, errors_, STDERR_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, signal);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
  const int spawned =
      ::posix_spawn(&pid_, args[0].c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (pipe == Pipe::kToChild) {
    ::close(fds[0]);
    fd_ = fds[1];
  } else if (pipe == Pipe::kFromChild) {
    ::close(fds[1]);
    fd_ = fds[0];
  }
  if (spawned != 0) {
    if (fd_ >= 0) ::close(fd_);
    ::close(errors_);
    pid_ = -1;
    throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(spawned));
  }
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) ::kill(pid_, SIGTERM);
  Wait();
  if (errors_ >= 0) ::close(errors_);
}

bool ChildProcess::Wait() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (pid_ > 0) {
    pid_t waited;
    while ((waited = ::waitpid(pid_, &status_, 0)) < 0 && errno == EINTR) {
    }
    if (waited < 0) status_ = -1;
    pid_ = -1;
  }
  return status_ == 0;
}

std::string ChildProcess::Errors() const {
  std::string text;
  char buffer[4096];
  ssize_t n;
  off_t offset = 0;
  while ((n = ::pread(errors_, buffer, sizeof buffer, offset)) > 0) {
    text.append(buffer, static_cast<size_t>(n));
    offset += n;
  }
  return text;
}

namespace {

// `line` without what names ffmpeg's internals or our own hidden names: "[mp4 @ 0x55d0c8]"
// names an object at an address; "file:" is our prefix; ".part-PID-RANDOM-" and
// ".velunary-probe-PID-RANDOM-" are the names files are written under until they are whole.
std::string WithoutInternals(const std::string& line) {
  std::string out;
  for (size_t i = 0; i < line.size();) {
    const size_t close = line[i] == '[' ? line.find(']', i) : std::string::npos;
    if (close != std::string::npos && line.find(" @ 0x", i) < close) {
      i = close + 1;
      if (i < line.size() && line[i] == ' ') ++i;
      continue;
    }
    const bool wordStart =
        i == 0 || line[i - 1] == ' ' || line[i - 1] == '\'' || line[i - 1] == '"';
    if (wordStart && line.compare(i, 5, "file:") == 0) {
      i += 5;
      continue;
    }
    bool hidden = false;
    for (const std::string prefix : {".part-", ".velunary-probe-"}) {
      if (line.compare(i, prefix.size(), prefix) != 0) continue;
      size_t end = i + prefix.size();
      while (end < line.size() && line[end] >= '0' && line[end] <= '9') ++end;
      if (end == i + prefix.size() || end >= line.size() || line[end] != '-') continue;
      size_t random = end + 1;
      while (random < line.size() && std::isxdigit(static_cast<unsigned char>(line[random]))) {
        ++random;
      }
      if (random == end + 1 || random >= line.size() || line[random] != '-') continue;
      i = random + 1;
      hidden = true;
    }
    if (!hidden) out += line[i++];
  }
  return out;
}

}  // namespace

std::string CleanToolWords(const std::string& text) {
  std::string cleaned;
  std::vector<std::string> said;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find('\n', start), text.size());
    std::string line = WithoutInternals(text.substr(start, end - start));
    start = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    // Repeats tell nothing more.
    if (line.empty() || line.find("Last message repeated") != std::string::npos ||
        std::find(said.begin(), said.end(), line) != said.end()) {
      continue;
    }
    said.push_back(line);
    cleaned += (cleaned.empty() ? "" : "; ") + line;
  }
  return cleaned;
}

std::string ChildProcess::Reason() const {
  // Its lines in one, the first ones (the cause) kept when there are many.
  std::string text = CleanToolWords(Errors());
  if (text.size() > 400) text = text.substr(0, 400) + "...";
  if (!text.empty()) return text;
  if (status_ >= 0 && WIFEXITED(status_)) {
    return "exit code " + std::to_string(WEXITSTATUS(status_));
  }
  if (status_ >= 0 && WIFSIGNALED(status_)) {
    return std::string("ended by ") + ::strsignal(WTERMSIG(status_));
  }
  return "failed";
}

ProgramResult RunProgram(const std::vector<std::string>& args) {
  ProgramResult result;
  ChildProcess child(args, ChildProcess::Pipe::kFromChild);
  char buffer[4096];
  while (true) {
    const ssize_t n = ::read(child.Fd(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    result.output.append(buffer, static_cast<size_t>(n));
  }
  result.ok = child.Wait();
  result.reason = child.Reason();
  return result;
}

}  // namespace velunary::cli
