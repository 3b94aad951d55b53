#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

extern char** environ;

namespace velunary::cli {
namespace {

// The children running now, for a signal handler that must end them: lock-free slots.
constexpr int kSlots = 64;
std::atomic<pid_t> g_children[kSlots];
std::atomic<bool> g_stop{false};
static_assert(std::atomic<pid_t>::is_always_lock_free);
constexpr int kEndingSignals[3] = {SIGINT, SIGTERM, SIGHUP};

void Track(pid_t pid) {
  for (std::atomic<pid_t>& slot : g_children) {
    pid_t empty = 0;
    if (slot.compare_exchange_strong(empty, pid)) return;
  }
}

void Untrack(pid_t pid) {
  for (std::atomic<pid_t>& slot : g_children) {
    pid_t mine = pid;
    if (slot.compare_exchange_strong(mine, 0)) return;
  }
}

// Where a signal would end the renderer outright, its children go with it: they run in
// process groups of their own, which the terminal's Ctrl-C does not reach.
extern "C" void EndWithChildren(int signal) {
  EndAllChildren();
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

void GuardDefaultSignals() {
  static std::atomic<bool> done{false};
  if (done.exchange(true)) return;
  for (const int signal : kEndingSignals) {
    struct sigaction current {};
    if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
    struct sigaction action {};
    action.sa_handler = EndWithChildren;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
  }
}

}  // namespace

int SilenceLimitMs() {
  static const int limit = [] {
    const char* given = std::getenv("VELUNARY_SILENCE_LIMIT");
    if (given == nullptr || *given == '\0') return kSilenceLimitMs;
    char* end = nullptr;
    errno = 0;
    const long seconds = std::strtol(given, &end, 10);
    const bool whole = *end == '\0' && errno == 0 && seconds >= 1 && seconds <= 3600;
    return whole ? static_cast<int>(seconds * 1000) : kSilenceLimitMs;
  }();
  return limit;
}

void RequestStop() {
  g_stop.store(true);
}

void EndAllChildren() {
  for (std::atomic<pid_t>& slot : g_children) {
    if (const pid_t pid = slot.load(); pid > 0) ::kill(-pid, SIGKILL);
  }
}

size_t ReadFromChild(int fd, unsigned char* data, size_t size, int timeoutMs) {
  // Waited for in slices, the stop request checked between them: a signal that comes just
  // before a wait begins is seen within a slice, not missed.
  constexpr int kSliceMs = 250;
  for (int waited = 0;;) {
    if (g_stop.load()) throw std::runtime_error("interrupted");
    if (waited >= timeoutMs) {
      char said[64];
      std::snprintf(said, sizeof said, "stuck: no output for %.1f s", timeoutMs / 1000.0);
      throw std::runtime_error(said);
    }
    pollfd ready{fd, POLLIN, 0};
    const int slice = std::min(kSliceMs, timeoutMs - waited);
    const int polled = ::poll(&ready, 1, slice);
    if (polled < 0 && errno == EINTR) continue;
    if (polled == 0) waited += slice;
    if (polled <= 0) continue;
    const ssize_t n = ::read(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw std::runtime_error(std::string("cannot read: ") + std::strerror(errno));
    return static_cast<size_t>(n);
  }
}

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

// A child's standard error, drained from its pipe by a thread of its own, so that a noisy
// child never blocks on a full pipe while the renderer waits on its other end, and what it
// says costs neither memory nor disk beyond its first and last kKept bytes.
class ChildProcess::ErrorsReader {
 public:
  explicit ErrorsReader(int fd) : fd_(fd) {
    // Signals are the main thread's to take, so that a read there is interrupted.
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &before);
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (...) {
      pthread_sigmask(SIG_SETMASK, &before, nullptr);
      throw;
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
  }
  ~ErrorsReader() {
    Finish();
    ::close(fd_);
  }
  ErrorsReader(const ErrorsReader&) = delete;
  ErrorsReader& operator=(const ErrorsReader&) = delete;

  // Once the child has ended: reads what the pipe still holds and stops, also when a
  // process the child left behind keeps the pipe open.
  void Finish() {
    ending_.store(true);
    if (thread_.joinable()) thread_.join();
  }

  std::string Text() const {
    std::lock_guard lock(mutex_);
    if (!cut_ && tail_.size() <= kKept) return head_ + tail_;
    return head_ + "\n...\n" + tail_.substr(tail_.size() - std::min(tail_.size(), kKept));
  }

 private:
  static constexpr size_t kKept = 4096;

  void Run() {
    char buffer[4096];
    while (true) {
      pollfd ready{fd_, POLLIN, 0};
      const bool ending = ending_.load();
      const int polled = ::poll(&ready, 1, ending ? 0 : 100);
      if (polled < 0 && errno == EINTR) continue;
      if (polled <= 0) {
        if (ending || polled < 0) return;
        continue;
      }
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      Keep(buffer, static_cast<size_t>(n));
    }
  }

  void Keep(const char* data, size_t size) {
    std::lock_guard lock(mutex_);
    const size_t toHead = std::min(size, kKept - head_.size());
    head_.append(data, toHead);
    tail_.append(data + toHead, size - toHead);
    if (tail_.size() > 2 * kKept) {
      tail_.erase(0, tail_.size() - kKept);
      cut_ = true;
    }
  }

  const int fd_;
  std::atomic<bool> ending_{false};
  mutable std::mutex mutex_;
  std::string head_;
  std::string tail_;
  bool cut_ = false;  // bytes between head_ and tail_ were dropped
  std::thread thread_;
};

ChildProcess::ChildProcess(const std::vector<std::string>& args, Pipe pipe, int output) {
  GuardDefaultSignals();
  std::vector<std::string> copies = args;
  std::vector<char*> argv;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);

  int errors[2] = {-1, -1};
  int fds[2] = {-1, -1};
  if (::pipe2(errors, O_CLOEXEC) != 0 || (pipe != Pipe::kNone && ::pipe2(fds, O_CLOEXEC) != 0)) {
    const int reason = errno;
    for (const int fd : {errors[0], errors[1]}) {
      if (fd >= 0) ::close(fd);
    }
    throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(reason));
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
  posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
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
  if (spawned == 0) Track(pid_);
  ::close(errors[1]);
  if (pipe == Pipe::kToChild) {
    ::close(fds[0]);
    fd_ = fds[1];
  } else if (pipe == Pipe::kFromChild) {
    ::close(fds[1]);
    fd_ = fds[0];
  }
  if (spawned != 0) {
    if (fd_ >= 0) ::close(fd_);
    ::close(errors[0]);
    pid_ = -1;
    throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(spawned));
  }
  try {
    errors_ = std::make_unique<ErrorsReader>(errors[0]);
  } catch (const std::exception& e) {
    // Nothing would drain its standard error: the child is not left to block on it.
    ::close(errors[0]);
    ::kill(-pid_, SIGKILL);
    Wait();
    throw std::runtime_error("cannot start " + args[0] + ": " + e.what());
  }
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) ::kill(-pid_, SIGKILL);
  Wait();
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
    Untrack(pid_);
    pid_ = -1;
    if (errors_ != nullptr) errors_->Finish();
  }
  return status_ == 0;
}

