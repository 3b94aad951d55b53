#include "child_process.h"

#include <gtest/gtest.h>

namespace velunary::cli {
namespace {

TEST(ChildProcess, FfmpegsWordsLoseAddressesHiddenNamesOurPrefixAndRepeats) {
  const struct {
    const char* said;
    const char* cleaned;
  } cases[] = {
      {"[mp4 @ 0x55d0c8a5e140] Could not find tag\n", "Could not find tag"},
      {"[swscaler @ 0x55b2] [swscaler @ 0x55c3] deprecated\r\n", "deprecated"},
      {"a\n    Last message repeated 3 times\na\n\nb\n", "a; b"},
      {"no format for 'file:/x/.velunary-probe-1203-0a9f-v.mp4'", "no format for '/x/v.mp4'"},
      {"cannot write file:/x/.part-402-1b-00001.png", "cannot write /x/00001.png"},
      {"file:/x/.part-40-1b-/v.mp4: Broken pipe", "/x/v.mp4: Broken pipe"},
      {"cannot write /x/.part-402-00001.png", "cannot write /x/.part-402-00001.png"},
      {"[in] profile:file:x .part-y", "[in] profile:file:x .part-y"},
  };
  for (const auto& c : cases) EXPECT_EQ(CleanToolWords(c.said), c.cleaned) << c.said;
}

// A helper that says nothing is stuck and is ended; one that says too much costs a few
// kilobytes, its first words (the cause) and its last kept, and no disk: its words come
// through a pipe, not a file that would grow with them.
TEST(ChildProcess, SilentHelpersFailAndNoisyOnesAreKeptShort) {
  const std::string sh = FindProgram("sh");
  const ProgramResult silent = RunProgram({sh, "-c", "sleep 30"}, 300);
  EXPECT_FALSE(silent.ok);
  EXPECT_EQ(silent.reason, "sh stuck: no output for 0.3 s");
  ChildProcess noisy({sh, "-c", "echo first >&2; yes noise | head -c 5000000 >&2; echo last >&2"},
                     ChildProcess::Pipe::kNone);
  noisy.Wait();
  EXPECT_LT(noisy.Errors().size(), 10000u);
  EXPECT_TRUE(noisy.Errors().starts_with("first\n"));
  EXPECT_TRUE(noisy.Errors().ends_with("last\n"));
  ChildProcess told({sh, "-c", "readlink /proc/$$/fd/2 >&2"}, ChildProcess::Pipe::kNone);
  told.Wait();
  EXPECT_TRUE(told.Errors().starts_with("pipe:")) << told.Errors();
}

}  // namespace
}  // namespace velunary::cli
