// What one render does, checked and resolved: from the `render` command's options, or
// built directly by `demo`.
#ifndef VELUNARY_CLI_RENDER_PLAN_H
#define VELUNARY_CLI_RENDER_PLAN_H

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fit.h"
#include "footage.h"
#include "frame_files.h"
#include "option_parsing.h"
#include "refhost/image.h"
#include "refhost/session.h"
#include "video_encoder.h"

namespace velunary::cli {

inline constexpr int kDefaultFrames = 120;
// The longest --frames render: eleven and a half hours at 24 frames per second. The plan
// lists every request, so an absurd count must not turn into gigabytes of list.
inline constexpr long kMaxFrames = 1000000;
inline constexpr int kDefaultWidth = 1280;
inline constexpr int kDefaultHeight = 720;
// The --input value that makes the layer the effect's own previous output.
inline constexpr const char* kFeedbackInput = "feedback";

// The `render` command's options as typed.
struct RenderOptions {
  std::string plugin;
  std::string input;
  std::string size;
  std::string spawn;
  std::string infected;
  std::string frames;
  std::string frameList;
  bool frameListGiven = false;  // --frame-list was given, even as ""
  bool overwrite = false;
  std::string fps;  // empty: the clip's rate, or 24
  std::vector<std::string> sets;
  std::vector<std::string> keys;
  std::vector<std::string> resetBefore;
  std::string out;
  std::string video;
  std::string contactSheet;
  std::string fit;        // empty: stretch
  std::string frameName;  // empty: #####.png
  std::string depth;      // empty: 8
  std::string codec;      // empty: ffmpeg's for the container
  std::string quality;    // empty: the codec's default
  std::string keysFile;   // settings and keyframes to add, from a keys file
  bool quiet = false;
};

struct RenderPlan {
  std::string pluginPath;  // as given: empty for the library beside the renderer
  int width = kDefaultWidth;
  int height = kDefaultHeight;
  refhost::FrameRate rate;
  // The layer is the effect's previous output (opaque black before frame 0) instead of
  // `layer`; the frames are then 0, 1, 2... in order.
  bool feedback = false;
  Fit fit = Fit::kStretch;  // footage of another shape than the layer
  std::shared_ptr<Footage> layer;
  std::shared_ptr<Footage> spawn;     // null: no Spawn Layer
  std::shared_ptr<Footage> infected;  // null: no Infected Layer
  std::vector<long> frames;           // render requests, in order
  std::vector<ControlAssignment> controls;
  std::set<long> resetBefore;
  std::string outDir;  // empty: frames are not written
  FrameFiles frameFiles;
  std::string video;  // empty: no video
  VideoFormat videoFormat;
  std::string contactSheet;  // empty: no contact sheet
  // Replace an earlier render's frames in outDir, and an existing contact sheet or video.
  bool overwrite = false;
  // The contact sheet and video are in outDir and, like the frames, replace only files an
  // earlier render wrote there (the demo's folder).
  bool ownFolder = false;
  bool quiet = false;
};

// Reads the images and checks every option; UsageError names the first problem.
RenderPlan PlanRender(const RenderOptions& options);

// Checks what the options cannot check alone: every frame's time fits the host's time
// fields, every --reset-before frame is rendered. UsageError otherwise.
void CheckPlan(const RenderPlan& plan);

}  // namespace velunary::cli

#endif