std::string ChildProcess::Errors() const {
  return errors_ != nullptr ? errors_->Text() : std::string();
}

namespace {

// `line` without what names ffmpeg's internals or our own hidden names: "[mp4 @ 0x55d0c8]"
// names an object at an address; "file:" is our prefix; ".part-PID-RANDOM-" and
// ".velunary-probe-PID-RANDOM-" are the names files (and the private folders of videos)
// are written under until they are whole.
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
      // A private folder's "…-/NAME" stands for the file NAME.
      if (i < line.size() && line[i] == '/') ++i;
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

ProgramResult RunProgram(const std::vector<std::string>& args, int timeoutMs) {
  ProgramResult result;
  ChildProcess child(args, ChildProcess::Pipe::kFromChild);
  unsigned char buffer[4096];
  try {
    while (const size_t n = ReadFromChild(child.Fd(), buffer, sizeof buffer, timeoutMs)) {
      result.output.append(reinterpret_cast<const char*>(buffer), n);
    }
  } catch (const std::runtime_error& e) {
    result.reason = std::filesystem::path(args[0]).filename().string() + " " + e.what();
    return result;  // the child is ended as it goes
  }
  result.ok = child.Wait();
  result.reason = child.Reason();
  return result;
}

}  // namespace velunary::cli
