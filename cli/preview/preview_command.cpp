#include "preview_command.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "control_panel.h"
#include "errors.h"
#include "keys_file.h"
#include "output_places.h"
#include "preview_engine.h"
#include "preview_script.h"
#include "preview_window.h"

namespace velunary::preview {
namespace {

std::string Absolute(const std::string& path) {
  if (path.empty() || path == cli::kFeedbackInput) return path;
  return std::filesystem::absolute(path).string();
}

// The keys file may replace an earlier keys file, never another file of the user's.
void CheckKeysTarget(const std::string& path, bool overwrite) {
  const std::string file = cli::CheckOutputFile("--save-keys", path, true);
  std::ifstream in(file);
  std::string first;
  if (in && std::getline(in, first) && first != cli::kKeysFileHeader && !overwrite) {
    throw cli::UsageError("--save-keys " + path +
                          ": the file exists and is not a keys file; name another file, or "
                          "add --overwrite to replace it");
  }
}

}  // namespace

int RunPreview(const cli::RenderOptions& render, const PreviewOptions& options) {
  if (!render.video.empty() || !render.contactSheet.empty() || render.frameListGiven) {
    throw cli::UsageError(
        "preview shows frames in order and writes no video or contact sheet: --video, "
        "--contact-sheet and --frame-list belong to render");
  }
  if (!options.script.empty() && render.frames.empty()) {
    throw cli::UsageError("--script runs a fixed number of frames: add --frames N");
  }
  if (!render.out.empty() && render.frames.empty()) {
    throw cli::UsageError("--out writes the frames of the last pass: add --frames N");
  }
  const std::vector<ScriptLine> script =
      options.script.empty() ? std::vector<ScriptLine>{} : ReadScript(options.script);
  if (!options.saveKeys.empty()) CheckKeysTarget(options.saveKeys, render.overwrite);
  if (!options.screenshot.empty())
    cli::CheckOutputFile("--screenshot", options.screenshot, render.overwrite);

  const cli::RenderPlan plan = cli::PlanRender(render);
  const LayerPaths paths{Absolute(render.input), Absolute(render.spawn), Absolute(render.infected)};
  const std::optional<long> stopAfter =
      render.frames.empty() ? std::nullopt : std::optional<long>(plan.frames.back());
  PreviewEngine engine(plan, paths, stopAfter);
  engine.Schedule(script);
  ControlPanel panel(engine, engine.LayerPathsByIndex(), options.saveKeys);
  const bool scripted = !options.script.empty();
  engine.Play(!scripted);
  RunWindow(engine, panel, plan.width, plan.height, WindowOptions{scripted, options.screenshot});
  engine.Pause();

  if (const std::string failure = engine.Failure(); !failure.empty()) {
    throw cli::RenderFailure(failure);
  }
  if (!options.saveKeys.empty()) {
    if (const std::string failure = panel.SaveKeys(); !failure.empty()) {
      throw cli::RenderFailure(failure);
    }
  }
  if (!render.quiet) {
    const long frames = engine.FramesSimulated();
    const double seconds = engine.SecondsSimulating();
    std::fprintf(stderr, "previewed %ld frame%s of %dx%d: %.1f frames per second simulated%s%s\n",
                 frames, frames == 1 ? "" : "s", plan.width, plan.height,
                 seconds > 0 ? frames / seconds : 0.0, options.saveKeys.empty() ? "" : ", keys in ",
                 options.saveKeys.c_str());
  }
  return 0;
}

}  // namespace velunary::preview
