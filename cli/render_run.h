// Runs a render plan: loads the effect library, drives it through the reference host as
// the compositing application would (global setup, parameter setup, renders and button
// presses, global setdown) and hands each output to the frame writer.
#ifndef VELUNARY_CLI_RENDER_RUN_H
#define VELUNARY_CLI_RENDER_RUN_H

#include <string>
#include <vector>

#include "render_plan.h"

namespace velunary::cli {

// Returns 0, or 128 + the signal after SIGINT, SIGTERM or SIGHUP (the frames rendered before it are
// written completely). Throws UsageError for anything refused before the first render (outputs that
// cannot be written, a missing ffmpeg, an unloadable library, unknown or invalid controls) and
// RenderFailure when the effect or an output fails on the way.
int RunRender(const RenderPlan& plan);

// The names of the frame files the plan writes into its --out folder (none without one).
std::vector<std::string> FrameNames(const RenderPlan& plan);

// Refuses with UsageError, naming both, an output that is an input (the plug-in library
// at `pluginPath` included) or another output; checked before anything is touched.
void CheckApart(const RenderPlan& plan, const std::string& pluginPath,
                const std::vector<std::string>& frameNames);

}  // namespace velunary::cli

#endif
