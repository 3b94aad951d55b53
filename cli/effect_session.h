// One session of the effect for a render plan: the library loaded, global and parameter
// setup sent, the controls and layers given to the host, then one render call per
// request. The renderer and the live preview drive the effect through it alike, so that
// what the preview shows is what the renderer renders.
#ifndef VELUNARY_CLI_EFFECT_SESSION_H
#define VELUNARY_CLI_EFFECT_SESSION_H

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "refhost/host.h"
#include "refhost/plugin_library.h"
#include "refhost/session.h"
#include "render_plan.h"

namespace velunary::cli {

class EffectSession {
 public:
  // Loads the library at `pluginPath`, sets the effect up and applies the plan's controls
  // and layers (fitted to the layer size as the plan asks). Throws UsageError for what the
  // plan asks and the effect refuses (an unloadable library, unknown controls, values out
  // of range) and RenderFailure when setup fails.
  EffectSession(const RenderPlan& plan, const std::string& pluginPath);
  // Sends global setdown.
  ~EffectSession();
  EffectSession(const EffectSession&) = delete;
  EffectSession& operator=(const EffectSession&) = delete;

  refhost::Host& Host() { return host_; }
  refhost::Session& Session() { return *session_; }

  // Hands the host a layer for `index` (0, the layer itself, or a declared layer): a
  // still as one image, footage frame by frame on demand. Null removes the layer (for 0:
  // the effect's own previous output when the plan is feedback). The session keeps the
  // footage alive.
  void PresentLayer(int index, std::shared_ptr<Footage> footage);
  // The index of a declared layer control by display name; UsageError when there is none.
  int LayerIndex(const char* name) const;

  // Finds the "Reset particles" button now rather than at the first press; UsageError
  // when the effect declares none.
  void RequireResetButton();

  // Presses "Reset particles" when `reset`, then renders `frame`. Returns "" or what
  // failed, in words (the effect's error by name, or the footage's reason).
  std::string Render(long frame, bool reset);
  // The output of the last successful render.
  refhost::Image Output() const { return session_->Output(); }

 private:
  const bool feedback_;
  const int width_;
  const int height_;
  const Fit fit_;
  std::optional<refhost::PluginLibrary> library_;
  refhost::Host host_;
  std::unique_ptr<refhost::Session> session_;
  bool setUp_ = false;
  int resetButton_ = -1;
  std::vector<std::pair<int, std::shared_ptr<Footage>>> footage_;
};

}  // namespace velunary::cli

#endif
