// The renderer as a user runs it: its files against the same session driven in this
// process through the reference host, and how it stops when a signal comes, a write fails
// or footage cannot be read.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <thread>
#include <tuple>
#include <utility>

#include "fit.h"
#include "refhost/host.h"
#include "refhost/plugin_library.h"
#include "refhost/session.h"
#include "scenes/demo_layer.h"
#include "scenes/spawn_shape.h"
#include "velunary_process.h"

namespace velunary::cli::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr int kClipFrames = 5;

// What the renderer is asked for, as the session an application would run.
struct Scene {
  bool feedback = false;  // each previous output on the layer instead of the demo layer
  std::vector<std::pair<std::string, double>> values = {};
  std::vector<std::tuple<std::string, int, double>> keys = {};  // name, frame, value
  // Footage by layer name ("" for the layer itself): frame k's image at frame k, the last
  // one holding after it.
  std::map<std::string, std::vector<refhost::Image>> layers = {};
  std::set<long> resetBefore = {};
  std::vector<long> frames = {};
};
// The outputs of `scene`'s session at kWidth x kHeight and 24 frames a second.
std::vector<refhost::Image> RenderInProcess(const Scene& scene) {
  refhost::PluginLibrary library(VELUNARY_PLUGIN);
  refhost::Host host;
  refhost::Session session(host, library.EffectMain(), kWidth, kHeight, refhost::FrameRate{1, 24});
  EXPECT_EQ(session.GlobalSetup(), PF_Err_NONE);
  EXPECT_EQ(session.ParamsSetup(), PF_Err_NONE);
  for (const auto& [name, value] : scene.values) host.SetValue(host.FindParam(name), value);
  for (const auto& [name, frame, value] : scene.keys) {
    host.SetKeyframe(host.FindParam(name), frame, value);
  }
  host.SetLayer(0, scene.feedback ? refhost::Image(kWidth, kHeight, PF_Pixel{255, 0, 0, 0})
                                  : scenes::DemoLayer(kWidth, kHeight));
  for (const auto& [name, images] : scene.layers) {
    const int index = name.empty() ? 0 : host.FindParam(name);
    for (int k = 0; k < std::ssize(images); ++k) host.SetLayerFrom(index, k, images[k]);
  }
  std::vector<refhost::Image> outputs;
  for (long frame : scene.frames) {
    if (scene.resetBefore.count(frame) != 0) {
      EXPECT_EQ(session.ChangeParam(host.FindParam("Button")), PF_Err_NONE);
    }
    EXPECT_EQ(session.RenderFrame(frame), PF_Err_NONE);
    outputs.push_back(session.Output());
    if (scene.feedback) host.SetLayer(0, outputs.back());
  }
  EXPECT_EQ(session.GlobalSetdown(), PF_Err_NONE);
  return outputs;
}

void Shell(const std::string& command) {
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// The footage as frames/f_001.png ... and as clip.mkv, encoded losslessly from them: a
// bright square that moves and grows every frame over a dim gradient, so each frame
// differs and the particles follow it.
std::vector<refhost::Image> MakeFootage(const ScratchDir& dir) {
  fs::create_directories(dir / "frames");
  std::vector<refhost::Image> footage(kClipFrames, refhost::Image(kWidth, kHeight));
  for (int frame = 0; frame < kClipFrames; ++frame) {
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const bool square = x >= 4 + 6 * frame && x < 14 + 7 * frame && y >= 8 && y < 20 + frame;
        const auto gray = static_cast<A_u_char>(square ? 250 : (x + 3 * y) % 60);
        footage[frame].At(x, y) = PF_Pixel{255, gray, static_cast<A_u_char>(gray / 2), 40};
      }
    }
    WritePng(dir / ("frames/f_00" + std::to_string(frame + 1) + ".png"), footage[frame]);
  }
  Shell("ffmpeg -nostdin -hide_banner -loglevel error -framerate 24 -i '" +
        dir / "frames/f_%03d.png" + "' -c:v ffv1 -pix_fmt bgr0 '" + dir / "clip.mkv" + "'");
  return footage;
}

