// The preview's panel: transport (play, pause, step, restart), the frame and rates, and
// every control of the effect as its host would show it: sliders over each control's
// travel with its label, the checkbox, the layers chosen by path, the "Reset particles"
// button, and the groups as collapsible sections. Every change goes to the engine.
#ifndef VELUNARY_PREVIEW_CONTROL_PANEL_H
#define VELUNARY_PREVIEW_CONTROL_PANEL_H

#include <map>
#include <string>

#include "preview_engine.h"

namespace velunary::preview {

class ControlPanel {
 public:
  // `layerPaths`: the layers as the command line named them, by parameter index.
  // `saveKeys`: the keys file the "Save keys" button writes ("" hides the button).
  ControlPanel(PreviewEngine& engine, const std::map<int, std::string>& layerPaths,
               std::string saveKeys);

  // Draws the panel into the current ImGui frame at the window's right edge, `width`
  // wide, for the newest frame `shown`; `displayRate` is the window's frames per second.
  void Draw(const ShownFrame& shown, long generation, float width, double displayRate);

  // Writes the keys file named at construction; returns "" or what failed.
  std::string SaveKeys();

 private:
  void DrawTransport(const ShownFrame& shown, double displayRate);
  void DrawControl(const ControlInfo& control, const ShownFrame& shown);
  void DrawLayer(const ControlInfo& control);

  PreviewEngine& engine_;
  std::map<int, std::string> layerPaths_;
  const std::string saveKeys_;
  // Values the user set that the shown frame does not carry yet (they apply from the
  // next frame): the value, and the frame generation it was set at.
  std::map<int, std::pair<double, long>> pending_;
  long generation_ = 0;
  std::string message_;
};

}  // namespace velunary::preview

#endif
