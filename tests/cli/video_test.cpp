// The video path: the frames reach ffmpeg as raw RGBA in render order (a stand-in ffmpeg on
// PATH copies its input to the output file, so the bytes can be checked without depending
// on a real encoder), and the real ffmpeg makes of them a fast-start BT.709 MP4.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "velunary_process.h"

namespace velunary::cli::testing {
namespace {

TEST(Video, RenderedFramesReachFfmpegAsRawRgbaInOrderAndMakeAFastStartBt709Mp4) {
  const ScratchDir dir;
  const std::vector<std::string> path = {"env", "PATH=" + dir / "" + ":/usr/bin:/bin"};
  const auto script = [&](const std::string& name, const std::string& body) {
    std::ofstream(dir / name) << "#!/bin/sh\nfor a; do last=${a#file:}; done\n" << body;
    ASSERT_EQ(chmod((dir / name).c_str(), 0755), 0);
  };
  script("ffmpeg", "exec cat > \"$last\"\n");
  // The stand-in reader finds as many frames as were sent (16 × 12 × 4 bytes each).
  script("ffprobe", "echo $(( $(wc -c < \"$last\") / 768 ))\n");
  const Outcome run = RunVelunary({"render", "--size", "16x12", "--frame-list", "0,1,3,1", "--out",
                                   dir / "out", "--video", dir / "v.mp4", "--quiet"},
                                  path);
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  std::string expected;
  for (long frame : {0, 1, 3, 1}) {
    for (const PF_Pixel& p : ReadPng(FramePath(dir / "out", frame)).pixels) {
      expected += {static_cast<char>(p.red), static_cast<char>(p.green), static_cast<char>(p.blue),
                   static_cast<char>(p.alpha)};
    }
  }
  EXPECT_TRUE(ReadFileBytes(dir / "v.mp4") == expected);

  // ffmpeg exits 0, but the file lacks frames (a trailer it could not write): failure.
  script("ffprobe", "echo 3\n");
  const Outcome incomplete = RunVelunary(
      {"render", "--size", "16x12", "--frames", "4", "--video", dir / "w.mp4", "--quiet"}, path);
  EXPECT_THAT(incomplete, ExitsSaying(1, "holds 3 of the 4 frames"));

  // The real ffmpeg, at an odd width.
  const Outcome real = RunVelunary(
      {"render", "--size", "17x12", "--frames", "5", "--video", dir / "r.mp4", "--quiet"});
  ASSERT_EQ(real.exitCode, 0) << real.errors;
  const std::string bytes = ReadFileBytes(dir / "r.mp4");
  // +faststart: the index (moov) comes before the frames (mdat).
  ASSERT_NE(bytes.find("moov"), std::string::npos);
  EXPECT_LT(bytes.find("moov"), bytes.find("mdat"));
  EXPECT_EQ(RunProgram({FindProgram("ffprobe"), "-v", "error", "-show_entries",
                        "stream=color_primaries,nb_frames", "-of", "csv=p=0", dir / "r.mp4"})
                .output,
            "bt709,5\n");
}

}  // namespace
}  // namespace velunary::cli::testing
