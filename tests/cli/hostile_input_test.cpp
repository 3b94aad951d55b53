// Hostile places and signals: a link planted after the checks is not followed, and a
// stuck helper neither hangs the renderer nor outlives it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "velunary_process.h"

namespace velunary::cli::testing {
namespace {

// A link planted in the frames folder after the checks (here by a stand-in encoder, which
// starts after them) is replaced by the frame, never written through; no file or folder
// the renderer holds open reaches a helper (each lists its descriptors beyond 2); and the
// video is written, proof and render, only in a folder nobody else may enter.
TEST(HostileInput, ALinkPlantedAfterTheChecksIsNotWrittenThroughAndNoFileLeaks) {
  for (const std::string extension : {"png", "jpg"}) {
    SCOPED_TRACE(extension);
    const ScratchDir dir;
    std::ofstream(dir / "victim") << "the user's";
    std::filesystem::create_directory(dir / "videos");
    StandIn(dir, "ffprobe", "echo 2\n");
    const auto path = StandIn(
        dir, "ffmpeg",
        "for a; do last=${a#file:}; done\n(cd /proc/$$/fd && for f in *; do [ $f -gt 2 ] && "
        "readlink $f; done) >> " +
            dir / "fds" + "\nln -s " + dir / "victim " + dir / "out/00001." + extension +
            " 2>/dev/null\n[ \"$last\" = pipe:1 ] && exec cat\nstat -c %a \"${last%/*}\" >> " +
            dir / "modes" + "\nexec cat > \"$last\"\n");
    EXPECT_THAT(
        RunVelunary({"render", "--size", "16x12", "--frames", "2", "--quiet", "-o", dir / "out",
                     "--frame-name", "#####." + extension, "--video", dir / "videos/v.mp4"},
                    path),
        ExitsSaying(0, ""));
    EXPECT_EQ(ReadFileBytes(dir / "victim"), "the user's");
    EXPECT_FALSE(std::filesystem::is_symlink(dir / ("out/00001." + extension)));
    EXPECT_EQ(ReadFileBytes(dir / "modes"), "700\n700\n");
    EXPECT_EQ(ListFiles(dir / "videos"), std::vector<std::string>{"v.mp4"});
    std::istringstream fds(ReadFileBytes(dir / "fds"));
    for (std::string file; std::getline(fds, file);) {
      EXPECT_TRUE(!file.starts_with(dir / "") || file == dir / "ffmpeg") << file;
    }
  }
}

// An ffmpeg that cannot start leaves nothing of the video's proof behind.
TEST(HostileInput, AVideoWhoseFfmpegCannotStartLeavesNothing) {
  const ScratchDir dir;
  StandIn(dir, "ffprobe", "");
  const auto path = StandIn(dir, "ffmpeg", "");
  std::ofstream(dir / "ffmpeg") << "#!/no/such/shell\n";  // still executable
  EXPECT_THAT(RunVelunary({"render", "--size", "16x12", "--video", dir / "videos/v.mp4"}, path),
              ExitsSaying(1, "cannot start"));
  EXPECT_EQ(ListFiles(dir / "videos"), std::vector<std::string>{});
}

// A stand-in decoder that hangs, at once or after one 16x12 picture, its process id in a
// file: a signal to the renderer stops it at once, while it opens the clip (no handler of
// the render's yet) or renders, and ends the decoder too; without a signal the silence
// limit (here a second) ends it, naming the clip.
TEST(HostileInput, SignalsOrTheSilenceLimitStopAStuckDecoderAndLeaveNoHelperRunning) {
  // Waits up to `seconds` for `done`.
  const auto within = [](int seconds, const auto& done) {
    for (int wait = 0; wait < seconds * 100 && !done(); ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  };
  const struct {
    int signal;           // 0: none, the silence limit of 1 s ends it
    const char* waitFor;  // on standard error before the signal; "": hang at once
    int exitCode;         // -1: ended by the signal
    const char* said;
  } cases[] = {{SIGTERM, "", -1, ""},
               {SIGINT, "catching up", 130, ""},
               {0, "", 2, "clip.mp4: stuck: no output for 1.0 s"},
               {0, "catching up", 1, "clip.mp4: frame 1: ffmpeg is stuck: no output for 1.0 s"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(strsignal(c.signal)) + " " + c.waitFor);
    const ScratchDir dir;
    std::ofstream(dir / "clip.mp4") << "a clip";
    StandIn(dir, "ffprobe",
            "echo time_base=1/24\necho r_frame_rate=24/1\n"
            "for i in 0 1 2; do echo best_effort_timestamp=$i; done\n");
    std::vector<std::string> path =
        StandIn(dir, "ffmpeg",
                "echo $$ > " + dir / "pid" + "\nfor i in " + (*c.waitFor ? "1" : "") +
                    "; do printf 'P7\\nWIDTH 16\\nHEIGHT 12\\nDEPTH 4\\nMAXVAL 255\\nTUPLTYPE "
                    "RGB_ALPHA\\nENDHDR\\n'; head -c 768 /dev/zero; done\nexec sleep 1000\n");
    path.push_back(std::string("VELUNARY_SILENCE_LIMIT=") + (c.signal ? "60" : "1"));
    const auto velunary =
        StartVelunary({"render", "--size", "16x12", "-i", dir / "clip.mp4", "--frames", "3"}, path);
    within(30, [&] {
      return std::filesystem::exists(dir / "pid") &&
             velunary->Errors().find(c.waitFor) != std::string::npos;
    });
    const pid_t decoder = std::stoi(ReadFileBytes(dir / "pid"));
    if (c.signal != 0) {
      ASSERT_EQ(kill(velunary->Pid(), c.signal), 0);
    }
    // A renderer deaf to the signal or past its limit is ended here, so the test fails
    // instead of hanging.
    siginfo_t ended{};
    within(c.signal ? 5 : 10, [&] {
      ::waitid(P_PID, static_cast<id_t>(velunary->Pid()), &ended, WEXITED | WNOHANG | WNOWAIT);
      return ended.si_pid != 0;
    });
    kill(velunary->Pid(), SIGKILL);
    EXPECT_THAT(WaitFor(*velunary), ExitsSaying(c.exitCode, c.said));
    const auto gone = [decoder] {
      return kill(decoder, 0) != 0 ||
             ReadFileBytes("/proc/" + std::to_string(decoder) + "/stat").find(") Z") !=
                 std::string::npos;
    };
    within(5, gone);
    EXPECT_TRUE(gone());
    kill(decoder, SIGKILL);
  }
}

}  // namespace
}  // namespace velunary::cli::testing
