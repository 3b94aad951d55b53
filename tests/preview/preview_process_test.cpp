// The preview as a user meets it: a scripted session on footage, saved as keys and
// rendered, gives the very frames the preview simulated; the window shows the panel and
// the frame with and without a display; what it cannot do is refused before it starts.
#include <gtest/gtest.h>

#include "cli/velunary_process.h"
#include "scenes/spawn_shape.h"

namespace velunary::cli::testing {
namespace {

// SDL loads its video drivers at run time and unloads them at exit, so the leak checker
// of a sanitizer build reports their allocations without a name to suppress them by: the
// window's process is checked for everything but leaks (the engine's own tests in this
// process check those). Mesa's software OpenGL, which both displays may use, is exempt
// from the thread checker (see mesa.tsan-supp).
const std::vector<std::string> kOffscreen = {
    "env", "SDL_VIDEODRIVER=offscreen", "ASAN_OPTIONS=detect_leaks=0",
    "TSAN_OPTIONS=halt_on_error=1:suppressions=" VELUNARY_MESA_TSAN_SUPPRESSIONS};
const std::vector<std::string> kXvfb = {
    "env",
    "ASAN_OPTIONS=detect_leaks=0",
    "TSAN_OPTIONS=halt_on_error=1:suppressions=" VELUNARY_MESA_TSAN_SUPPRESSIONS,
    "xvfb-run",
    "-a",
    "-s",
    "-screen 0 1920x1080x24"};

TEST(Preview, ScriptedChangesSavedAsKeysRenderTheFramesThePreviewSimulated) {
  const ScratchDir dir;
  // Footage as the layer: a short sequence whose picture moves, so frames differ.
  std::filesystem::create_directories(dir / "shots");
  for (int i = 0; i < 4; ++i) {
    WritePng(FramePath(dir / "shots", i), scenes::SpawnDisc(96 + 8 * i, 54));
  }
  std::ofstream(dir / "script.txt") << "# several controls, a reset between them\n"
                                       "0 Particle Count in %=6\n"
                                       "5 Decay=0.3\n"
                                       "9 Sensor Angle=22.5\n"
                                       "12 reset\n"
                                       "14 Infection=on\n"
                                       "17 Decay=0.05\n";
  ASSERT_THAT(RunVelunary({"preview", "--input", dir / "shots", "--size", "96x54", "--script",
                           dir / "script.txt", "--frames", "24", "--out", dir / "seen",
                           "--save-keys", dir / "keys.txt", "--quiet"},
                          kOffscreen),
              ExitsSaying(0, ""));
  const std::string keys = ReadFileBytes(dir / "keys.txt");
  EXPECT_THAT(keys, ::testing::HasSubstr("--reset-before 12\n"));
  EXPECT_THAT(keys, ::testing::HasSubstr("--key Decay@4=0.1\n--key Decay@5=0.3\n"));

  // From another folder, so nothing rests on the working directory.
  ASSERT_THAT(
      RunVelunary({"render", "--keys", dir / "keys.txt", "--out", dir / "rendered", "--quiet"}),
      ExitsSaying(0, ""));
  ASSERT_EQ(ListFiles(dir / "rendered").size(), 24u);
  ASSERT_EQ(ListFiles(dir / "seen"), ListFiles(dir / "rendered"));
  bool moved = false;
  for (int frame = 0; frame < 24; ++frame) {
    const refhost::Image seen = ReadPng(FramePath(dir / "seen", frame));
    EXPECT_TRUE(seen == ReadPng(FramePath(dir / "rendered", frame))) << "frame " << frame;
    moved |= frame > 0 && !(seen == ReadPng(FramePath(dir / "seen", frame - 1)));
  }
  EXPECT_TRUE(moved);
}

// The screenshot holds the panel (ImGui's blue controls, right) and the effect's gray,
// not black, frame (left).
void ExpectPanelAndFrame(const std::string& shot) {
  const refhost::Image image = ReadPng(shot);
  ASSERT_GT(image.width, 400);
  bool blueInPanel = false;
  bool grayInFrame = false;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const PF_Pixel p = image.At(x, y);
      if (x >= image.width - 300) blueInPanel |= p.blue > p.red + 40;
      if (x < image.width - 400) {
        grayInFrame |= p.red == p.green && p.green == p.blue && p.red > 40;
        EXPECT_FALSE(p.blue > p.red + 40) << "panel colours in the frame at " << x << "," << y;
        if (p.blue > p.red + 40) return;
      }
    }
  }
  EXPECT_TRUE(blueInPanel);
  EXPECT_TRUE(grayInFrame);
}

TEST(Preview, TheWindowShowsPanelAndFrameWithAndWithoutADisplay) {
  const ScratchDir dir;
  std::ofstream(dir / "script.txt") << "3 Trail Color=255\n";
  struct Display {
    std::string program;  // what it needs installed
    std::vector<std::string> wrapper;
  } displays[] = {{"env", kOffscreen}, {"xvfb-run", kXvfb}};
  for (const Display& display : displays) {
    SCOPED_TRACE(display.program);
    if (FindProgram(display.program).empty()) {
      ADD_FAILURE() << display.program << " is missing (scripts/install-deps installs it)";
      continue;
    }
    const std::string shot = dir / (display.program + ".png");
    ASSERT_THAT(RunVelunary({"preview", "--size", "320x180", "--script", dir / "script.txt",
                             "--frames", "40", "--screenshot", shot, "--quiet"},
                            display.wrapper),
                ExitsSaying(0, ""));
    ExpectPanelAndFrame(shot);
  }
}

TEST(Preview, WhatItCannotDoIsRefusedBeforeItStarts) {
  const ScratchDir dir;
  std::ofstream(dir / "script.txt") << "2 Decay=0.5\n";
  std::ofstream(dir / "bad-script.txt") << "2 Decay=0.5\nsoon Decay=0.2\n";
  std::ofstream(dir / "notes.txt") << "my notes\n";
  std::ofstream(dir / "bad-keys.txt") << "# velunary keys 1\n--size 64x36\n--video out.mp4\n";
  struct Case {
    std::vector<std::string> args;
    std::string said;
  } cases[] = {
      {{"preview", "--script", dir / "script.txt"}, "add --frames N"},
      {{"preview", "--video", dir / "v.mp4"}, "belong to render"},
      {{"preview", "--script", dir / "bad-script.txt", "--frames", "4"}, "line 2 frame"},
      {{"preview", "--script", dir / "script.txt", "--frames", "4", "--save-keys",
        dir / "notes.txt"},
       "is not a keys file"},
      {{"render", "--keys", dir / "bad-keys.txt"}, "line 3: \"--video\" is not an option"},
      {{"render", "--keys", dir / "missing.txt"}, "cannot read"},
  };
  for (const Case& c : cases) {
    EXPECT_THAT(RunVelunary(c.args, kOffscreen), ExitsSaying(2, c.said)) << c.args[1];
  }
  EXPECT_EQ(ReadFileBytes(dir / "notes.txt"), "my notes\n");
}

}  // namespace
}  // namespace velunary::cli::testing
