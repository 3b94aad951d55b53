#include "commands.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <stdexcept>

#include "controls.h"
#include "error_names.h"
#include "errors.h"
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
  plan.pluginPath = pluginPath;
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
  // A second demo replaces the first, and nothing else: what it did not write stays.
  plan.overwrite = true;
  plan.ownFolder = true;
  plan.contactSheet = outDir + "/contact-sheet.png";
  if (!FindFfmpeg().empty()) plan.video = outDir + "/velunary-demo.mp4";
  return plan;
}

std::string VersionText(const std::string& pluginPath) {
  const refhost::PluginLibrary library = Load(pluginPath);
  refhost::Host host;
  refhost::Session session(host, library.EffectMain(), 1, 1, refhost::FrameRate{});
  CheckEffect(session.GlobalSetup(), "global setup");
  // The host's packed word: major from bit 19, minor from bit 15, bug fix from bit 11.
  const A_u_long packed = session.OutData().my_version;
  session.GlobalSetdown();
  char version[48];
  const unsigned fix = (packed >> 11) & 0xF;
  std::snprintf(version, sizeof version, fix != 0 ? "%u.%u.%u" : "%u.%u", (packed >> 19) & 0x7F,
                (packed >> 15) & 0xF, fix);
  return "velunary: effect library " + ResolvePluginPath(pluginPath) + ", version " + version;
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
