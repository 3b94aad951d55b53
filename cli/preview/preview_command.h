// `velunary preview`: the render options, a window instead of output files (frames may
// still be written with --out), and what makes the preview scriptable and reproducible.
#ifndef VELUNARY_PREVIEW_PREVIEW_COMMAND_H
#define VELUNARY_PREVIEW_PREVIEW_COMMAND_H

#include <string>

#include "render_plan.h"

namespace velunary::preview {

struct PreviewOptions {
  std::string script;      // timed changes; with --frames, runs without waiting
  std::string saveKeys;    // the keys file written at the end (and by "Save keys")
  std::string screenshot;  // the window as a PNG at the end
};

// Returns 0 when the window was closed (or the script ran) and the keys were saved.
// Throws UsageError for refused options and RenderFailure for what fails on the way.
int RunPreview(const cli::RenderOptions& render, const PreviewOptions& options);

}  // namespace velunary::preview

#endif
