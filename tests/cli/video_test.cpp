// The video path: the frames reach ffmpeg as raw RGBA in render order (a stand-in ffmpeg on
// PATH copies its input to the output file, so the bytes can be checked without depending
// on a real encoder), the real ffmpeg makes of them a fast-start BT.709 MP4, and each
// codec is what ffprobe reads back; a clip read as footage is held once.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "footage.h"
#include "option_parsing.h"
#include "velunary_process.h"

namespace velunary::cli::testing {
namespace {

TEST(Video, RenderedFramesReachFfmpegAsRawRgbaInOrderAndMakeAFastStartBt709Mp4) {
  const ScratchDir dir;
  const auto path =
      StandIn(dir, "ffmpeg", "for a; do last=${a#file:}; done\nexec cat > \"$last\"\n");
  // The stand-in reader finds as many frames as were sent (16 × 12 × 4 bytes each).
  StandIn(dir, "ffprobe",
          "for a; do last=${a#file:}; done\necho $(( $(wc -c < \"$last\") / 768 ))\n");
  const Outcome run = RunVelunary({"render", "--size", "16x12", "--frame-list", "0,1,3,1", "--out",
                                   dir / "out", "--video", dir / "v.mp4", "--quiet"},
                                  path);
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_TRUE(ReadFileBytes(dir / "v.mp4") == RawFrames(dir / "out", {0, 1, 3, 1}, false));

  // ffmpeg exits 0, but the file lacks frames (a trailer it could not write): failure.
  StandIn(dir, "ffprobe", "echo 3\n");
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

// A clip's picture is held once: handed out shared rather than copied, and never
// overwritten by the next one while still held.
TEST(Video, AClipsPictureIsOneSharedBufferNeverOverwrittenWhileHeld) {
  const ScratchDir dir;
  ASSERT_TRUE(RunProgram({FindProgram("ffmpeg"), "-v", "error", "-f", "lavfi", "-i",
                          "testsrc=size=32x24:rate=24", "-frames:v", "4", dir / "clip.mkv"})
                  .ok);
  const auto clip = Footage::Open("--input", dir / "clip.mkv");
  clip->SetRenderRate(ParseFrameRate("24"));
  const std::shared_ptr<const refhost::Image> held = clip->FrameAt(1);
  const refhost::Image kept = *held;
  EXPECT_EQ(clip->FrameAt(1), held);
  EXPECT_FALSE(*clip->FrameAt(2) == kept);
  EXPECT_TRUE(*held == kept);
}

// Each codec as editors receive it, read back by ffprobe at the footage's own rate (a
// 29.97 fps clip's 30000/1001 stays exact); the lossless ones decode to the PNG frames
// exactly.
TEST(Video, EachCodecIsReadBackByFfprobeAtTheClipsRateAndLosslessIsExact) {
  const ScratchDir dir;
  const std::string ffmpeg = FindProgram("ffmpeg");
  for (const char* rate : {"30000/1001", "25"}) {
    ASSERT_TRUE(RunProgram({ffmpeg, "-v", "error", "-f", "lavfi", "-i",
                            std::string("testsrc=size=32x24:rate=") + rate, "-frames:v", "4",
                            dir / (std::string(rate).substr(0, 2) + ".mkv")})
                    .ok);
  }
  const struct {
    std::string clip;
    std::string codec;
    std::string file;
    std::string probed;  // codec_name,profile,r_frame_rate,nb_read_frames
    bool lossless;
  } cases[] = {
      {"30", "h264", "h.mp4", "h264,High,30000/1001,4", false},
      {"25", "prores-hq", "p.mov", "prores,HQ,25/1,4", false},
      {"30", "prores-4444", "q.mov", "prores,4444,30000/1001,4", false},
      {"30", "ffv1", "f.mkv", "ffv1,unknown,30000/1001,4", true},
      {"25", "png", "g.mov", "png,unknown,25/1,4", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.codec);
    const std::string out = dir / c.file + ".frames";
    std::vector<std::string> args = {
        "render", "-i",      dir / c.clip + ".mkv", "-o", out, "--quiet", "--codec",
        c.codec,  "--video", dir / c.file};
    if (c.codec == "h264") args.insert(args.end(), {"--quality", "18"});
    ASSERT_THAT(RunVelunary(args), ExitsSaying(0, ""));
    EXPECT_EQ(RunProgram({FindProgram("ffprobe"), "-v", "error", "-count_frames", "-show_entries",
                          "stream=codec_name,profile,r_frame_rate,nb_read_frames", "-of", "csv=p=0",
                          dir / c.file})
                  .output,
              c.probed + "\n");
    if (!c.lossless) continue;
    std::string frames;
    for (long frame = 0; frame < 4; ++frame) {
      for (const PF_Pixel& p : ReadPng(FramePath(out, frame)).pixels) {
        frames += {static_cast<char>(p.red), static_cast<char>(p.green), static_cast<char>(p.blue),
                   static_cast<char>(p.alpha)};
      }
    }
    EXPECT_TRUE(RunProgram({ffmpeg, "-v", "error", "-i", dir / c.file, "-f", "rawvideo", "-pix_fmt",
                            "rgba", "pipe:1"})
                    .output == frames);
  }
}

}  // namespace
}  // namespace velunary::cli::testing
