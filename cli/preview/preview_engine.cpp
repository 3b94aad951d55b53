#include "preview_engine.h"

#include <algorithm>
#include <exception>

#include "controls.h"
#include "errors.h"
#include "output_places.h"
#include "plugin_path.h"
#include "render_run.h"
#include "video_encoder.h"

namespace velunary::preview {
namespace {

std::vector<ControlInfo> ReadControls(const refhost::Host& host) {
  std::vector<ControlInfo> controls;
  for (int i = 1; i < host.ParamCount(); ++i) {
    const PF_ParamDef& def = host.Param(i);
    ControlInfo c;
    c.index = i;
    c.name = def.name;
    c.type = def.param_type;
    if (def.param_type == PF_Param_FLOAT_SLIDER) {
      c.min = def.u.fs_d.slider_min;
      c.max = def.u.fs_d.slider_max;
      c.precision = std::max<int>(def.u.fs_d.precision, 0);
    } else if (def.param_type == PF_Param_CHECKBOX) {
      c.max = 1;
    } else if (def.param_type == PF_Param_BUTTON && def.u.button_d.u.namesptr != nullptr) {
      c.buttonText = def.u.button_d.u.namesptr;
    }
    controls.push_back(c);
  }
  return controls;
}

std::string RateText(refhost::FrameRate rate) {
  return rate.timeStep == 1 ? std::to_string(rate.timeScale)
                            : std::to_string(rate.timeScale) + "/" + std::to_string(rate.timeStep);
}

}  // namespace

PreviewEngine::PreviewEngine(const cli::RenderPlan& plan, const LayerPaths& paths,
                             std::optional<long> stopAfter)
    : plan_(plan), stopAfter_(stopAfter) {
  const std::string pluginPath = cli::ResolvePluginPath(plan_.pluginPath);
  const std::vector<std::string> frameNames = cli::FrameNames(plan_);
  cli::CheckApart(plan_, pluginPath, frameNames);
  session_ = std::make_unique<cli::EffectSession>(plan_, pluginPath);
  // The layers' options by index, read now: later the host is the simulation thread's.
  const int spawn = session_->LayerIndex("Spawn Layer");
  const int infected = session_->LayerIndex("Infected Layer");
  layerOptions_ = {{0, "--input"}, {spawn, "--spawn"}, {infected, "--infected"}};
  layerPaths_ = {{0, paths.input}, {spawn, paths.spawn}, {infected, paths.infected}};
  session_->RequireResetButton();
  timeline_ =
      std::make_unique<RecordedTimeline>(session_->Host(), plan_.controls, plan_.resetBefore);
  controls_ = ReadControls(session_->Host());
  if (!plan_.outDir.empty()) {
    const std::string ffmpeg = plan_.frameFiles.NeedsFfmpeg() ? cli::FindFfmpeg() : "";
    if (plan_.frameFiles.NeedsFfmpeg() && ffmpeg.empty()) {
      throw cli::UsageError("JPEG and TIFF frames need ffmpeg (on Debian: apt-get install ffmpeg)");
    }
    folder_.emplace(plan_.outDir, plan_.overwrite, frameNames, std::vector<std::string>{});
    folder_->Clear();
    writer_ = std::make_unique<cli::FrameWriter>(plan_.outDir, plan_.frameFiles, ffmpeg, nullptr,
                                                 nullptr);
  }
  thread_ = std::thread([this] { Run(); });
}

PreviewEngine::~PreviewEngine() {
  {
    std::lock_guard lock(mutex_);
    quitting_ = true;
  }
  changed_.notify_all();
  thread_.join();
  if (writer_) writer_->Finish();
}

void PreviewEngine::Play(bool paced) {
  std::lock_guard lock(mutex_);
  playing_ = true;
  paced_ = paced;
  changed_.notify_all();
}

void PreviewEngine::Pause() {
  std::lock_guard lock(mutex_);
  playing_ = false;
  steps_ = 0;
}

bool PreviewEngine::Playing() const {
  std::lock_guard lock(mutex_);
  return playing_;
}

void PreviewEngine::Step() {
  std::lock_guard lock(mutex_);
  playing_ = false;
  ++steps_;
  changed_.notify_all();
}

void PreviewEngine::Send(Request request) {
  std::lock_guard lock(mutex_);
  requests_.push_back(std::move(request));
  changed_.notify_all();
}

std::map<int, std::string> PreviewEngine::LayerPathsByIndex() const {
  std::lock_guard lock(mutex_);
  return layerPaths_;
}

void PreviewEngine::Schedule(const std::vector<ScriptLine>& script) {
  // The simulation thread waits without touching the host while nothing plays.
  std::lock_guard lock(mutex_);
  for (const ScriptLine& line : script) {
    if (line.reset) {
      scheduled_.emplace(line.frame, Request::Reset());
      continue;
    }
    const int index = cli::ControlIndex(session_->Host(), line.assignment);
    scheduled_.emplace(
        line.frame,
        Request::Control(index, cli::ControlValue(session_->Host(), index, line.assignment)));
  }
}

bool PreviewEngine::TakeFrame(ShownFrame& frame, long& generation) {
  std::lock_guard lock(mutex_);
  if (generation == generation_) return false;
  frame = shown_;
  generation = generation_;
  return true;
}

double PreviewEngine::SimulationRate() const {
  std::lock_guard lock(mutex_);
  if (recent_.size() < 2) return 0;
  const double seconds = std::chrono::duration<double>(recent_.back() - recent_.front()).count();
  return seconds > 0 ? (recent_.size() - 1) / seconds : 0;
}

bool PreviewEngine::Finished() const {
  std::lock_guard lock(mutex_);
  return finished_ || (stopAfter_ && next_ > *stopAfter_);
}

std::string PreviewEngine::Failure() const {
  std::lock_guard lock(mutex_);
  return failure_;
}

long PreviewEngine::FramesSimulated() const {
  std::lock_guard lock(mutex_);
  return simulated_;
}

double PreviewEngine::SecondsSimulating() const {
  std::lock_guard lock(mutex_);
  return std::chrono::duration<double>(busy_).count();
}

std::vector<cli::KeysEntry> PreviewEngine::Recording() const {
  std::lock_guard lock(mutex_);
  std::vector<cli::KeysEntry> entries;
  entries.emplace_back("--size", std::to_string(plan_.width) + "x" + std::to_string(plan_.height));
  entries.emplace_back("--fps", RateText(plan_.rate));
  for (const auto& [index, path] : layerPaths_) {
    if (!path.empty()) entries.emplace_back(layerOptions_.at(index), path);
  }

  // The frames of the pass the window shows now: a render of them ends on its frame.
  if (shown_.frame >= 0) entries.emplace_back("--frames", std::to_string(shown_.frame + 1));
  for (cli::KeysEntry& entry : timeline_->Entries()) entries.push_back(std::move(entry));
  return entries;
}

// Runs with the mutex held: the timeline and the host's keyframes change only here and
// between frames, never while the effect renders.
void PreviewEngine::Apply(Request& request) {
  switch (request.kind) {
    case Request::Kind::kControl:
      timeline_->Change(request.index, static_cast<int>(next_), request.value);
      break;
    case Request::Kind::kReset:
      timeline_->PressReset(next_);
      break;
    case Request::Kind::kRestart:
      next_ = 0;
      break;
    case Request::Kind::kLayer:
      // A layer is one piece of footage for the whole render, never a keyframe: what the
      // preview shows after a change of layer starts again from frame 0.
      session_->PresentLayer(request.index, request.footage);
      layerPaths_[request.index] = request.path;
      if (request.index == 0) plan_.layer = request.footage;
      next_ = 0;
      break;
  }
}

void PreviewEngine::Run() {
  std::unique_lock lock(mutex_);
  Clock::time_point due = Clock::now();
  while (true) {
    changed_.wait(lock, [this] {
      return quitting_ || !requests_.empty() || ((playing_ || steps_ > 0) && !finished_);
    });
    if (quitting_) return;
    while (!requests_.empty()) {
      Request request = std::move(requests_.front());
      requests_.pop_front();
      Apply(request);
      // After a change the frames run on from now, not from a schedule fallen behind.
      due = Clock::now();
    }
    if (finished_ || (!playing_ && steps_ == 0)) continue;
    if (stopAfter_ && next_ > *stopAfter_) {
      // The last frame asked for is shown: the simulation rests until a restart.
      playing_ = false;
      steps_ = 0;
      continue;
    }
    if (playing_ && paced_) {
      const Clock::duration frameTime =
          std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
              static_cast<double>(plan_.rate.timeStep) / plan_.rate.timeScale));
      if (changed_.wait_until(lock, due, [this] { return quitting_ || !requests_.empty(); })) {
        continue;
      }
      due = std::max(due + frameTime, Clock::now() - frameTime);
    }
    if (steps_ > 0) --steps_;
    const long frame = next_;
    for (auto [at, end] = scheduled_.equal_range(frame); at != end; ++at) Apply(at->second);
    const bool reset = timeline_->ResetBefore(frame);

    lock.unlock();
    const Clock::time_point start = Clock::now();
    std::string failure;
    try {
      failure = session_->Render(frame, reset);
    } catch (const std::exception& e) {
      failure = e.what();
    }
    ShownFrame shown;
    if (failure.empty()) {
      shown.frame = frame;
      shown.image = session_->Output();
      for (const ControlInfo& c : controls_) {
        if (c.type == PF_Param_FLOAT_SLIDER || c.type == PF_Param_CHECKBOX) {
          shown.values[c.index] = session_->Host().ValueAt(c.index, static_cast<double>(frame));
        }
      }
      if (writer_ && !writer_->Submit(frame, shown.image)) failure = writer_->Finish();
    }
    const Clock::time_point end = Clock::now();
    lock.lock();

    if (!failure.empty()) {
      failure_ = failure;
      finished_ = true;
      continue;
    }
    busy_ += end - start;
    ++simulated_;
    recent_.push_back(end);
    while (recent_.size() > 2 && end - recent_.front() > std::chrono::seconds(1)) {
      recent_.pop_front();
    }
    shown_ = std::move(shown);
    ++generation_;
    next_ = frame + 1;
  }
}

}  // namespace velunary::preview
