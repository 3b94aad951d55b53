// The video path: the frames reach ffmpeg as raw RGBA in render order. A stand-in ffmpeg
// on PATH copies its input to the output file, so the bytes can be checked without
// depending on a real encoder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "velunary_process.h"

namespace velunary::cli::testing {
namespace {

TEST(Video, RenderedFramesReachFfmpegAsRawRgbaInOrder) {
  const ScratchDir dir;
  const std::string fake = dir / "ffmpeg";
  std::ofstream(fake) << "#!/bin/sh\nfor a; do last=$a; done\nexec cat > \"$last\"\n";
  ASSERT_EQ(chmod(fake.c_str(), 0755), 0);

  const Outcome run = RunVelunary({"render", "--size", "16x12", "--frame-list", "0,1,3,1", "--out",
                                   dir / "out", "--video", dir / "v.mp4", "--quiet"},
                                  dir.Path().string() + ":/usr/bin:/bin");
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  const std::string video = ReadFileBytes(dir / "v.mp4");
  std::string expected;
  for (long frame : {0, 1, 3, 1}) {
    for (const PF_Pixel& p : ReadFrame(dir / "out", frame).pixels) {
      expected += {static_cast<char>(p.red), static_cast<char>(p.green), static_cast<char>(p.blue),
                   static_cast<char>(p.alpha)};
    }
  }
  EXPECT_EQ(video.size(), 4u * 16 * 12 * 4);
  EXPECT_TRUE(video == expected);
}

}  // namespace
}  // namespace velunary::cli::testing
