// The renderer's commands besides `render`: the demo, the list of controls, the about text.
#ifndef VELUNARY_CLI_COMMANDS_H
#define VELUNARY_CLI_COMMANDS_H

#include <string>

#include "render_plan.h"

namespace velunary::cli {

// The built-in scene with the effect's output fed back as its layer, particles starting on
// a disc, a contact sheet and (when ffmpeg is installed) a video, all into `outDir`.
RenderPlan DemoPlan(const std::string& pluginPath, const std::string& outDir);

// Print the effect's controls or its about text on standard output; return the exit code.
int PrintParams(const std::string& pluginPath);
int PrintAbout(const std::string& pluginPath);

// "velunary: effect library PATH, version 1.0": the version the loaded library tells the
// host at global setup, so an installed renderer never reports another library's number.
std::string VersionText(const std::string& pluginPath);

}  // namespace velunary::cli

#endif
