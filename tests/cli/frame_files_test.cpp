// The frames as compositing applications read image sequences: each format and depth, named
// with # padding, holds the rendered pixels (exactly, but for JPEG's rounding).
#include <gtest/gtest.h>

#include <cstdlib>

#include "velunary_process.h"

namespace velunary::cli::testing {
namespace {

TEST(FrameFiles, EachFormatAndDepthHoldsTheRenderedPixelsUnderItsPaddedName) {
  const ScratchDir dir;
  std::vector<std::string> args = {"render",  "--size", "24x16",           "--frames", "2",
                                   "--quiet", "--set",  "Trail Color=255", "-o",       dir / "png"};
  ASSERT_THAT(RunVelunary(args), ExitsSaying(0, ""));
  const struct {
    std::string name;
    std::string depth;
    std::string first;   // the name of frame 0
    std::string probed;  // codec_name,pix_fmt
    int tolerance;       // per 8-bit sample
  } cases[] = {
      {"f_###.png", "16", "f_000.png", "png,gray16be", 0},
      {"#.tif", "8", "0.tif", "tiff,rgba", 0},
      {"shot.####.tiff", "16", "shot.0000.tiff", "tiff,rgba64le", 0},
      {"####.jpg", "8", "0000.jpg", "mjpeg,yuvj444p", 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string out = dir / c.name.substr(c.name.find('.'));
    std::vector<std::string> format = args;
    format.back() = out;
    format.insert(format.end(), {"--frame-name", c.name, "--depth", c.depth});
    ASSERT_THAT(RunVelunary(format), ExitsSaying(0, ""));
    ASSERT_EQ(ListFiles(out).size(), 2u);
    const std::string first = out + "/" + c.first;
    EXPECT_EQ(RunProgram({FindProgram("ffprobe"), "-v", "error", "-show_entries",
                          "stream=codec_name,pix_fmt", "-of", "csv=p=0", first})
                  .output,
              c.probed + "\n");
    const bool sixteen = c.depth == "16";
    const std::string decoded =
        RunProgram({FindProgram("ffmpeg"), "-v", "error", "-i", first, "-f", "rawvideo", "-pix_fmt",
                    sixteen ? "rgba64le" : "rgba", "pipe:1"})
            .output;
    const std::string expected = RawFrames(dir / "png", {0}, sixteen);
    ASSERT_EQ(decoded.size(), expected.size());
    int worst = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
      worst = std::max(worst, std::abs(static_cast<unsigned char>(decoded[i]) -
                                       static_cast<unsigned char>(expected[i])));
    }
    EXPECT_LE(worst, c.tolerance);
  }
}

}  // namespace
}  // namespace velunary::cli::testing
