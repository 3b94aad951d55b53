#include "render_run.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "contact_sheet.h"
#include "controls.h"
#include "error_names.h"
#include "errors.h"
#include "frame_writer.h"
#include "interrupt.h"
#include "png_io.h"
#include "progress.h"
#include "refhost/host.h"
#include "refhost/plugin_library.h"
#include "refhost/session.h"
#include "video_encoder.h"

namespace velunary::cli {
namespace {

namespace fs = std::filesystem;

// Creates `dir` if needed and proves it writable by creating and removing a file there,
// so a render never runs for minutes and then fails on its first frame.
void CheckWritableDirectory(const std::string& option, const fs::path& dir) {
  std::error_code error;
  fs::create_directories(dir, error);
  if (error || !fs::is_directory(dir)) {
    throw UsageError(option + ": cannot create the directory " + dir.string() + ": " +
                     (error ? error.message() : "a file of that name exists"));
  }
  const fs::path probe = dir / (".velunary-probe-" + std::to_string(::getpid()));
  std::FILE* file = std::fopen(probe.c_str(), "wb");
  if (file == nullptr) {
    throw UsageError(option + ": cannot write into " + dir.string() + ": " +
                     std::error_code(errno, std::generic_category()).message());
  }
  std::fclose(file);
  fs::remove(probe, error);
}

fs::path ParentOf(const std::string& file) {
  const fs::path parent = fs::path(file).parent_path();
  return parent.empty() ? fs::path(".") : parent;
}

// Sends global setdown when the run ends, however it ends, once setup has succeeded.
class SetdownGuard {
 public:
  explicit SetdownGuard(refhost::Session& session) : session_(session) {}
  ~SetdownGuard() { session_.GlobalSetdown(); }
  SetdownGuard(const SetdownGuard&) = delete;
  SetdownGuard& operator=(const SetdownGuard&) = delete;

 private:
  refhost::Session& session_;
};

int LayerIndex(const refhost::Host& host, const char* name) {
  const int index = host.FindParam(name);
  if (index < 0 || host.Param(index).param_type != PF_Param_LAYER) {
    throw UsageError(std::string("the effect has no layer control \"") + name + "\"");
  }
  return index;
}

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

int RunRender(const RenderPlan& plan) {
  CheckPlan(plan);
  std::string ffmpeg;
  if (!plan.video.empty()) {
    ffmpeg = FindFfmpeg();
    if (ffmpeg.empty()) {
      throw UsageError(
          "--video needs the ffmpeg program, which is not installed (on Debian: "
          "apt-get install ffmpeg)");
    }
  }

  std::optional<refhost::PluginLibrary> library;
  try {
    library.emplace(plan.pluginPath);
  } catch (const std::runtime_error& e) {
    throw UsageError(std::string("cannot load the effect (give its library with --plugin): ") +
                     e.what());
  }
  refhost::Host host;
  refhost::Session session(host, library->EffectMain(), plan.width, plan.height, plan.rate);
  CheckEffect(session.GlobalSetup(), "global setup");
  SetdownGuard setdown(session);
  CheckEffect(session.ParamsSetup(), "parameter setup");

  ApplyControls(host, plan.controls);
  const int resetButton = plan.resetBefore.empty() ? -1 : FindResetButton(host);
  if (!plan.spawn.Empty()) host.SetLayer(LayerIndex(host, "Spawn Layer"), plan.spawn);
  if (!plan.infected.Empty()) host.SetLayer(LayerIndex(host, "Infected Layer"), plan.infected);
  // Output places are made and checked last, so input refused above leaves nothing behind.
  if (!plan.contactSheet.empty()) {
    CheckWritableDirectory("--contact-sheet", ParentOf(plan.contactSheet));
  }
  if (!plan.video.empty()) CheckWritableDirectory("--video", ParentOf(plan.video));
  if (!plan.outDir.empty()) CheckWritableDirectory("--out", plan.outDir);
  refhost::Image previous(plan.width, plan.height, PF_Pixel{255, 0, 0, 0});
  host.SetLayer(0, plan.feedback ? previous : plan.layer);

  std::unique_ptr<VideoEncoder> video;
  if (!plan.video.empty()) {
    try {
      video =
          std::make_unique<VideoEncoder>(ffmpeg, plan.video, plan.width, plan.height, plan.rate);
    } catch (const std::runtime_error& e) {
      throw RenderFailure(e.what());
    }
  }
  std::optional<ContactSheet> sheet;
  if (!plan.contactSheet.empty()) sheet.emplace(plan.frames, plan.width, plan.height);

  InterruptGuard interrupt(host);
  Progress progress(plan.quiet, static_cast<long>(plan.frames.size()));
  FrameWriter writer(plan.outDir, video.get(), sheet ? &*sheet : nullptr);
  std::string failure;
  long rendered = 0;
  for (long frame : plan.frames) {
    if (InterruptGuard::Interrupted()) break;
    if (plan.resetBefore.count(frame) != 0) {
      const PF_Err err = session.ChangeParam(resetButton);
      if (err != PF_Err_NONE && !InterruptGuard::Interrupted()) {
        failure = "the effect failed the reset before frame " + std::to_string(frame) + ": " +
                  DescribeEffectError(err);
        break;
      }
    }
    const PF_Err err = session.RenderFrame(frame);
    if (err != PF_Err_NONE) {
      if (!InterruptGuard::Interrupted()) {
        failure = "the effect failed rendering frame " + std::to_string(frame) + ": " +
                  DescribeEffectError(err);
      }
      break;
    }
    refhost::Image output = session.Output();
    if (plan.feedback) {
      previous = output;
      host.SetLayer(0, previous);
    }
    if (!writer.Submit(frame, std::move(output))) break;
    ++rendered;
    progress.Update(rendered, frame);
  }
  const std::string writeFailure = writer.Finish();
  progress.Finish();
  if (failure.empty()) failure = writeFailure;
  if (video) {
    try {
      video->Finish();
    } catch (const std::runtime_error& e) {
      if (failure.empty()) failure = e.what();
    }
  }
  if (!failure.empty()) throw RenderFailure(failure);
  if (InterruptGuard::Interrupted()) {
    progress.Print("interrupted: " + std::to_string(rendered) + " frame" +
                   (rendered == 1 ? "" : "s") + " rendered" +
                   (plan.outDir.empty() ? "" : ", written to " + plan.outDir + "/"));
    return kExitInterrupted;
  }
  if (sheet) {
    try {
      WritePng(plan.contactSheet, sheet->Compose());
    } catch (const std::runtime_error& e) {
      throw RenderFailure(e.what());
    }
  }
  progress.Print(Summary(plan, rendered, progress.Seconds()));
  return 0;
}

}  // namespace velunary::cli
