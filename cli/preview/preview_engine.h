// The preview's simulation: the effect session on a thread of its own, simulating frame
// after frame while the window stays responsive. The window never touches the host; it
// sends requests, which the thread applies between frames (a control change or a press
// of "Reset particles" takes effect from the next frame simulated, where it is recorded),
// and takes the newest frame when it is ready. No frame is ever skipped: the recording
// must replay exactly.
#ifndef VELUNARY_PREVIEW_PREVIEW_ENGINE_H
#define VELUNARY_PREVIEW_PREVIEW_ENGINE_H

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "effect_session.h"
#include "frame_writer.h"
#include "output_places.h"
#include "preview_script.h"
#include "recorded_timeline.h"
#include "render_plan.h"

namespace velunary::preview {

// A control as the panel shows it, read from the effect's declarations once.
struct ControlInfo {
  int index = 0;
  std::string name;
  PF_ParamType type = PF_Param_LAYER;
  double min = 0;  // sliders: the slider's travel
  double max = 0;
  int precision = 0;  // decimal places shown
  std::string buttonText;
};

// The layers as the user named them: paths made absolute, "feedback", or "" for none (the
// built-in layer, for the input).
struct LayerPaths {
  std::string input;
  std::string spawn;
  std::string infected;
};

// A change the user makes, or a script makes for them.
struct Request {
  enum class Kind { kControl, kReset, kRestart, kLayer } kind = Kind::kControl;
  int index = 0;  // the control or layer parameter
  double value = 0;
  std::shared_ptr<cli::Footage> footage;  // kLayer: null removes the layer
  std::string path;                       // kLayer: as the recording names it

  static Request Control(int index, double value) { return {Kind::kControl, index, value, {}, {}}; }
  static Request Reset() { return {Kind::kReset, 0, 0, {}, {}}; }
  static Request Restart() { return {Kind::kRestart, 0, 0, {}, {}}; }
  static Request Layer(int index, std::shared_ptr<cli::Footage> footage, std::string path) {
    return {Kind::kLayer, index, 0, std::move(footage), std::move(path)};
  }
};

// The newest simulated frame, with the controls' values at that frame.
struct ShownFrame {
  long frame = -1;
  refhost::Image image;
  std::map<int, double> values;
};

class PreviewEngine {
 public:
  // Sets the effect up on the calling thread (so refusals surface before a window opens),
  // then starts the simulation thread, paused. `paths`: the plan's layers as the user
  // named them, for the recording. `stopAfter`: the simulation rests after this frame
  // (none: it runs on).
  PreviewEngine(const cli::RenderPlan& plan, const LayerPaths& paths,
                std::optional<long> stopAfter);
  ~PreviewEngine();
  PreviewEngine(const PreviewEngine&) = delete;
  PreviewEngine& operator=(const PreviewEngine&) = delete;

  const std::vector<ControlInfo>& Controls() const { return controls_; }
  // The layers' paths by parameter index (0: the layer itself), as at the start.
  std::map<int, std::string> LayerPathsByIndex() const;

  // Schedules a script's changes, each just before its frame is simulated, as a user's
  // change then. UsageError naming the line for an unknown control or a bad value.
  // Call before playing.
  void Schedule(const std::vector<ScriptLine>& script);

  // Playing runs frames at the plan's rate when `paced`, else as fast as they simulate.
  void Play(bool paced);
  void Pause();
  bool Playing() const;
  // Simulates one more frame, then pauses.
  void Step();
  void Send(Request request);

  // The newest frame when it differs from `since` (by frame and generation); the caller
  // keeps what it has otherwise.
  bool TakeFrame(ShownFrame& frame, long& generation);
  // Frames simulated per second, over the last second or so.
  double SimulationRate() const;
  // Whether the simulation rests: past `stopAfter` (until a restart), or for good after a
  // failure.
  bool Finished() const;
  // What failed, or "".
  std::string Failure() const;
  // Frames simulated in all, and the seconds spent simulating them.
  long FramesSimulated() const;
  double SecondsSimulating() const;

  // The recording and the settings, as keys-file entries.
  std::vector<cli::KeysEntry> Recording() const;

 private:
  using Clock = std::chrono::steady_clock;
  void Run();
  void Apply(Request& request);

  cli::RenderPlan plan_;
  std::map<int, std::string> layerPaths_;    // by parameter index
  std::map<int, const char*> layerOptions_;  // the render option of each layer
  const std::optional<long> stopAfter_;
  std::unique_ptr<cli::EffectSession> session_;
  std::unique_ptr<RecordedTimeline> timeline_;
  std::vector<ControlInfo> controls_;
  std::optional<cli::FramesFolder> folder_;
  std::unique_ptr<cli::FrameWriter> writer_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Request> requests_;
  std::multimap<long, Request> scheduled_;
  bool playing_ = false;
  bool paced_ = true;
  long steps_ = 0;
  bool quitting_ = false;
  bool finished_ = false;
  std::string failure_;
  long next_ = 0;  // the frame simulated next
  ShownFrame shown_;
  long generation_ = 0;
  std::deque<Clock::time_point> recent_;
  long simulated_ = 0;
  Clock::duration busy_{};
  std::thread thread_;
};

}  // namespace velunary::preview

#endif
