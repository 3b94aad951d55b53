// Bad input is refused with a message that names it and exit code 2, before any frame
// renders; a missing ffmpeg likewise.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "png_io.h"
#include "scenes/spawn_shape.h"
#include "velunary_process.h"

namespace velunary::cli::testing {
namespace {

struct Refusal {
  std::vector<std::string> args;
  std::string named;  // the message must contain this
};

TEST(Refusal, BadInputExitsWithCode2BeforeRendering) {
  const ScratchDir dir;
  const std::string good = dir / "good.png";
  WritePng(good, scenes::SpawnDisc(16, 12));
  // A PNG cut short after its header: libpng fails half-way through decoding.
  const std::string bytes = ReadFileBytes(good);
  std::ofstream(dir / "truncated.png", std::ios::binary) << bytes.substr(0, bytes.size() / 2);
  std::ofstream(dir / "text.png") << "not an image";
  std::ofstream(dir / "file") << "a file where a directory should be";

  const std::vector<Refusal> refusals = {
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
      {{"--frame-list", "0,x"}, "0,x"},
      {{"--fps", "0"}, "--fps"},
      {{"--size", "64by48"}, "--size"},
      {{"--reset-before", "500"}, "--reset-before 500"},
      {{"--plugin", dir / "missing.so"}, "missing.so"},
  };
  for (const Refusal& refusal : refusals) {
    std::vector<std::string> args = {"render", "--size", "16x12", "--out", dir / "out", "--quiet"};
    args.insert(args.end(), refusal.args.begin(), refusal.args.end());
    const Outcome outcome = RunVelunary(args);
    SCOPED_TRACE(refusal.args.front() + " " + refusal.args.back());
    EXPECT_EQ(outcome.signal, 0);
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_NE(outcome.errors.find(refusal.named), std::string::npos) << outcome.errors;
    EXPECT_FALSE(std::filesystem::exists(dir / "out"));
  }
}

TEST(Refusal, VideoWithoutFfmpegExitsWithCode2) {
  const ScratchDir dir;
  const Outcome outcome = RunVelunary({"render", "--size", "16x12", "--frames", "2", "--video",
                                       dir / "v.mp4", "--out", dir / "out", "--quiet"},
                                      dir.Path().string());
  EXPECT_EQ(outcome.exitCode, 2);
  EXPECT_NE(outcome.errors.find("ffmpeg"), std::string::npos) << outcome.errors;
  EXPECT_FALSE(std::filesystem::exists(dir / "v.mp4"));
}

}  // namespace
}  // namespace velunary::cli::testing
