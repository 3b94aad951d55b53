// What the renderer says and its exit code: bad input is refused with a message that
// names it and exit code 2 before anything renders or is written, a failed render gives 1
// in words, and the output of an earlier or concurrent render is not mixed with new frames.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>

#include "scenes/spawn_shape.h"
#include "velunary_process.h"

namespace velunary::cli::testing {
namespace {

TEST(Refusal, EveryOutcomeIsToldInWordsWithItsExitCode) {
  for (const char* command : {"help", "--version", "about", "params"}) {
    EXPECT_EQ(RunVelunary({command}).exitCode, 0) << command;
  }
  const ScratchDir dir;
  // The version is the one the library beside the renderer tells the host.
  std::filesystem::copy_file(VELUNARY_EXE, dir / "velunary");
  std::filesystem::copy_file(VELUNARY_FAILING_PLUGIN,
                             dir / std::filesystem::path(VELUNARY_PLUGIN).filename().string());
  const auto version = RunProgram({dir / "velunary", "--version"});
  EXPECT_NE(version.output.find("version 2.3.1"), std::string::npos) << version.output;
  const auto help = RunProgram({VELUNARY_EXE, "help", "render"});
  EXPECT_NE(help.output.find("-y,--overwrite"), std::string::npos) << help.output;
  const std::string good = dir / "good.png";
  WritePng(good, scenes::SpawnDisc(16, 12));
  // A PNG cut short after its header: libpng fails half-way through decoding.
  const std::string bytes = ReadFileBytes(good);
  std::ofstream(dir / "truncated.png", std::ios::binary) << bytes.substr(0, bytes.size() / 2);
  std::ofstream(dir / "text.png") << "not an image";
  std::ofstream(dir / "file") << "a file where a directory should be";
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
  std::filesystem::create_directories(dir / "folder");
  WritePng(dir / "wide.png", refhost::Image(kMaxImageSide + 1, 1));
  WritePng(dir / "widest.png", refhost::Image(kMaxImageSide, 1));
  WritePng(dir / "100%.png", refhost::Image(16, 12));
  ASSERT_TRUE(RunProgram({FindProgram("ffmpeg"), "-v", "error", "-f", "lavfi", "-i",
                          "testsrc=size=32x24:rate=10", "-frames:v", "3", dir / "c:d.mp4"})
                  .ok);
  std::ofstream(dir / "hls.mp4") << "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\n"
                                 << dir / "c:d.mp4"
                                 << "\n";
  std::ofstream(dir / "list.mov") << "ffconcat version 1.0\nfile '" << dir / "c:d.mp4"
                                  << "'\n";
  std::ofstream(dir / "sheet.png") << "old";
  std::filesystem::create_directories(dir / "logo");
  WritePng(dir / "logo/logo_v2.png", scenes::SpawnDisc(16, 12));
  std::filesystem::create_directories(dir / "two");
  for (const char* name : {"two/a_1.png", "two/a_2.png", "two/b_1.png"}) {
    WritePng(dir / name, scenes::SpawnDisc(16, 12));
  }
  std::filesystem::create_symlink(dir / "sheet.png", dir / "link.png");

  struct Case {
    std::vector<std::string> args;
    std::string said;  // on standard error
    int exitCode = 2;
    std::vector<std::string> wrapper = {};
  };
  const std::vector<Case> cases = {
      {{"--set", "Sensor Angel=10"}, "Sensor Angel"},
      {{"--set", "Decay=1.5"}, "0 to 1"},
      {{"--key", "Turn Angle@2=400"}, "Turn Angle"},
      {{"--set", "Decay=fast"}, "fast"},
      {{"--set", "Infection=maybe"}, "on, off, 1 or 0"},
      {{"--set", "Decay"}, "NAME=VALUE"},
      {{"--key", "Decay=0.5"}, "NAME@FRAME=VALUE"},
      {{"--set", "Decay=0.5", "--key", "Decay@3=0.2"}, "either --set or --key"},
      {{"--input", dir / "missing.png"}, "missing.png"},
      {{"--input", dir / "text.png"}, "text.png"},
      {{"--spawn", dir / "truncated.png"}, "truncated.png"},
      {{"--out", dir / "file/frames"}, "--out"},
      {{"--contact-sheet", dir / "file/sheet.png"}, "--contact-sheet"},
      {{"--input", "feedback", "--frame-list", "0,1"}, "--frame-list"},
      {{"--frames", "3", "--frame-list", "1"}, "--frame-list"},
      {{"--size", "64by48"}, "--size"},
      {{"--reset-before", "500"}, "--reset-before 500"},
      {{"--plugin", dir / "missing.so"}, "missing.so"},
      {{"--frame-list", ""}, "--frame-list"},
      {{"--set", "Decay=0.5", "--set", "decay=0.2"}, "second value"},
      {{"--key", "Decay@3=0.5", "--key", "Decay@3=0.2"}, "second value"},
      {{"--input", dir / "wide.png"}, "up to 16384 pixels a side"},
      {{"--input", dir / "shot_%04d.png"}, "no numbered images"},
      {{"--contact-sheet", dir / "fifo"}, "not a regular file"},
      {{"--video", dir / "folder"}, "not a regular file"},
      {{"--video", dir / "w3.xyz"}, "ffmpeg cannot write"},
      {{"--video", dir / "v.png"}, "ffmpeg cannot write"},
      {{"--video", dir / "v%03d.png"}, "a pattern of numbered images"},
      {{"--input", dir / "fifo"}, "not a regular file"},
      {{"--video", dir / "p.mp4", "--codec", "prores-hq"}, "ffmpeg cannot write"},
      {{"--codec", "ffv1"}, "give --video too"},
      {{"--fit", "crop"}, "expected stretch, fit or fill"},
      {{"--frame-name", "f.png"}, "one run of # for the frame number"},
      {{"--frame-name", "f#_#.png"}, "one run of # for the frame number"},
      {{"--frame-name", "f##.bmp"}, ".png, .jpg or .tif"},
      {{"--frame-name", "####.jpg", "--depth", "16"}, "16 as PNG or TIFF"},
      {{"--video", dir / "q.mp4", "--quality", "52"}, "--quality"},
      {{"--video", dir / "q.mov", "--codec", "png", "--quality", "5"}, "applies to --codec h264"},
      {{"--video", dir / "q.mov", "--codec", "vp9"}, "expected h264, prores-hq"},
      {{"--input", dir / "logo"}, "one numbered image, logo_v2.png, not a sequence"},
      {{"--spawn", dir / "two"}, "more than one name (a_1.png, b_1.png)"},
      {{"-o", "--quiet"}, "--out: the value is missing (--quiet is an option"},
      {{"-r", "24", "--fps", "25"}, "--fps: given more than once"},
      {{"--video", dir / "v.mp4"}, "apt-get install ffmpeg", 2, {"env", "PATH=" + dir / ""}},
      {{"--plugin", VELUNARY_FAILING_PLUGIN}, "frame 0: PF_Err_OUT_OF_MEMORY (4)", 1},
      {{"--size", "16384x16384", "--frames", "1"},
       "out of memory",
       1,
       {"sh", "-c", "ulimit -v 400000; exec \"$@\"", "sh"}},
      {{"--frames", "2", "--infected", good}, "warning: --infected has no effect", 0},
      {{"--frame-list", "60"}, "catching up", 0},
      {{"--frames", "1", "--set", "Decay=0", "--key", "Turn Angle@0=360"}, "rendered 1 frame", 0},
      {{"--frames", "1", "--input", dir / "widest.png"}, "rendered 1 frame", 0},
      {{"--frames", "2", "--contact-sheet", dir / "link.png", "-y"}, "contact sheet", 0},
      {{"--frames", "2", "--video", dir / "a:b.mkv"}, "video", 0},
      {{"--fps", "1000000000"}, "from 0.01 to 1000 frames a second"},
      {{"--fps", "1/1000000000"}, "from 0.01 to 1000 frames a second"},
      {{"--size", "16384x8", "--frames", "1", "--video", dir / "big.avi"},
       "cannot write a 16384x8 video"},
      {{"--frames", "1", "--input", dir / "100%.png"}, "rendered 1 frame", 0},
      // A manifest or playlist under a video's name would make the reader follow it.
      {{"--input", dir / "hls.mp4"}, "names other files, which velunary does not follow"},
      {{"--input", dir / "list.mov"}, "names other files"},
      {{"--frames", "1", "--input", dir / "c:d.mp4"}, "rendered 1 frame", 0},
      // ffprobe's count in these carries empty fields and lines after the number.
      {{"--size", "64x48", "--frames", "3", "--video", dir / "v.ts"}, "video", 0},
      {{"--size", "64x48", "--frames", "3", "--video", dir / "v.m2v"}, "video", 0},
  };
  int run = 0;
  for (const Case& c : cases) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    if (c.said == "out of memory") continue;  // sanitizers reserve more than the limit leaves
#endif
    const std::string out = dir / ("out" + std::to_string(run++));
    std::vector<std::string> args = {"render", "--out", out};
    if (c.args.front() != "--size") args.insert(args.end(), {"--size", "16x12"});
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome outcome = RunVelunary(args, c.wrapper);
    SCOPED_TRACE(c.args.front() + " " + c.args.back());
    EXPECT_THAT(outcome, ExitsSaying(c.exitCode, c.said));
    // ffmpeg's internals and our hidden names stay out of the message.
    EXPECT_EQ(outcome.errors.find(" @ 0x"), std::string::npos);
    EXPECT_EQ(outcome.errors.find(".velunary-probe"), std::string::npos);
    // Refused input leaves nothing behind, a failed render no frame.
    const bool left = std::filesystem::exists(out) && (c.exitCode == 2 || !ListFiles(out).empty());
    EXPECT_EQ(left, c.exitCode == 0);
  }
  EXPECT_TRUE(std::filesystem::exists(dir / "fifo"));
  // A refused video name leaves nothing of its proof.
  for (const std::string& name : ListFiles(dir / "")) EXPECT_FALSE(name.starts_with(".")) << name;
  // A contact sheet's symlink is written through, not replaced.
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.png"));
  EXPECT_GT(ReadPng(dir / "sheet.png").width, 16);
}

TEST(Refusal, OutputOfAnEarlierOrConcurrentRenderIsNotMixedWithNewFrames) {
  const ScratchDir dir;
  const std::string out = dir / "out";
  ASSERT_THAT(RunVelunary({"render", "--size", "24x16", "--frames", "10", "--out", out, "--quiet"}),
              ExitsSaying(0, ""));
  // A render in progress holds the folder; the second one is refused.
  const std::vector<std::string> again = {"render", "--size", "32x16", "--frames",
                                          "3",      "--out",  out,     "--overwrite"};
  const int held = ::open(out.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  const Outcome busy = RunVelunary(again);
  ::close(held);
  EXPECT_THAT(busy, ExitsSaying(2, "another render"));

  // --overwrite replaces the whole earlier render, and the hidden part of a dead one; the
  // part of a live one (this test's) stays, and its writer hears nothing; so do the user's
  // files named almost like a part, and a link under a part's name.
  const std::string random = "-0123456789abcdef-";
  std::ofstream(dir / ("out/.part-4194305" + random + "00004.png")) << "left by a killed render";
  const std::string live = ".part-" + std::to_string(::getpid()) + random + "00009.png";
  const std::vector<std::string> users = {".part-4194305-00004.png", ".part-4194305-0123-0.png",
                                          ".part-4194305" + random + "link.png"};
  std::ofstream(dir / ("out/" + live)) << "being written";
  std::ofstream(dir / ("out/" + users[0])) << "the user's";
  std::ofstream(dir / ("out/" + users[1])) << "the user's";
  std::filesystem::create_symlink(dir / ("out/" + users[0]), dir / ("out/" + users[2]));
  // A dead render's proof that the folder takes files, and its private video folder, go;
  // a folder others may enter is the user's.
  std::ofstream(dir / ("out/.velunary-probe-4194305" + random)) << "";
  const std::string video = dir / ("out/.part-4194305" + random);
  std::filesystem::create_directory(video);
  std::filesystem::permissions(video, std::filesystem::perms::owner_all);
  std::ofstream(video + "/v.mp4") << "left by a killed render";
  std::filesystem::create_directory(dir / ("out/.part-4194305" + random + "album"));
  ASSERT_THAT(RunVelunary(again), ExitsSaying(0, ""));
  std::vector<std::string> kept = {
      live,        users[0],    users[1],    users[2],
      "00000.png", "00001.png", "00002.png", ".part-4194305" + random + "album"};
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(ListFiles(out), kept);
  EXPECT_EQ(ReadPng(FramePath(out, 0)).width, 32);
}

}  // namespace
}  // namespace velunary::cli::testing
