// Where the renderer finds the effect library when --plugin is not given.
#ifndef VELUNARY_CLI_PLUGIN_PATH_H
#define VELUNARY_CLI_PLUGIN_PATH_H

#include <string>

namespace velunary::cli {

// The effect library in the directory of the running executable (the build puts a copy
// there), found through /proc/self/exe so the working directory does not matter.
std::string DefaultPluginPath();

// The library to load for a --plugin value: the default when it is empty, otherwise the
// path made absolute, since the system's loader would search its library directories for
// a bare file name instead of the working directory.
std::string ResolvePluginPath(const std::string& given);

}  // namespace velunary::cli

#endif
