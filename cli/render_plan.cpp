#include "render_plan.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "errors.h"
#include "plugin_path.h"
#include "png_io.h"
#include "scenes/demo_layer.h"

namespace velunary::cli {
namespace {

refhost::Image ReadImageOption(const std::string& option, const std::string& path) {
  try {
    return ReadPng(path);
  } catch (const std::runtime_error& e) {
    throw UsageError(option + ": " + e.what());
  }
}

}  // namespace

RenderPlan PlanRender(const RenderOptions& options) {
  RenderPlan plan;
  plan.pluginPath = ResolvePluginPath(options.plugin);
  plan.feedback = options.input == kFeedbackInput;
  if (plan.feedback && !options.frameList.empty()) {
    throw UsageError(
        "--input feedback renders frames 0, 1, 2... in order and cannot take --frame-list; "
        "use --frames");
  }
  if (!options.input.empty() && !plan.feedback) {
    plan.layer = ReadImageOption("--input", options.input);
  }
  if (!options.size.empty()) {
    const LayerSize size = ParseSize(options.size);
    plan.width = size.width;
    plan.height = size.height;
  } else if (!plan.layer.Empty()) {
    plan.width = plan.layer.width;
    plan.height = plan.layer.height;
  }
  if (options.input.empty()) plan.layer = scenes::DemoLayer(plan.width, plan.height);
  if (!options.spawn.empty()) plan.spawn = ReadImageOption("--spawn", options.spawn);
  if (!options.infected.empty()) plan.infected = ReadImageOption("--infected", options.infected);

  if (!options.frameList.empty()) {
    plan.frames = ParseFrameList(options.frameList);
  } else {
    const long count = options.frames.empty()
                           ? kDefaultFrames
                           : ParseWholeNumber(options.frames, 1, kMaxFrames, "--frames");
    for (long frame = 0; frame < count; ++frame) plan.frames.push_back(frame);
  }
  plan.rate = ParseFrameRate(options.fps);
  for (const std::string& set : options.sets) plan.controls.push_back(ParseSet(set));
  for (const std::string& key : options.keys) plan.controls.push_back(ParseKey(key));
  for (const std::string& reset : options.resetBefore) {
    plan.resetBefore.insert(
        ParseWholeNumber(reset, 0, std::numeric_limits<A_long>::max(), "--reset-before"));
  }
  plan.outDir = options.out;
  plan.video = options.video;
  plan.contactSheet = options.contactSheet;
  plan.quiet = options.quiet;
  CheckPlan(plan);
  return plan;
}

void CheckPlan(const RenderPlan& plan) {
  const long last = *std::max_element(plan.frames.begin(), plan.frames.end());
  if (last > std::numeric_limits<A_long>::max() / plan.rate.timeStep) {
    throw UsageError("frame " + std::to_string(last) + " at --fps " +
                     std::to_string(plan.rate.timeScale) + "/" +
                     std::to_string(plan.rate.timeStep) +
                     " lies beyond the host's time range; render fewer frames or use a "
                     "simpler rate");
  }
  for (long reset : plan.resetBefore) {
    if (std::find(plan.frames.begin(), plan.frames.end(), reset) == plan.frames.end()) {
      throw UsageError("--reset-before " + std::to_string(reset) + ": that frame is not rendered");
    }
  }
}

}  // namespace velunary::cli
