// The simulation thread: scheduled and sent changes land on the frame they are meant for,
// a restart replays the recording to the same pictures, and the recording names them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "preview_engine.h"

namespace velunary::preview {
namespace {

// Waits, within reason, for the engine to rest.
void WaitUntilResting(const PreviewEngine& engine) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!engine.Finished() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_TRUE(engine.Finished());
}

ShownFrame Newest(PreviewEngine& engine) {
  ShownFrame frame;
  long generation = -1;
  engine.TakeFrame(frame, generation);
  return frame;
}

TEST(PreviewEngine, ChangesLandOnTheirFramesAndARestartReplaysTheRecording) {
  cli::RenderOptions options;
  options.plugin = VELUNARY_PLUGIN;
  options.size = "48x27";
  options.frames = "12";
  const cli::RenderPlan plan = cli::PlanRender(options);
  PreviewEngine engine(plan, LayerPaths{}, 11);
  const int decay = 6;
  ASSERT_EQ(engine.Controls()[decay - 1].name, "Decay");
  engine.Schedule({{4, false, cli::ParseSet("Decay=0.5")}, {7, true, {}}});
  engine.Play(false);
  WaitUntilResting(engine);
  const ShownFrame first = Newest(engine);
  EXPECT_EQ(first.frame, 11);
  EXPECT_EQ(first.values.at(decay), 0.5);
  EXPECT_EQ(engine.FramesSimulated(), 12);

  // Back to frame 3, where the scheduled change has not happened yet; a change sent while
  // paused takes effect with the next frame simulated.
  engine.Send(Request::Restart());
  for (int i = 0; i < 4; ++i) engine.Step();
  while (Newest(engine).frame != 3) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_NE(Newest(engine).values.at(decay), 0.5);
  engine.Send(Request::Control(decay, 0.25));
  engine.Step();
  while (Newest(engine).frame != 4) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  // The script's change at frame 4 comes after the user's, as it would on a later pass.
  EXPECT_EQ(Newest(engine).values.at(decay), 0.5);

  engine.Send(Request::Restart());
  engine.Play(false);
  WaitUntilResting(engine);
  const ShownFrame again = Newest(engine);
  EXPECT_EQ(again.frame, 11);
  EXPECT_TRUE(again.image == first.image);
  EXPECT_EQ(engine.Failure(), "");

  std::vector<std::string> lines;
  for (const auto& [option, value] : engine.Recording()) lines.push_back(option + " " + value);
  EXPECT_THAT(lines, ::testing::IsSupersetOf({"--size 48x27", "--frames 12", "--key Decay@3=0.1",
                                              "--key Decay@4=0.5", "--reset-before 7"}));
}

}  // namespace
}  // namespace velunary::preview
