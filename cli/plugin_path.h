// Where the renderer finds the effect library when --plugin is not given.
#ifndef VELUNARY_CLI_PLUGIN_PATH_H
#define VELUNARY_CLI_PLUGIN_PATH_H

#include <string>

namespace velunary::cli {

// The effect library in the directory of the running executable (the build puts a copy
// there), found through /proc/self/exe so the working directory does not matter.
std::string DefaultPluginPath();

}  // namespace velunary::cli

#endif
