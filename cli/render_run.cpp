#include "render_run.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include "contact_sheet.h"
#include "controls.h"
#include "effect_session.h"
#include "error_names.h"
#include "errors.h"
#include "file_identity.h"
#include "frame_writer.h"
#include "hidden_parts.h"
#include "interrupt.h"
#include "output_places.h"
#include "plugin_path.h"
#include "png_io.h"
#include "progress.h"
#include "refhost/host.h"
#include "refhost/plugin_library.h"
#include "refhost/session.h"
#include "video_encoder.h"

namespace velunary::cli {
namespace {

namespace fs = std::filesystem;

// The file to write for an output option (a symlink's target), checked, with the hidden
// parts a killed render left beside it removed; "" when the option is not given.
std::string OutputFile(const char* option, const std::string& path, bool replace) {
  if (path.empty()) return "";
  const std::string file = CheckOutputFile(option, path, replace);
  const fs::path folder = fs::path(file).parent_path();
  RemoveStaleParts(folder.empty() ? std::string(".") : folder.string());
  return file;
}

// The Infected Layer matters only where the "Infection" checkbox is on; given with the
// checkbox off throughout, it would be ignored without a word.
void WarnIfInfectionOff(const refhost::Host& host, const RenderPlan& plan) {
  const int infection = host.FindParam("Infection");
  if (infection < 0 || host.Param(infection).param_type != PF_Param_CHECKBOX) return;
  const long last = *std::max_element(plan.frames.begin(), plan.frames.end());
  // A checkbox changes only at its keyframes, so frame 0, the rendered frames and the
  // keyframes' frames see every value it takes up to the last frame.
  std::vector<long> probes = plan.frames;
  probes.push_back(0);
  for (const ControlAssignment& c : plan.controls) {
    if (c.frame && *c.frame <= last) probes.push_back(*c.frame);
  }
  for (long frame : probes) {
    if (host.ValueAt(infection, static_cast<double>(frame)) != 0) return;
  }
  std::fprintf(stderr,
               "velunary: warning: --infected has no effect: the \"Infection\" checkbox is off "
               "at every frame (add --set Infection=on)\n");
}

// While the effect catches up to a frame far from the last one (it replays every frame
// in between inside one render call), tells which of how many it has reached, from the
// frame times of its parameter check-outs.
class CatchUpReport {
 public:
  static constexpr long kAnnouncedReplay = 48;

