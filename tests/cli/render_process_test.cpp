// The renderer as a user runs it: its files against the same session driven in this
// process through the reference host, and its behaviour on replays, keyframes and Ctrl-C.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "frame_writer.h"
#include "png_io.h"
#include "refhost/host.h"
#include "refhost/plugin_library.h"
#include "refhost/session.h"
#include "scenes/demo_layer.h"
#include "scenes/spawn_shape.h"
#include "velunary_process.h"

namespace velunary::cli::testing {
namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

struct Scene {
  bool feedback = false;
  refhost::Image spawn;
  std::vector<std::pair<std::string, double>> values;
  std::vector<long> frames;
};

// The session a host application would run for `scene`, with the layer the renderer uses
// by default (the demo layer) or, in feedback, each previous output.
std::vector<refhost::Image> RenderInProcess(const Scene& scene) {
  refhost::PluginLibrary library(VELUNARY_PLUGIN);
  refhost::Host host;
  refhost::Session session(host, library.EffectMain(), kWidth, kHeight, refhost::FrameRate{1, 24});
  EXPECT_EQ(session.GlobalSetup(), PF_Err_NONE);
  EXPECT_EQ(session.ParamsSetup(), PF_Err_NONE);
  for (const auto& [name, value] : scene.values) host.SetValue(host.FindParam(name), value);
  if (!scene.spawn.Empty()) host.SetLayer(host.FindParam("Spawn Layer"), scene.spawn);
  refhost::Image layer = scene.feedback ? refhost::Image(kWidth, kHeight, PF_Pixel{255, 0, 0, 0})
                                        : scenes::DemoLayer(kWidth, kHeight);
  std::vector<refhost::Image> outputs;
  for (long frame : scene.frames) {
    host.SetLayer(0, layer);
    EXPECT_EQ(session.RenderFrame(frame), PF_Err_NONE);
    outputs.push_back(session.Output());
    if (scene.feedback) layer = outputs.back();
  }
  EXPECT_EQ(session.GlobalSetdown(), PF_Err_NONE);
  return outputs;
}

std::vector<std::string> Render(const std::string& out, std::vector<std::string> extra) {
  std::vector<std::string> args = {"render", "--size", "64x48", "--out", out, "--quiet"};
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

// For each of frames 0 … count - 1, whether two renders wrote the identical image.
std::vector<bool> SameFrames(const std::string& a, const std::string& b, long count) {
  std::vector<bool> same;
  for (long frame = 0; frame < count; ++frame) {
    same.push_back(ReadFrame(a, frame) == ReadFrame(b, frame));
  }
  return same;
}

bool HasTrail(const refhost::Image& image) {
  for (const PF_Pixel& p : image.pixels) {
    if (p.red != 0) return true;
  }
  return false;
}

TEST(RenderProcess, WritesTheFramesOfTheSameSessionDrivenInProcess) {
  const ScratchDir dir;
  WritePng(dir / "spawn.png", scenes::SpawnDisc(kWidth, kHeight));
  for (const bool feedback : {false, true}) {
    SCOPED_TRACE(feedback ? "feedback" : "demo layer");
    const std::string out = dir / (feedback ? "feedback" : "layer");
    std::vector<std::string> extra = {
        "--frames",        "5",     "--spawn",       dir / "spawn.png", "--set",
        "sensor angle=30", "--set", "Random Seed=-7"};
    if (feedback) extra.insert(extra.end(), {"--input", "feedback"});
    const Outcome run = RunVelunary(Render(out, extra));
    ASSERT_EQ(run.exitCode, 0) << run.errors;

    Scene scene;
    scene.feedback = feedback;
    scene.spawn = scenes::SpawnDisc(kWidth, kHeight);
    scene.values = {{"Sensor Angle", 30}, {"Random Seed", -7}};
    scene.frames = {0, 1, 2, 3, 4};
    const std::vector<refhost::Image> expected = RenderInProcess(scene);
    ASSERT_TRUE(HasTrail(expected.back()));
    for (long frame = 0; frame < 5; ++frame) {
      EXPECT_TRUE(ReadFrame(out, frame) == expected[frame]) << "frame " << frame;
    }
  }
}

TEST(RenderProcess, FrameListWithRepeatAndJumpMatchesTheSequentialRender) {
  const ScratchDir dir;
  ASSERT_EQ(RunVelunary(Render(dir / "seq", {"--frames", "7"})).exitCode, 0);
  const Outcome listed = RunVelunary(Render(dir / "list", {"--frame-list", "0,1,2,2,6,3"}));
  ASSERT_EQ(listed.exitCode, 0) << listed.errors;
  EXPECT_EQ(
      ListFiles(dir / "list"),
      (std::vector<std::string>{"00000.png", "00001.png", "00002.png", "00003.png", "00006.png"}));
  for (long frame : {0, 1, 2, 3, 6}) {
    EXPECT_TRUE(ReadFrame(dir / "list", frame) == ReadFrame(dir / "seq", frame))
        << "frame " << frame;
  }
}

TEST(RenderProcess, KeyframesChangeTheImageFromTheirFrameOn) {
  const ScratchDir dir;
  ASSERT_EQ(RunVelunary(Render(dir / "plain", {"--frames", "6"})).exitCode, 0);
  // Trail Color holds its default up to the keyframe at 3 and jumps to 200 at frame 4.
  const Outcome keyed = RunVelunary(Render(
      dir / "keyed", {"--frames", "6", "--key", "trail color@3=50", "--key", "Trail Color@4=200"}));
  ASSERT_EQ(keyed.exitCode, 0) << keyed.errors;
  EXPECT_EQ(SameFrames(dir / "keyed", dir / "plain", 6),
            (std::vector<bool>{true, true, true, true, false, false}));
}

TEST(RenderProcess, ResetBeforeAFrameMakesTheEffectReplayFromFrameZero) {
  // Replays are invisible with a fixed layer (they reproduce the frame exactly), so the
  // press shows only in feedback: the replay of frames 0 to 2 senses frame 1's output
  // throughout instead of each frame's predecessor.
  const ScratchDir dir;
  const std::vector<std::string> feedback = {"--input", "feedback", "--frames", "4"};
  ASSERT_EQ(RunVelunary(Render(dir / "plain", feedback)).exitCode, 0);
  std::vector<std::string> pressed = feedback;
  pressed.insert(pressed.end(), {"--reset-before", "2"});
  const Outcome reset = RunVelunary(Render(dir / "reset", pressed));
  ASSERT_EQ(reset.exitCode, 0) << reset.errors;
  EXPECT_EQ(SameFrames(dir / "reset", dir / "plain", 3), (std::vector<bool>{true, true, false}));
}

TEST(RenderProcess, StopSignalsKeepOnlyCompleteFramesAndExit128PlusTheSignal) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    const ScratchDir dir;
    const std::string out = dir / "out";
    const pid_t pid = StartVelunary(
        {"render", "--size", "256x192", "--frames", "100000", "--out", out, "--quiet"},
        dir / "stderr.txt");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline &&
           !(std::filesystem::exists(out) && ListFiles(out).size() >= 3)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(kill(pid, signal), 0);
    const Outcome outcome = WaitFor(pid, dir / "stderr.txt");
    EXPECT_EQ(outcome.signal, 0);
    EXPECT_EQ(outcome.exitCode, 128 + signal) << outcome.errors;

    const std::vector<std::string> files = ListFiles(out);
    ASSERT_GE(files.size(), 3u);
    ASSERT_LT(files.size(), 100000u);
    for (size_t i = 0; i < files.size(); ++i) {
      ASSERT_EQ(files[i], FramePath("", static_cast<long>(i)).substr(1));
      const refhost::Image frame = ReadFrame(out, static_cast<long>(i));
      EXPECT_EQ(frame.width, 256);
      EXPECT_EQ(frame.height, 192);
    }
  }
}

