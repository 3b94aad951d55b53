// Hostile footage and names: a file that names other files is refused, not followed; an
// honest name with a colon is read as the file it is.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "velunary_process.h"

namespace velunary::cli::testing {
namespace {

TEST(HostileInput, FootageThatNamesOtherFilesIsRefusedAndOddNamesAreTheFilesNamed) {
  const ScratchDir dir;
  ASSERT_TRUE(RunProgram({FindProgram("ffmpeg"), "-v", "error", "-f", "lavfi", "-i",
                          "testsrc=size=32x24:rate=10", "-frames:v", "3", dir / "a.mp4"})
                  .ok);
  std::filesystem::copy_file(dir / "a.mp4", dir / "c:d.mp4");
  // Each names a.mp4 from inside: a reader that follows it renders a file never named.
  std::ofstream(dir / "hls.mp4") << "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\n"
                                 << dir / "a.mp4"
                                 << "\n#EXT-X-ENDLIST\n";
  std::ofstream(dir / "list.mov") << "ffconcat version 1.0\nfile '" << dir / "a.mp4"
                                  << "'\n";
  const struct {
    std::string input;
    int exitCode;
    std::string said;
  } cases[] = {
      {dir / "hls.mp4", 2, "names other files, which velunary does not follow"},
      {dir / "list.mov", 2, "names other files"},
      {dir / "c:d.mp4", 0, ""},
  };
  for (const auto& c : cases) {
    EXPECT_THAT(RunVelunary({"render", "--size", "16x12", "--frames", "2", "--quiet", "-i", c.input,
                             "--contact-sheet", dir / "sheet.png", "-y"}),
                ExitsSaying(c.exitCode, c.said))
        << c.input;
  }
}

// ffprobe's count in these containers carries empty fields and lines after the number.
TEST(HostileInput, WholeVideosInEveryContainerAreKept) {
  const ScratchDir dir;
  for (const char* name : {"v.ts", "v.m2v", "v.mkv"}) {
    EXPECT_THAT(RunVelunary({"render", "--size", "64x48", "--frames", "3", "--quiet", "--video",
                             dir / name}),
                ExitsSaying(0, ""))
        << name;
    EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
  }
}

// A link planted in the frames folder after the checks (here by a stand-in encoder, which
// starts after them) is replaced by the frame, never written through.
TEST(HostileInput, ALinkPlantedAfterTheChecksIsNotWrittenThrough) {
  const ScratchDir dir;
  std::ofstream(dir / "victim") << "the user's";
  for (const std::string name : {"ffmpeg", "ffprobe"}) {
    std::ofstream(dir / name) << "#!/bin/sh\nfor a; do last=${a#file:}; done\n"
                              << (name == "ffprobe" ? "echo 2\n"
                                                    : "ln -s " + dir / "victim " + dir / "out/" +
                                                          "00001.png\nexec cat > \"$last\"\n");
    ASSERT_EQ(chmod((dir / name).c_str(), 0755), 0);
  }
  EXPECT_THAT(RunVelunary({"render", "--size", "16x12", "--frames", "2", "--quiet", "-o",
                           dir / "out", "--video", dir / "v.mp4"},
                          {"env", "PATH=" + dir / "" + ":/usr/bin:/bin"}),
              ExitsSaying(0, ""));
  EXPECT_EQ(ReadFileBytes(dir / "victim"), "the user's");
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "out/00001.png"));
}

}  // namespace
}  // namespace velunary::cli::testing