  CatchUpReport(const refhost::Host& host, Progress& progress, refhost::FrameRate rate)
      : host_(host), progress_(progress), rate_(rate), thread_([this] { Run(); }) {}
  ~CatchUpReport() {
    {
      std::lock_guard lock(mutex_);
      ending_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  CatchUpReport(const CatchUpReport&) = delete;
  CatchUpReport& operator=(const CatchUpReport&) = delete;

  // `replays`: the effect will replay frames 0 to frame - 1 first.
  void Start(long frame, bool replays) {
    // A long replay is announced at once; it can take longer than any frame.
    if (replays && frame >= kAnnouncedReplay) progress_.CatchingUp(frame, 0);
    std::lock_guard lock(mutex_);
    frame_ = frame;
    changed_.notify_all();
  }
  void Stop() {
    std::lock_guard lock(mutex_);
    frame_ = -1;
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    while (!ending_) {
      changed_.wait(lock, [this] { return ending_ || frame_ >= 0; });
      const long frame = frame_;
      // Frames that take under a second need no word.
      if (changed_.wait_for(lock, std::chrono::seconds(1),
                            [this, frame] { return ending_ || frame_ != frame; })) {
        continue;
      }
      while (!ending_ && frame_ == frame) {
        const long reached = host_.LastCheckoutTime() / rate_.timeStep;
        progress_.CatchingUp(frame, reached);
        changed_.wait_for(lock, std::chrono::milliseconds(500),
                          [this, frame] { return ending_ || frame_ != frame; });
      }
    }
  }

  const refhost::Host& host_;
  Progress& progress_;
  const refhost::FrameRate rate_;
  std::mutex mutex_;
  std::condition_variable changed_;
  long frame_ = -1;
  bool ending_ = false;
  std::thread thread_;
};

std::string Summary(const RenderPlan& plan, long rendered, double seconds) {
  char head[160];
  std::snprintf(head, sizeof head, "rendered %ld frame%s of %dx%d in %.2f s (%.1f fps)", rendered,
                rendered == 1 ? "" : "s", plan.width, plan.height, seconds,
                seconds > 0 ? rendered / seconds : 0.0);
  std::vector<std::string> places;
  if (!plan.outDir.empty()) places.push_back("frames in " + plan.outDir + "/");
  if (!plan.contactSheet.empty()) places.push_back("contact sheet " + plan.contactSheet);
  if (!plan.video.empty()) places.push_back("video " + plan.video);
  if (places.empty())
    return std::string(head) + " (nothing written: no --out, --contact-sheet or --video)";
  std::string line = std::string(head) + ": " + places.front();
  for (size_t i = 1; i < places.size(); ++i) line += ", " + places[i];
  return line;
}

}  // namespace

std::vector<std::string> FrameNames(const RenderPlan& plan) {
  std::vector<std::string> names;
  if (plan.outDir.empty()) return names;
  for (long frame : std::set<long>(plan.frames.begin(), plan.frames.end())) {
    names.push_back(FrameFileName(plan.frameFiles, frame));
  }
  return names;
}

// No output may be an input or another output; checked before anything is touched.
void CheckApart(const RenderPlan& plan, const std::string& pluginPath,
                const std::vector<std::string>& frameNames) {
  std::vector<NamedFile> inputs = {{"--plugin " + pluginPath, pluginPath}};
  for (const auto& [option, footage] :
       {std::pair{"--input", plan.layer}, {"--spawn", plan.spawn}, {"--infected", plan.infected}}) {
    if (footage == nullptr) continue;
    for (const std::string& file : footage->Sources()) {
      inputs.push_back({std::string(option) + " " + file, file});
    }
  }
  std::vector<NamedFile> outputs;
  if (!plan.contactSheet.empty()) {
    outputs.push_back({"--contact-sheet " + plan.contactSheet, plan.contactSheet});
  }
  if (!plan.video.empty()) outputs.push_back({"--video " + plan.video, plan.video});
  CheckOutputsApart(inputs, outputs, plan.outDir, frameNames);
}

int RunRender(const RenderPlan& plan) {
  CheckPlan(plan);
  const std::string pluginPath = ResolvePluginPath(plan.pluginPath);
  const std::vector<std::string> frameNames = FrameNames(plan);
  CheckApart(plan, pluginPath, frameNames);
  std::string ffmpeg;
  std::string ffprobe;
  const bool ffmpegFrames = !plan.outDir.empty() && plan.frameFiles.NeedsFfmpeg();
  if (!plan.video.empty() || ffmpegFrames) {
    ffmpeg = FindFfmpeg();
    ffprobe = FindProgram("ffprobe");
    if (ffmpeg.empty() || ffprobe.empty()) {
      throw UsageError(
          std::string(plan.video.empty() ? "JPEG and TIFF frames need" : "--video needs") +
          " the ffmpeg and ffprobe programs, which are not installed (on Debian: "
          "apt-get install ffmpeg)");
    }
  }

  EffectSession effect(plan, pluginPath);
  refhost::Host& host = effect.Host();
  if (plan.infected) WarnIfInfectionOff(host, plan);
  // Output places are made and checked last, so input refused above leaves nothing behind.
  // The demo's sheet and video are checked with its frames: replaced only when its own.
  const bool replace = plan.overwrite || plan.ownFolder;
  const std::string contactSheet = OutputFile("--contact-sheet", plan.contactSheet, replace);
  const std::string videoFile = OutputFile("--video", plan.video, replace);
  // An interrupted render leaves an existing video as it was.
  std::error_code ignored;
  const bool videoExisted = !videoFile.empty() && fs::exists(videoFile, ignored);
  if (!videoFile.empty()) {
    CheckVideoTarget(ffmpeg, videoFile, plan.videoFormat, plan.width, plan.height, plan.rate);
  }
  std::vector<std::string> ownFiles;
  if (plan.ownFolder) {
    for (const std::string& file : {plan.contactSheet, plan.video}) {
      if (!file.empty()) ownFiles.push_back(fs::path(file).filename().string());
    }
  }
  std::optional<FramesFolder> folder;
  if (!plan.outDir.empty()) {
    folder.emplace(plan.outDir, plan.overwrite, frameNames, ownFiles);
    folder->Clear();
  }
  std::unique_ptr<VideoEncoder> video;
  if (!plan.video.empty()) {
    try {
      video = std::make_unique<VideoEncoder>(ffmpeg, videoFile, plan.width, plan.height, plan.rate,
                                             plan.videoFormat);
    } catch (const std::runtime_error& e) {
      throw RenderFailure(e.what());
    }
  }
  std::optional<ContactSheet> sheet;
  if (!plan.contactSheet.empty()) sheet.emplace(plan.frames, plan.width, plan.height);

  InterruptGuard interrupt(host);
  Progress progress(plan.quiet, static_cast<long>(plan.frames.size()));
  CatchUpReport catchUp(host, progress, plan.rate);
  FrameWriter writer(plan.outDir, plan.frameFiles, ffmpeg, video.get(), sheet ? &*sheet : nullptr);
  std::string failure;
  long rendered = 0;
  long previousFrame = -1;
  for (long frame : plan.frames) {
    if (InterruptGuard::Interrupted()) break;
    const bool reset = plan.resetBefore.count(frame) != 0;
    catchUp.Start(frame, frame != previousFrame + 1 || reset);
    previousFrame = frame;
    failure = effect.Render(frame, reset);
    catchUp.Stop();
    if (!failure.empty()) {
      // A frame the user cancelled is no failure, nor footage whose read the interrupt ended.
      if (InterruptGuard::Interrupted()) failure.clear();
      break;
    }
    refhost::Image output = effect.Output();
    if (!writer.Submit(frame, std::move(output))) break;
    ++rendered;
    progress.Update(rendered, frame);
  }
  const std::string writeFailure = writer.Finish();
  progress.Finish();
  if (failure.empty()) failure = writeFailure;
  const bool keepVideo = videoExisted && InterruptGuard::Interrupted();
  if (video && !keepVideo) {
    try {
      video->Finish(ffprobe);
    } catch (const std::runtime_error& e) {
      if (failure.empty()) failure = e.what();
    }
  }
  if (!failure.empty()) throw RenderFailure(failure);
  if (InterruptGuard::Interrupted()) {
    std::string said = "interrupted before the first frame; nothing written";
    if (rendered > 0) {
      said = "interrupted: " + std::to_string(rendered) + " frame" + (rendered == 1 ? "" : "s") +
             " rendered" + (plan.outDir.empty() ? "" : ", written to " + plan.outDir + "/");
    }
    if (keepVideo) said += "; " + plan.video + " left as it was";
    progress.Print(said);
    return 128 + InterruptGuard::Signal();
  }
  if (sheet) {
    try {
      WritePng(contactSheet, sheet->Compose());
    } catch (const std::runtime_error& e) {
      throw RenderFailure(e.what());
    }
  }
  progress.Print(Summary(plan, rendered, progress.Seconds()));
  return 0;
}

}  // namespace velunary::cli