// Runs velunary with its files limited to `maxBytes`: a disk that fills up, without
// mounting one. SIGXFSZ is ignored so the writes fail with EFBIG instead of ending it.
Outcome RunWithFileLimit(const std::vector<std::string>& args, rlim_t maxBytes) {
  rlimit previous{};
  getrlimit(RLIMIT_FSIZE, &previous);
  rlimit limited = previous;
  limited.rlim_cur = maxBytes;
  struct sigaction ignore {};
  struct sigaction before {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &before);
  setrlimit(RLIMIT_FSIZE, &limited);
  const ScratchDir scratch;
  const pid_t pid = StartVelunary(args, scratch / "stderr.txt");
  setrlimit(RLIMIT_FSIZE, &previous);
  sigaction(SIGXFSZ, &before, nullptr);
  return WaitFor(pid, scratch / "stderr.txt");
}

TEST(RenderProcess, AWriteThatFailsStopsWithTheSystemsReasonAndCode1) {
  const ScratchDir dir;
  const std::vector<std::vector<std::string>> outputs = {
      {"--out", dir / "frames"},
      {"--contact-sheet", dir / "sheet.png"},
      {"--video", dir / "render.mp4"},
  };
  for (const std::vector<std::string>& output : outputs) {
    SCOPED_TRACE(output.front());
    std::vector<std::string> args = {"render", "--size", "96x64", "--frames", "12", "--quiet"};
    args.insert(args.end(), output.begin(), output.end());
    const Outcome outcome = RunWithFileLimit(args, 400);
    EXPECT_EQ(outcome.exitCode, 1) << outcome.errors;
    EXPECT_NE(outcome.errors.find("File too large"), std::string::npos) << outcome.errors;
  }
}

