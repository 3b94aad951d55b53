#include "video_encoder.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace velunary::cli {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace

std::string FindFfmpeg() {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return "";
  std::string dirs = path;
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t colon = std::min(dirs.find(':', start), dirs.size());
    const std::string dir = dirs.substr(start, colon - start);
    const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/ffmpeg";
    if (::access(candidate.c_str(), X_OK) == 0 && !std::filesystem::is_directory(candidate)) {
      return candidate;
    }
    start = colon + 1;
  }
  return "";
}

VideoEncoder::VideoEncoder(const std::string& ffmpeg, const std::string& path, int width,
                           int height, refhost::FrameRate rate)
    : path_(path) {
  std::vector<std::string> args = {
      ffmpeg,
      "-hide_banner",
      "-loglevel",
      "error",
      "-y",
      "-f",
      "rawvideo",
      "-pixel_format",
      "rgba",
      "-video_size",
      std::to_string(width) + "x" + std::to_string(height),
      "-framerate",
      std::to_string(rate.timeScale) + "/" + std::to_string(rate.timeStep),
      "-i",
      "pipe:0"};
  const std::string extension = Lower(std::filesystem::path(path).extension().string());
  if (extension != ".gif" && extension != ".apng" && extension != ".png") {
    // Players expect 4:2:0 video, which needs even sides: pad odd ones by a pixel.
    for (const char* a : {"-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2", "-pix_fmt", "yuv420p"}) {
      args.emplace_back(a);
    }
  }
  args.push_back(path);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    throw std::runtime_error(std::string("cannot start ffmpeg: ") + std::strerror(errno));
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGINT);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
  const int spawned =
      ::posix_spawn(&pid_, ffmpeg.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(fds[0]);
  if (spawned != 0) {
    ::close(fds[1]);
    pid_ = -1;
    throw std::runtime_error("cannot start " + ffmpeg + ": " + std::strerror(spawned));
  }
  fd_ = fds[1];
}

VideoEncoder::~VideoEncoder() {
  if (fd_ >= 0) ::close(fd_);
  if (pid_ > 0) {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
}

void VideoEncoder::Write(const refhost::Image& image) {
  std::vector<unsigned char> bytes;
  bytes.reserve(image.pixels.size() * 4);
  for (const PF_Pixel& p : image.pixels) {
    bytes.insert(bytes.end(), {p.red, p.green, p.blue, p.alpha});
  }
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      throw std::runtime_error("ffmpeg stopped reading frames for " + path_ + ": " +
                               std::strerror(errno));
    }
    done += static_cast<size_t>(n);
  }
}

void VideoEncoder::Finish() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (pid_ <= 0) return;
  int status = 0;
  pid_t waited;
  while ((waited = ::waitpid(pid_, &status, 0)) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  if (waited < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("ffmpeg could not encode " + path_ +
                             (waited >= 0 && WIFEXITED(status)
                                  ? " (exit code " + std::to_string(WEXITSTATUS(status)) + ")"
                                  : std::string()));
  }
}

}  // namespace velunary::cli
