// Hostile footage and names: a file that names other files is refused, not followed; an
// honest name with a colon is read as the file it is.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

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

// A stand-in decoder that hangs, at once or after one 16x12 picture, its process id in a
// file: a signal to the renderer stops it at once, while it opens the clip (no handler of
// the render's yet) or renders, and ends the decoder too.
TEST(HostileInput, SignalsStopAStuckDecoderAndLeaveNoHelperRunning) {
  const struct {
    int signal;
    int pictures;         // before the decoder hangs
    const char* waitFor;  // on standard error before the signal
    int exitCode;         // -1: ended by the signal
  } cases[] = {{SIGTERM, 0, "", -1}, {SIGINT, 1, "catching up", 130}};
  for (const auto& c : cases) {
    SCOPED_TRACE(strsignal(c.signal));
    const ScratchDir dir;
    std::ofstream(dir / "clip.mp4") << "a clip";
    std::ofstream(dir / "ffprobe") << "#!/bin/sh\necho time_base=1/24\necho r_frame_rate=24/1\n"
                                      "for i in 0 1 2; do echo best_effort_timestamp=$i; done\n";
    std::ofstream(dir / "ffmpeg") << "#!/bin/sh\necho $$ > " << dir / "pid"
                                  << "\nfor i in " << (c.pictures ? "1" : "")
                                  << "; do printf 'P7\\nWIDTH 16\\nHEIGHT 12\\nDEPTH 4\\nMAXVAL "
                                     "255\\nTUPLTYPE RGB_ALPHA\\nENDHDR\\n'; head -c 768 "
                                     "/dev/zero; done\nexec sleep 1000\n";
    for (const char* name : {"ffprobe", "ffmpeg"}) ASSERT_EQ(chmod((dir / name).c_str(), 0755), 0);
    const auto velunary =
        StartVelunary({"render", "--size", "16x12", "-i", dir / "clip.mp4", "--frames", "3"},
                      {"env", "PATH=" + dir / "" + ":/usr/bin:/bin"});
    for (int wait = 0; wait < 3000 && (!std::filesystem::exists(dir / "pid") ||
                                       velunary->Errors().find(c.waitFor) == std::string::npos);
         ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const pid_t decoder = std::stoi(ReadFileBytes(dir / "pid"));
    ASSERT_EQ(kill(velunary->Pid(), c.signal), 0);
    // A renderer deaf to the signal is ended here, so the test fails instead of hanging.
    siginfo_t ended{};
    for (int wait = 0; wait < 500 && ended.si_pid == 0; ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      ::waitid(P_PID, static_cast<id_t>(velunary->Pid()), &ended, WEXITED | WNOHANG | WNOWAIT);
    }
    kill(velunary->Pid(), SIGKILL);
    const Outcome outcome = WaitFor(*velunary);
    EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.errors;
    bool gone = false;
    for (int wait = 0; wait < 500 && !gone; ++wait) {
      gone = kill(decoder, 0) != 0 ||
             ReadFileBytes("/proc/" + std::to_string(decoder) + "/stat").find(") Z") !=
                 std::string::npos;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(gone);
    kill(decoder, SIGKILL);
  }
}

}  // namespace
}  // namespace velunary::cli::testing
