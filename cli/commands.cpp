#include "commands.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <stdexcept>

#include "controls.h"
#include "error_names.h"
#include "errors.h"
#include "plugin/effect_version.h"
#include "plugin_path.h"
#include "refhost/host.h"
#include "refhost/plugin_library.h"
#include "refhost/session.h"
#include "scenes/demo_controls.h"
#include "scenes/spawn_shape.h"
#include "video_encoder.h"

namespace velunary::cli {
namespace {

refhost::PluginLibrary Load(const std::string& pluginPath) {
  const std::string path = ResolvePluginPath(pluginPath);
  try {
    return refhost::PluginLibrary(path);
  } catch (const std::runtime_error& e) {
    throw UsageError(std::string("cannot load the effect (give its library with --plugin): ") +
                     e.what());
  }
}

}  // namespace

RenderPlan DemoPlan(const std::string& pluginPath, const std::string& outDir) {
  RenderPlan plan;
  plan.pluginPath = ResolvePluginPath(pluginPath);
  plan.width = scenes::kDemoWidth;
  plan.height = scenes::kDemoHeight;
  plan.feedback = true;
  plan.layer = Footage::Still(refhost::Image(plan.width, plan.height, PF_Pixel{255, 0, 0, 0}));
  plan.spawn = Footage::Still(scenes::SpawnDisc(plan.width, plan.height));
  for (long frame = 0; frame < scenes::kDemoFrames; ++frame) plan.frames.push_back(frame);
  for (const scenes::ControlValue& control : scenes::DemoControls()) {
    ControlAssignment a;
    a.name = control.name;
    a.value = FormatValue(control.value, 6);
    a.option = "demo setting \"" + a.name + "=" + a.value + "\"";
    plan.controls.push_back(a);
  }
  plan.outDir = outDir;
  // The demo's folder is its own: a second demo replaces the first.
  plan.overwrite = true;
  plan.contactSheet = outDir + "/contact-sheet.png";
  if (!FindFfmpeg().empty()) plan.video = outDir + "/velunary-demo.mp4";
  return plan;
}

std::string VersionText() {
  return std::to_string(kMajorVersion) + "." + std::to_string(kMinorVersion);
}

int PrintParams(const std::string& pluginPath) {
  const refhost::PluginLibrary library = Load(pluginPath);
  refhost::Host host;
  refhost::Session session(host, library.EffectMain(), 1, 1, refhost::FrameRate{});
  CheckEffect(session.GlobalSetup(), "global setup");
  const PF_Err err = session.ParamsSetup();
  const std::string table = err == PF_Err_NONE ? ControlsTable(host) : "";
  session.GlobalSetdown();
  CheckEffect(err, "parameter setup");
  std::fputs(table.c_str(), stdout);
  return 0;
}

int PrintAbout(const std::string& pluginPath) {
  const refhost::PluginLibrary library = Load(pluginPath);
  refhost::Host host;
  refhost::Session session(host, library.EffectMain(), 1, 1, refhost::FrameRate{});
  CheckEffect(session.GlobalSetup(), "global setup");
  std::string text;
  const PF_Err err = session.About(&text);
  session.GlobalSetdown();
  CheckEffect(err, "the about request");
  // The effect separates its lines with a lone carriage return, as the host's about box
  // expects; a terminal needs line feeds.
  std::replace(text.begin(), text.end(), '\r', '\n');
  std::printf("%s\n", text.c_str());
  return 0;
}

}  // namespace velunary::cli