TEST(RenderProcess, WritesTheFramesOfTheSameSessionDrivenInProcess) {
  const ScratchDir dir;
  const std::vector<refhost::Image> footage = MakeFootage(dir);
  const refhost::Image disc = scenes::SpawnDisc(kWidth, kHeight);
  WritePng(dir / "disc.png", disc);
  WritePng(dir / "frames/notes.png", disc);  // not numbered: no frame of the folder's sequence
  const refhost::Image tall = scenes::SpawnDisc(kWidth / 2, kHeight);
  WritePng(dir / "tall.png", tall);
  const std::string clip = dir / "clip.mkv";
  // The footage stored sideways (turned a quarter clockwise) with the rotation a player
  // undoes: a phone's clip.
  fs::create_directories(dir / "side");
  for (int frame = 0; frame < kClipFrames; ++frame) {
    refhost::Image turned(kHeight, kWidth);
    for (int y = 0; y < kWidth; ++y) {
      for (int x = 0; x < kHeight; ++x) turned.At(x, y) = footage[frame].At(y, kHeight - 1 - x);
    }
    WritePng(dir / ("side/s_00" + std::to_string(frame + 1) + ".png"), turned);
  }
  const std::string ffmpeg = "ffmpeg -nostdin -hide_banner -loglevel error ";
  Shell(ffmpeg + "-framerate 24 -i '" + dir / "side/s_%03d.png" + "' -c:v png '" +
        dir / "side.mov" + "' && " + ffmpeg + "-i '" + dir / "side.mov" +
        "' -c copy -metadata:s:v:0 rotate=90 '" + dir / "sideways.mov" + "'");
  // Trimmed by stream copy: the container keeps the packets the first picture needs, so it
  // holds more packets than it shows pictures.
  Shell(ffmpeg + "-framerate 24 -i '" + dir / "frames/f_%03d.png" +
        "' -c:v libx264 -pix_fmt yuv420p '" + dir / "h264.mp4" + "' && " + ffmpeg +
        "-ss 0.05 -i '" + dir / "h264.mp4" + "' -c copy -t 0.1 '" + dir / "trimmed.mp4" + "' && " +
        ffmpeg + "-i '" + dir / "trimmed.mp4" + "' -pix_fmt rgba '" + dir / "side/t_%03d.png" +
        "'");
  // OpenEXR frames (32-bit float), read as 8 bits.
  fs::create_directories(dir / "exr");
  Shell(ffmpeg + "-i '" + dir / "frames/f_%03d.png" + "' -pix_fmt gbrpf32le '" +
        dir / "exr/e_%03d.exr" + "'");
  std::vector<refhost::Image> trimmed;
  for (int k = 1; fs::exists(dir / ("side/t_00" + std::to_string(k) + ".png")); ++k) {
    trimmed.push_back(ReadPng(dir / ("side/t_00" + std::to_string(k) + ".png")));
  }
  ASSERT_EQ(trimmed.size(), 3u);
  struct Case {
    std::vector<std::string> args;
    Scene scene;
  };
  const std::vector<Case> cases = {
      {{"--frames", "6", "--spawn", dir / "disc.png", "--set", "sensor angle=30", "--set",
        "Random Seed=-7", "--key", "trail color@3=50", "--key", "Trail Color@4=200"},
       {.values = {{"Sensor Angle", 30}, {"Random Seed", -7}},
        .keys = {{"Trail Color", 3, 50}, {"Trail Color", 4, 200}},
        .layers = {{"Spawn Layer", {disc}}},
        .frames = {0, 1, 2, 3, 4, 5}}},
      // Replays are invisible with a fixed layer, so the reset is pressed in feedback.
      {{"--input", "feedback", "--frames", "5", "--spawn", dir / "disc.png", "--reset-before", "2"},
       {.feedback = true,
        .layers = {{"Spawn Layer", {disc}}},
        .resetBefore = {2},
        .frames = {0, 1, 2, 3, 4}}},
      // The footage as a clip, a numbered pattern and a folder, scrubbed: a replay (which
      // decodes the clip again from its start), and frames past the end.
      {{"--input", clip, "--spawn", dir / "frames/f_%03d.png", "--infected", dir / "frames",
        "--set", "Infection=on", "--frame-list", "0,1,2,4,1,7,6"},
       {.values = {{"Infection", 1}},
        .layers = {{"", footage}, {"Spawn Layer", footage}, {"Infected Layer", footage}},
        .frames = {0, 1, 2, 4, 1, 7, 6}}},
      // A layer of another shape, fitted with its aspect kept.
      {{"--spawn", dir / "tall.png", "--fit", "fit", "--frames", "2"},
       {.layers = {{"Spawn Layer", {Fitted(tall, kWidth, kHeight, Fit::kFit)}}}, .frames = {0, 1}}},
      // Frame k shows the picture at k / fps s: every other one at 12 fps from a 24 fps
      // clip, which then lasts three frames.
      {{"-i", clip, "-r", "12"},
       {.layers = {{"", {footage[0], footage[2], footage[4]}}}, .frames = {0, 1, 2}}},
      {{"-i", dir / "sideways.mov", "--frames", "5"},
       {.layers = {{"", footage}}, .frames = {0, 1, 2, 3, 4}}},
      {{"-i", dir / "exr/e_%03d.exr", "--spawn", dir / "exr", "--frames", "5"},
       {.layers = {{"", footage}, {"Spawn Layer", footage}}, .frames = {0, 1, 2, 3, 4}}},
      // Every picture shown, then the last one held.
      {{"-i", dir / "trimmed.mp4", "--frames", "5"},
       {.layers = {{"", trimmed}}, .frames = {0, 1, 2, 3, 4}}},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string out = dir / ("out" + std::to_string(i));
    SCOPED_TRACE(out);
    std::vector<std::string> args = {"render", "--size", "64x48", "--out", out, "--quiet"};
    args.insert(args.end(), cases[i].args.begin(), cases[i].args.end());
    ASSERT_THAT(RunVelunary(args), ExitsSaying(0, ""));
    const std::vector<long>& frames = cases[i].scene.frames;
    const std::vector<refhost::Image> expected = RenderInProcess(cases[i].scene);
    for (size_t k = 0; k < frames.size(); ++k) {
      EXPECT_TRUE(ReadPng(FramePath(out, frames[k])) == expected[k]) << "frame " << frames[k];
    }
    // Each frame read above exists, so as many files as frames are exactly those.
    EXPECT_EQ(ListFiles(out).size(), std::set<long>(frames.begin(), frames.end()).size());
  }
  // The footage alone on the layer sets the length and the size, also a clip of one frame.
  Shell("ffmpeg -nostdin -loglevel error -i '" + clip + "' -frames:v 1 '" + dir / "one.mkv" + "'");
  const Outcome defaults = RunVelunary({"render", "--input", dir / "one.mkv", "--out", dir / "d"});
  EXPECT_THAT(defaults, ExitsSaying(0, "rendered 1 frame of 64x48"));
  EXPECT_THAT(RunVelunary({"render", "-i", dir / "sideways.mov"}),
              ExitsSaying(0, "5 frames of 64x48"));
  EXPECT_THAT(RunVelunary({"render", "-i", dir / "trimmed.mp4"}), ExitsSaying(0, "3 frames of"));
  // A single image ffmpeg reads is a still, as a PNG is: the default length.
  EXPECT_THAT(RunVelunary({"render", "-i", dir / "exr/e_001.exr", "-s", "8x8"}),
              ExitsSaying(0, "120 frames of 8x8"));
}

