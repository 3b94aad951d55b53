// Nothing of the user's is lost: no output may be an input or another output, however the
// two are spelled, and only files an earlier render wrote are ever replaced. Every refusal
// comes before anything is touched.
#include <gtest/gtest.h>
#include <unistd.h>

#include <map>

#include "scenes/spawn_shape.h"
#include "velunary_process.h"

namespace velunary::cli::testing {
namespace {

namespace fs = std::filesystem;

// Every entry under `dir` with its bytes (a folder's are empty, a symlink's its target's).
std::map<std::string, std::string> Snapshot(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    files[entry.path().string() + (entry.is_symlink() ? " link" : "")] =
        ReadFileBytes(entry.path().string());
  }
  return files;
}

TEST(OutputSafety, AnOutputThatIsAnInputOrAnotherOutputIsRefusedBeforeAnythingIsTouched) {
  const ScratchDir dir;
  WritePng(dir / "in.png", scenes::SpawnDisc(16, 12));
  fs::create_directories(dir / "sub");
  fs::create_directories(dir / "seq");
  for (const char* frame : {"seq/f_001.png", "seq/f_002.png"}) WritePng(dir / frame, {16, 12});
  ASSERT_EQ(::link((dir / "in.png").c_str(), (dir / "hard.png").c_str()), 0);
  fs::create_symlink(dir / "in.png", dir / "link.png");
  fs::create_symlink("seq", dir / "seqlink");
  fs::create_symlink(dir / "new.mp4", dir / "dangling.png");  // to a file not there yet
  const std::string in = dir / "in.png";
  const struct {
    std::vector<std::string> args;
    std::string said;
  } cases[] = {
      {{"-i", in, "--video", in}, "--video " + in + " is --input " + in},
      {{"-i", in, "--contact-sheet", dir / "link.png"}, "is --input"},
      {{"--spawn", in, "--contact-sheet", dir / "hard.png"}, "is --spawn"},
      {{"--infected", in, "--video", dir / "sub/../in.png"}, "is --infected"},
      {{"-i", dir / "seq/f_%03d.png", "--contact-sheet", dir / "./seq/f_002.png"}, "is --input"},
      {{"-i", dir / "seq", "-o", dir / "seqlink"}, "is the folder of --input"},
      {{"--spawn", dir / "seq/f_%03d.png", "-o", dir / "sub/../seq"}, "is the folder of --spawn"},
      {{"-i", in, "-o", dir / ""}, "is the folder of --input"},
      {{"--plugin", VELUNARY_PLUGIN, "--video", VELUNARY_PLUGIN}, "is --plugin"},
      {{"-o", dir / "out", "--contact-sheet", dir / "out/00001.png"}, "same file as frame"},
      {{"-o", dir / "new", "--contact-sheet", dir / "new/x/../00000.png"}, "same file as frame"},
      {{"--contact-sheet", dir / "s.png", "--video", dir / "sub/../s.png"}, "same file as"},
      {{"--video", dir / "new.mp4", "--contact-sheet", dir / "dangling.png"}, "same file as"},
      {{"--contact-sheet", in}, "exists; give --overwrite"},
  };
  const auto before = Snapshot(dir / "");
  for (const auto& c : cases) {
    std::vector<std::string> args = {"render", "--size", "16x12", "--frames", "2"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(c.said);
    EXPECT_THAT(RunVelunary(args), ExitsSaying(2, c.said));
    EXPECT_EQ(Snapshot(dir / ""), before);
  }
}

// --overwrite and the demo replace what an earlier render recorded in its folder, never
// the user's images, whatever their names.
TEST(OutputSafety, OnlyFilesAnEarlierRenderWroteAreReplaced) {
  const ScratchDir dir;
  const std::string mine = dir / "mine";
  fs::create_directories(mine);
  fs::create_directories(dir / "sheet");
  for (const std::string name : {"mine/00001.png", "mine/shot_0001.png", "mine/contact-sheet.png",
                                 "sheet/contact-sheet.png"}) {
    std::ofstream(dir / name) << "the user's";
  }
  const auto before = Snapshot(dir / "");
  const auto render = [&mine](std::vector<std::string> args) {
    args.insert(args.begin(), {"render", "--size", "16x12", "--quiet", "-o", mine});
    return RunVelunary(args);
  };
  EXPECT_THAT(render({"--frames", "2", "-y"}),
              ExitsSaying(2, "00001.png is there and was not written by an earlier render"));
  EXPECT_THAT(render({"--frames", "2"}), ExitsSaying(2, "00001.png is there"));
  EXPECT_THAT(RunVelunary({"demo", "-o", mine}), ExitsSaying(2, "00001.png is there"));
  EXPECT_THAT(RunVelunary({"demo", "-o", dir / "sheet"}), ExitsSaying(2, "contact-sheet.png is"));
  EXPECT_EQ(Snapshot(dir / ""), before);
  // Frames that do not collide are written beside the user's files, which stay; a second
  // render needs --overwrite and then replaces only the first one's frames.
  ASSERT_THAT(render({"--frame-list", "0,2,3"}), ExitsSaying(0, ""));
  EXPECT_THAT(render({"--frame-list", "0,2,3"}), ExitsSaying(2, "3 files of an earlier render"));
  ASSERT_THAT(render({"--frame-list", "2", "-y"}), ExitsSaying(0, ""));
  EXPECT_EQ(ListFiles(mine), (std::vector<std::string>{"00001.png", "00002.png",
                                                       "contact-sheet.png", "shot_0001.png"}));
  for (const auto& [name, bytes] : before) EXPECT_EQ(ReadFileBytes(name), bytes) << name;
}

}  // namespace
}  // namespace velunary::cli::testing