TEST(RenderProcess, AFullDiskIsReportedInTheSystemsWords) {
  // A real full disk: a 16 KiB tmpfs mounted in a mount namespace of the child's own, so
  // it vanishes with the render. Only where the machine lets us make one (root, as in CI).
  const ScratchDir probe;
  if (std::system(("unshare -m mount -t tmpfs -o size=4k tmpfs " + probe / "" + " >/dev/null 2>&1")
                      .c_str()) != 0) {
    GTEST_SKIP() << "no mount namespace with tmpfs here";
  }
  for (const char* option : {"--out", "--contact-sheet", "--video"}) {
    SCOPED_TRACE(option);
    const ScratchDir scratch;
    std::filesystem::create_directory(scratch / "disk");
    const std::string target = std::string(option) == "--out"     ? scratch / "disk/frames"
                               : std::string(option) == "--video" ? scratch / "disk/render.mp4"
                                                                  : scratch / "disk/sheet.png";
    const std::vector<std::string> wrapper = {
        "unshare",       "-m", "sh", "-c", "mount -t tmpfs -o size=16k tmpfs \"$0\" && exec \"$@\"",
        scratch / "disk"};
    const pid_t pid = StartVelunaryUnder(
        wrapper, {"render", "--size", "192x128", "--frames", "12", "--quiet", option, target},
        scratch / "stderr.txt", "");
    const Outcome outcome = WaitFor(pid, scratch / "stderr.txt");
    EXPECT_EQ(outcome.exitCode, 1) << outcome.errors;
    EXPECT_NE(outcome.errors.find("No space left on device"), std::string::npos) << outcome.errors;
  }
}

TEST(RenderProcess, TellsWhatItDoesInWords) {
  const ScratchDir dir;
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string said;  // on standard error
  };
  const std::vector<Case> cases = {
      {{"help"}, 0, ""},
      {{"--version"}, 0, ""},
      {{"render", "--size", "16x12", "--frames", "2", "--infected", dir / "disc.png"},
       0,
       "warning: --infected has no effect"},
      {{"render", "--size", "16x12", "--frame-list", "60"}, 0, "catching up"},
  };
  WritePng(dir / "disc.png", scenes::SpawnDisc(16, 12));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    const Outcome outcome = RunVelunary(c.args);
    EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.errors;
    EXPECT_NE(outcome.errors.find(c.said), std::string::npos) << outcome.errors;
  }
}

TEST(RenderProcess, AContactSheetSymlinkIsWrittenThroughNotReplaced) {
  const ScratchDir dir;
  std::ofstream(dir / "target.png") << "old";
  std::filesystem::create_symlink(dir / "target.png", dir / "link.png");
  const Outcome outcome = RunVelunary({"render", "--size", "16x12", "--frames", "2",
                                       "--contact-sheet", dir / "link.png", "--quiet"});
  ASSERT_EQ(outcome.exitCode, 0) << outcome.errors;
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.png"));
  EXPECT_GT(ReadPng(dir / "target.png").width, 16);
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Sanitizers reserve more address space than the limit leaves, so this runs unsanitized.
TEST(RenderProcess, OutOfMemoryIsReportedInWords) {
  const ScratchDir dir;
  const std::string command = "ulimit -v 400000; exec '" + std::string(VELUNARY_EXE) +
                              "' render --size 16384x16384 --frames 1 --quiet 2>'" +
                              (dir / "stderr.txt") + "'";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const std::string errors = ReadFileBytes(dir / "stderr.txt");
  EXPECT_NE(errors.find("out of memory"), std::string::npos) << errors;
  EXPECT_EQ(errors.find("bad_alloc"), std::string::npos) << errors;
}
#endif

TEST(RenderProcess, EffectErrorIsReportedByNameAndNumber) {
  const ScratchDir dir;
  const Outcome run = RunVelunary(Render(dir / "out", {"--plugin", VELUNARY_FAILING_PLUGIN}));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.errors.find("frame 0"), std::string::npos) << run.errors;
  EXPECT_NE(run.errors.find("PF_Err_OUT_OF_MEMORY (4)"), std::string::npos) << run.errors;
  EXPECT_TRUE(ListFiles(dir / "out").empty());
}

}  // namespace
}  // namespace velunary::cli::testing