TEST(RenderProcess, StopSignalsKeepOnlyCompleteFramesAndExit128PlusTheSignal) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    const ScratchDir dir;
    const std::string out = dir / "out";
    const auto velunary = StartVelunary(
        {"render", "--size", "256x192", "--frames", "100000", "--out", out, "--quiet"});
    for (int wait = 0; wait < 6000 && !(fs::exists(out) && ListFiles(out).size() >= 3); ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(kill(velunary->Pid(), signal), 0);
    EXPECT_THAT(WaitFor(*velunary), ExitsSaying(128 + signal, ""));
    const std::vector<std::string> files = ListFiles(out);
    ASSERT_GE(files.size(), 3u);
    for (size_t i = 0; i < files.size(); ++i) {
      ASSERT_EQ(files[i], FramePath("", static_cast<long>(i)).substr(1));
      EXPECT_EQ(ReadPng(FramePath(out, static_cast<long>(i))).width, 256);
    }
  }
}

// Interrupted while catching up to its first frame, a render claims nothing written and
// leaves an existing video as it was.
TEST(RenderProcess, AnInterruptBeforeTheFirstFrameKeepsAnExistingVideo) {
  const ScratchDir dir;
  std::ofstream(dir / "v.mp4") << "the user's";
  const auto velunary = StartVelunary(
      {"render", "--size", "256x192", "--frame-list", "9999999", "--video", dir / "v.mp4", "-y"});
  for (int wait = 0; wait < 6000 && velunary->Errors().find("catching up") == std::string::npos;
       ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(kill(velunary->Pid(), SIGINT), 0);
  const Outcome outcome = WaitFor(*velunary);
  EXPECT_THAT(outcome, ExitsSaying(130, "interrupted before the first frame; nothing written"));
  EXPECT_THAT(outcome, ExitsSaying(130, "v.mp4 left as it was"));
  EXPECT_EQ(ReadFileBytes(dir / "v.mp4"), "the user's");
}

// Every output fails in the system's words and harms nothing: on a full disk, a 16 KiB
// tmpfs mounted in a mount namespace of the child's own where the machine lets us make one
// (root, as in CI), and beyond a file size limit of 512 bytes, with SIGXFSZ ignored so
// writes fail (EFBIG).
TEST(RenderProcess, AWriteThatFailsStopsWithTheSystemsReasonAndCode1) {
  const ScratchDir probe;
  const bool tmpfs =
      std::system(("unshare -m mount -t tmpfs tmpfs " + probe / "" + " 2>/dev/null").c_str()) == 0;
  const struct {
    std::string reason;
    std::vector<std::string> wrapper;  // given the disk's folder as $0
  } limits[] = {
      {"File too large", {"sh", "-c", "ulimit -f 1; trap '' XFSZ; exec \"$@\""}},
      {"No space left on device",
       {"unshare", "-m", "sh", "-c", "mount -t tmpfs -o size=16k tmpfs \"$0\" && exec \"$@\""}},
  };
  for (const auto& limit : limits) {
    if (limit.wrapper[0] == "unshare" && !tmpfs) GTEST_SKIP() << "no tmpfs in a mount namespace";
    for (const auto& [option, target] : {std::pair{"--out", "frames"},
                                         {"--contact-sheet", "sheet.png"},
                                         {"--video", "render.mp4"}}) {
      SCOPED_TRACE(option + (": " + limit.reason));
      const ScratchDir dir;
      std::vector<std::string> wrapper = limit.wrapper;
      wrapper.push_back(dir / "");
      const bool file = std::string(option) != "--out";
      if (file) std::ofstream(dir / target) << "earlier";
      const Outcome outcome = RunVelunary(
          {"render", "--size", "192x128", "--frames", "12", "-y", "--quiet", option, dir / target},
          wrapper);
      EXPECT_THAT(outcome, ExitsSaying(1, limit.reason));
      EXPECT_THAT(outcome, ExitsSaying(1, target));
      // An earlier file of the name is kept, and no hidden temporary is left behind.
      if (file) {
        EXPECT_EQ(ReadFileBytes(dir / target), "earlier");
      }
      for (const auto& entry : fs::recursive_directory_iterator(dir / "")) {
        EXPECT_TRUE(entry.path().filename().string()[0] != '.' ||
                    entry.path().filename() == kManifestName)
            << entry.path();
      }
    }
  }
}

// Footage that fails half-way stops the render at the frame it could not read. In a clip
// the third picture is blanked out (from its JPEG start marker to the next): the container
// still counts five frames, the decoder finds no picture in the third. ffmpeg may still
// hold a frame or two before the damaged one when it stops, so the render can end early;
// the damaged picture's time shows the picture before it, as a player would, but the
// render must never go on with later pictures.
TEST(RenderProcess, FootageThatCannotBeReadStopsTheRenderAtThatFrame) {
  const ScratchDir dir;
  MakeFootage(dir);
  Shell("ffmpeg -nostdin -hide_banner -loglevel error -i '" + dir / "clip.mkv" +
        "' -c:v mjpeg -f avi '" + dir / "clip.avi" + "'");
  std::string bytes = ReadFileBytes(dir / "clip.avi");
  std::vector<size_t> starts;
  for (size_t at = bytes.find("\xFF\xD8"); at != std::string::npos;
       at = bytes.find("\xFF\xD8", at + 2)) {
    starts.push_back(at);
  }
  ASSERT_EQ(starts.size(), static_cast<size_t>(kClipFrames));
  bytes.replace(starts[2], starts[3] - starts[2], starts[3] - starts[2], '\0');
  std::ofstream(dir / "clip.avi", std::ios::binary) << bytes;
  std::ofstream(dir / "frames/f_003.png") << "not an image";
  const struct {
    std::string input;
    size_t written;  // at least
    std::string reason;
  } cases[] = {{dir / "clip.avi", 0, "No JPEG data"},
               {dir / "frames/f_%03d.png", 2, "f_003.png is not a PNG"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    const std::string out = dir / ("out" + std::to_string(c.written));
    const Outcome outcome = RunVelunary({"render", "--input", c.input, "--out", out, "--quiet"});
    EXPECT_THAT(outcome, ExitsSaying(1, c.reason));
    const size_t written = ListFiles(out).size();
    EXPECT_GE(written, c.written);
    EXPECT_LE(written, 3u);
    EXPECT_THAT(outcome, ExitsSaying(1, "frame " + std::to_string(written) + ":"));
  }
}

}  // namespace
}  // namespace velunary::cli::testing
