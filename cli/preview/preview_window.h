// The preview's window: the newest frame scaled to fit beside the control panel, redrawn
// as frames arrive, with SDL for the window and input and Dear ImGui for the panel.
#ifndef VELUNARY_PREVIEW_PREVIEW_WINDOW_H
#define VELUNARY_PREVIEW_PREVIEW_WINDOW_H

#include <string>

#include "control_panel.h"
#include "preview_engine.h"

namespace velunary::preview {

struct WindowOptions {
  // Scripted: no waiting for the display; the window closes when the simulation rests.
  bool scripted = false;
  std::string screenshot;  // "" or the PNG the window is written to at the end
};

// Runs the window until it is closed (or, scripted, the simulation rests). Throws
// RenderFailure when no window can be opened, or the screenshot cannot be written.
void RunWindow(PreviewEngine& engine, ControlPanel& panel, int width, int height,
               const WindowOptions& options);

}  // namespace velunary::preview

#endif
