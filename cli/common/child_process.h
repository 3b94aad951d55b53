// The helper programs the renderer runs (ffmpeg, ffprobe): started in a process group of
// their own, so Ctrl-C reaches only the renderer, which then ends them in order; their
// standard error is kept so a failure can be reported in their words.
#ifndef VELUNARY_CLI_CHILD_PROCESS_H
#define VELUNARY_CLI_CHILD_PROCESS_H

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace velunary::cli {

// How long a helper may stay silent, its output awaited, before it counts as stuck: a
// minute, or the whole seconds (1 to 3600) that the environment variable
// VELUNARY_SILENCE_LIMIT gives, so a stuck helper can be shown to fail without a minute's
// wait.
inline constexpr int kSilenceLimitMs = 60000;
int SilenceLimitMs();

// Reads up to `size` bytes from a child's pipe `fd`, waiting at most `timeoutMs` for the
// first; 0 at the end of the stream. Throws std::runtime_error when the child stays silent
// that long ("stuck: no output for 60.0 s") or when a stop was requested (RequestStop).
size_t ReadFromChild(int fd, unsigned char* data, size_t size, int timeoutMs);

// Asks reads from children to give up (a signal handler may call it).
void RequestStop();
// Kills every child still running, with its process group: safe in a signal handler.
void EndAllChildren();

// The path of an executable `name` on PATH, or an empty string.
std::string FindProgram(const std::string& name);

class ChildProcess {
 public:
  enum class Pipe { kNone, kToChild, kFromChild };
  // Starts args[0] with `pipe` on its standard input or output (the other is /dev/null,
  // or the file `output` when given). Throws std::runtime_error when it cannot be started.
  ChildProcess(const std::vector<std::string>& args, Pipe pipe, int output = -1);
  // Ends a child still running (SIGKILL to its process group) and waits for it.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The renderer's end of the pipe, or -1.
  int Fd() const { return fd_; }
  // The child's process id until Wait returns, and then its wait status.
  pid_t Pid() const { return pid_; }
  int Status() const { return status_; }
  // Closes the pipe and waits; true when the child exited with code 0.
  bool Wait();
  // What the child wrote to standard error, cleaned and on one line (CleanToolWords), or
  // its exit status in words.
  std::string Reason() const;
  // What it wrote to standard error so far: all of it, or of much its first and last few
  // kilobytes, so a noisy helper costs neither memory nor disk.
  std::string Errors() const;

 private:
  class ErrorsReader;
  pid_t pid_ = -1;
  int fd_ = -1;
  std::unique_ptr<ErrorsReader> errors_;
  int status_ = 0;
};

// A helper program's standard error in the user's terms, its lines joined by "; ": without
// internal object addresses, the renderer's hidden file names, our "file:" prefix, and
// repeated lines.
std::string CleanToolWords(const std::string& text);

struct ProgramResult {
  bool ok = false;
  std::string output;  // standard output
  std::string reason;  // as ChildProcess::Reason
};

// Runs a program to its end, collecting its standard output; one silent for `timeoutMs`
// is ended and fails, with the reason "NAME stuck: no output for N s".
ProgramResult RunProgram(const std::vector<std::string>& args, int timeoutMs = SilenceLimitMs());

}  // namespace velunary::cli

#endif
