#include "render_plan.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <stdexcept>

#include "errors.h"
#include "keys_file.h"
#include "png_io.h"
#include "scenes/demo_layer.h"

namespace velunary::cli {
namespace {

// "Decay" and "decay" are the same control to the host.
std::string Folded(const std::string& text) {
  std::string folded;
  for (char c : text) folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

}  // namespace

RenderPlan PlanRender(const RenderOptions& given) {
  RenderOptions options = given;
  if (!options.keysFile.empty()) ReadKeysFile(options.keysFile, options);
  RenderPlan plan;
  plan.pluginPath = options.plugin;
  plan.feedback = options.input == kFeedbackInput;
  if (plan.feedback && options.frameListGiven) {
    throw UsageError(
        "--input feedback renders frames 0, 1, 2... in order and cannot take --frame-list; "
        "use --frames");
  }
  if (!options.input.empty() && !plan.feedback) {
    plan.layer = Footage::Open("--input", options.input);
  }
  if (!options.size.empty()) {
    const LayerSize size = ParseSize(options.size);
    plan.width = size.width;
    plan.height = size.height;
  } else if (plan.layer != nullptr) {
    plan.width = plan.layer->Width();
    plan.height = plan.layer->Height();
  }
  if (options.input.empty()) {
    plan.layer = Footage::Still(scenes::DemoLayer(plan.width, plan.height));
  }
  if (!options.fit.empty()) plan.fit = ParseFit(options.fit);
  if (!options.spawn.empty()) plan.spawn = Footage::Open("--spawn", options.spawn);
  if (!options.infected.empty()) plan.infected = Footage::Open("--infected", options.infected);

  // The rate given, or a clip's own, exactly; the clip is then resampled to it.
  const bool clip = plan.layer != nullptr && plan.layer->Rate().has_value();
  plan.rate = !options.fps.empty() ? ParseFrameRate(options.fps)
              : clip               ? *plan.layer->Rate()
                                   : ParseFrameRate("24");
  CheckRenderRate(plan.rate,
                  options.fps.empty() ? "the clip's rate (give --fps)" : "--fps " + options.fps);
  for (const auto& footage : {plan.layer, plan.spawn, plan.infected}) {
    if (footage != nullptr) footage->SetRenderRate(plan.rate);
  }
  if (options.frameListGiven) {
    plan.frames = ParseFrameList(options.frameList);
    if (plan.frames.size() > static_cast<size_t>(kMaxFrames)) {
      throw UsageError("--frame-list holds " + std::to_string(plan.frames.size()) +
                       " frames; velunary renders up to " + std::to_string(kMaxFrames) +
                       " at once");
    }
  } else {
    // Footage on the layer sets the default length; a still renders kDefaultFrames.
    const bool footage = plan.layer != nullptr && !plan.layer->IsStill();
    const long count = !options.frames.empty()
                           ? ParseWholeNumber(options.frames, 1, kMaxFrames, "--frames")
                       : footage ? std::min(plan.layer->LengthAt(plan.rate), kMaxFrames)
                                 : kDefaultFrames;
    for (long frame = 0; frame < count; ++frame) plan.frames.push_back(frame);
  }
  for (const std::string& set : options.sets) plan.controls.push_back(ParseSet(set));
  for (const std::string& key : options.keys) plan.controls.push_back(ParseKey(key));
  // A second value for the same control (or the same keyframe) is almost always a typo in
  // a long command line; silently keeping one of them would hide it.
  for (size_t i = 0; i < plan.controls.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      const ControlAssignment& a = plan.controls[j];
      const ControlAssignment& b = plan.controls[i];
      if (Folded(a.name) == Folded(b.name) && a.frame == b.frame) {
        throw UsageError(b.option + " gives \"" + b.name + "\" a second value after " + a.option +
                         (b.frame ? " at the same frame" : "") + "; give each once");
      }
    }
  }
  for (const std::string& reset : options.resetBefore) {
    plan.resetBefore.insert(
        ParseWholeNumber(reset, 0, std::numeric_limits<A_long>::max(), "--reset-before"));
  }
  plan.outDir = options.out;
  if ((!options.frameName.empty() || !options.depth.empty()) && plan.outDir.empty()) {
    throw UsageError(std::string(options.frameName.empty() ? "--depth" : "--frame-name") +
                     " sets how the frames are written; give --out too");
  }
  plan.frameFiles = ParseFrameFiles(options.frameName, options.depth);
  plan.video = options.video;
  if ((!options.codec.empty() || !options.quality.empty()) && plan.video.empty()) {
    throw UsageError(std::string(options.codec.empty() ? "--quality" : "--codec") +
                     " sets how --video is encoded; give --video too");
  }
  if (!options.codec.empty()) plan.videoFormat.codec = ParseVideoCodec(options.codec);
  if (!options.quality.empty()) {
    if (plan.videoFormat.codec != VideoCodec::kH264 &&
        plan.videoFormat.codec != VideoCodec::kDefault) {
      throw UsageError(
          "--quality applies to --codec h264 (ProRes has its fixed quality, ffv1 "
          "and png are lossless)");
    }
    plan.videoFormat.codec = VideoCodec::kH264;
    plan.videoFormat.quality =
        static_cast<int>(ParseWholeNumber(options.quality, 0, 51,
                                          "--quality (H.264's constant rate factor: 0 lossless, 18 "
                                          "visually lossless, 23 ffmpeg's default)"));
  }
  plan.contactSheet = options.contactSheet;
  plan.quiet = options.quiet;
  plan.overwrite = options.overwrite;
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
