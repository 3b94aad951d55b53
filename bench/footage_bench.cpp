// The renderer with a 1080p clip as its layer against the same render from a still: 300
// frames through `velunary` as a child process, timed whole, with the child's peak
// resident memory (ru_maxrss) as a counter. Decoding streams, so the clip must cost about
// a few frames of memory over the still (a 1080p RGBA frame is 8 MiB), not 300 frames'.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#ifdef VELUNARY_EXE

extern char** environ;

namespace {

constexpr int kFrames = 300;

// The clip's folder, removed when the benchmarks end.
struct ScratchFolder {
  ScratchFolder()
      : path((std::filesystem::temp_directory_path() /
              ("velunary-footage-bench-" + std::to_string(::getpid())))
                 .string()) {
    std::filesystem::create_directories(path);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};

std::string Scratch() {
  static const ScratchFolder folder;
  return folder.path;
}

// A 1080p H.264 clip of 300 moving frames, and its first frame as a PNG, made once.
bool MakeFootage() {
  static const bool made = [] {
    const std::string command =
        "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "
        "testsrc2=size=1920x1080:rate=24 -frames:v " +
        std::to_string(kFrames) + " -c:v libx264 -preset veryfast -pix_fmt yuv420p '" + Scratch() +
        "/clip.mp4' && ffmpeg -nostdin -hide_banner -loglevel error -y -i '" + Scratch() +
        "/clip.mp4' -frames:v 1 '" + Scratch() + "/still.png'";
    return std::system(command.c_str()) == 0;
  }();
  return made;
}

// Runs one render; returns the child's peak resident set in bytes, or -1.
double RenderPeakBytes(const std::string& input) {
  std::vector<std::string> args = {
      VELUNARY_EXE, "render", "--input", input, "--frames", std::to_string(kFrames), "--quiet"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawn(&pid, VELUNARY_EXE, nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return -1;
  }
  return static_cast<double>(usage.ru_maxrss) * 1024.0;
}

void Render300(benchmark::State& state, const char* input) {
  if (!MakeFootage()) {
    state.SkipWithError("ffmpeg could not make the 1080p clip");
    return;
  }
  double peak = 0;
  for (auto _ : state) {
    peak = RenderPeakBytes(Scratch() + "/" + input);
    if (peak < 0) {
      state.SkipWithError("velunary failed");
      return;
    }
  }
  state.counters["peak_MiB"] = peak / (1024.0 * 1024.0);
  state.counters["fps"] = benchmark::Counter(static_cast<double>(kFrames),
                                             benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK_CAPTURE(Render300, Clip1080p, "clip.mp4")
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(Render300, Still1080p, "still.png")
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace

#endif
