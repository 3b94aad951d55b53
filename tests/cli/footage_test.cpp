// Footage as layers: a clip encoded by ffmpeg here and the image sequence it was made
// from, given to --input, --spawn and --infected, against the same images handed to the
// reference host frame by frame in this process. ffmpeg is part of the build's packages,
// so these tests run everywhere the suite does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "png_io.h"
#include "refhost/host.h"
#include "refhost/plugin_library.h"
#include "refhost/session.h"
#include "scenes/demo_layer.h"
#include "velunary_process.h"

namespace velunary::cli::testing {
namespace {

constexpr int kWidth = 48;
constexpr int kHeight = 36;
constexpr int kClipFrames = 5;

// A bright square that moves and grows every frame over a dim gradient, so each frame of
// the footage differs and the particles follow it.
refhost::Image FootageFrame(int frame) {
  refhost::Image image(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const bool square = x >= 4 + 6 * frame && x < 14 + 7 * frame && y >= 8 && y < 20 + frame;
      const auto gray = static_cast<A_u_char>(square ? 250 : (x + 3 * y) % 60);
      image.At(x, y) = PF_Pixel{255, gray, static_cast<A_u_char>(gray / 2), A_u_char{40}};
    }
  }
  return image;
}

void Shell(const std::string& command) {
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

struct Footage {
  std::string clip;     // lossless, so its frames are the sequence's pixels
  std::string pattern;  // frames/f_%03d.png
  std::string folder;   // frames/
};

Footage MakeFootage(const ScratchDir& dir) {
  std::filesystem::create_directories(dir / "frames");
  char name[32];
  for (int frame = 0; frame < kClipFrames; ++frame) {
    std::snprintf(name, sizeof name, "frames/f_%03d.png", frame + 1);
    WritePng(dir / name, FootageFrame(frame));
  }
  const Footage footage{dir / "clip.mkv", dir / "frames/f_%03d.png", dir / "frames"};
  Shell("ffmpeg -nostdin -hide_banner -loglevel error -framerate 25 -start_number 1 -i '" +
        footage.pattern + "' -c:v ffv1 -pix_fmt bgr0 '" + footage.clip + "'");
  return footage;
}

// The session an application runs with footage on the given layers, frame k's image at
// frame k and the last one holding after it.
std::vector<refhost::Image> RenderInProcess(const std::vector<std::string>& layers,
                                            const std::vector<long>& frames) {
  refhost::PluginLibrary library(VELUNARY_PLUGIN);
  refhost::Host host;
  refhost::Session session(host, library.EffectMain(), kWidth, kHeight, refhost::FrameRate{1, 25});
  EXPECT_EQ(session.GlobalSetup(), PF_Err_NONE);
  EXPECT_EQ(session.ParamsSetup(), PF_Err_NONE);
  host.SetValue(host.FindParam("Infection"), 1);
  host.SetLayer(0, scenes::DemoLayer(kWidth, kHeight));
  for (const std::string& layer : layers) {
    const int index = layer == "--input"
                          ? 0
                          : host.FindParam(layer == "--spawn" ? "Spawn Layer" : "Infected Layer");
    for (int frame = 0; frame < kClipFrames; ++frame)
      host.SetLayerFrom(index, frame, FootageFrame(frame));
  }
  std::vector<refhost::Image> outputs;
  for (long frame : frames) {
    EXPECT_EQ(session.RenderFrame(frame), PF_Err_NONE);
    outputs.push_back(session.Output());
  }
  EXPECT_EQ(session.GlobalSetdown(), PF_Err_NONE);
  return outputs;
}

TEST(Footage, ClipsAndSequencesOnEveryLayerMatchPerFrameImagesInTheHost) {
  const ScratchDir dir;
  const Footage footage = MakeFootage(dir);
  // Forward, a replay from an earlier frame and frames past the footage's end.
  const std::vector<long> frames = {0, 1, 2, 4, 1, 7, 6};
  struct Case {
    std::vector<std::string> layers;
    std::string source;
  };
  const std::vector<Case> cases = {
      {{"--input"}, footage.clip},
      {{"--input", "--spawn", "--infected"}, footage.clip},
      {{"--spawn", "--infected"}, footage.pattern},
      {{"--input", "--spawn"}, footage.folder},
  };
  int run = 0;
  for (const Case& c : cases) {
    const std::string out = dir / ("out" + std::to_string(run++));
    SCOPED_TRACE(out + " from " + c.source);
    std::vector<std::string> args = {
        "render",        "--size", "48x36",        "--fps", "25", "--frame-list",
        "0,1,2,4,1,7,6", "--set",  "Infection=on", "--out", out,  "--quiet"};
    for (const std::string& layer : c.layers) args.insert(args.end(), {layer, c.source});
    const Outcome outcome = RunVelunary(args);
    ASSERT_EQ(outcome.exitCode, 0) << outcome.errors;
    const std::vector<refhost::Image> expected = RenderInProcess(c.layers, frames);
    for (size_t i = 0; i < frames.size(); ++i) {
      EXPECT_TRUE(ReadFrame(out, frames[i]) == expected[i]) << "frame " << frames[i];
    }
  }
  // The footage alone on the layer sets the length (and the rate and the size).
  const Outcome defaults = RunVelunary({"render", "--input", footage.clip, "--out", dir / "d"});
  ASSERT_EQ(defaults.exitCode, 0) << defaults.errors;
  EXPECT_NE(defaults.errors.find("rendered 5 frames of 48x36"), std::string::npos)
      << defaults.errors;
}

TEST(Footage, AFrameThatCannotBeReadStopsTheRenderWithItsNumber) {
  const ScratchDir dir;
  const Footage footage = MakeFootage(dir);
  std::ofstream(dir / "frames/f_003.png") << "not an image";
  const Outcome outcome =
      RunVelunary({"render", "--input", footage.pattern, "--out", dir / "out", "--quiet"});
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_NE(outcome.errors.find("frame 2"), std::string::npos) << outcome.errors;
  EXPECT_NE(outcome.errors.find("f_003.png is not a PNG"), std::string::npos) << outcome.errors;
}

TEST(Footage, AClipDamagedHalfWayStopsThereWithFfmpegsReason) {
  const ScratchDir dir;
  const Footage footage = MakeFootage(dir);
  const std::string clip = dir / "clip.avi";
  Shell("ffmpeg -nostdin -hide_banner -loglevel error -i '" + footage.clip +
        "' -c:v mjpeg -f avi '" + clip + "'");
  // Blank out the third picture (from its JPEG start marker to the next): the container
  // still counts five frames, the decoder finds no picture in the third.
  std::string bytes = ReadFileBytes(clip);
  std::vector<size_t> starts;
  for (size_t at = bytes.find("\xFF\xD8"); at != std::string::npos;
       at = bytes.find("\xFF\xD8", at + 2)) {
    starts.push_back(at);
  }
  ASSERT_EQ(starts.size(), static_cast<size_t>(kClipFrames));
  std::fill(bytes.begin() + static_cast<long>(starts[2]),
            bytes.begin() + static_cast<long>(starts[3]), '\0');
  std::ofstream(clip, std::ios::binary) << bytes;
  const Outcome outcome = RunVelunary({"render", "--input", clip, "--out", dir / "out", "--quiet"});
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_NE(outcome.errors.find("No JPEG data"), std::string::npos) << outcome.errors;
  // ffmpeg may still hold a frame or two before the damaged one when it stops, so the
  // render can end early; it must never go on with later pictures in the damaged one's
  // place.
  const size_t written = ListFiles(dir / "out").size();
  EXPECT_LE(written, 2u);
  EXPECT_NE(outcome.errors.find("frame " + std::to_string(written) + ":"), std::string::npos)
      << outcome.errors;
}

}  // namespace
}  // namespace velunary::cli::testing
