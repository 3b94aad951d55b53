// Where the renderer finds the effect library when --plugin is not given.
#ifndef VELUNARY_CLI_PLUGIN_PATH_H
#define VELUNARY_CLI_PLUGIN_PATH_H

#include <string>
#include <vector>

namespace velunary::cli {

// The environment variable that names the effect library for every run.
inline constexpr const char* kPluginEnvironmentVariable = "VELUNARY_PLUGIN";

// The places the library is looked for, in order, for an executable in `exeDir`: beside
// the executable (the build tree keeps a copy there), then the private library folder of
// an installed prefix, found relative to the executable so that a moved prefix still
// finds its own library.
std::vector<std::string> PluginCandidates(const std::string& exeDir);

// The library to load: the --plugin value when given, else the environment variable's,
// each made absolute (the system's loader would search its own folders for a bare file
// name), else the first candidate that exists. Throws UsageError naming every place
// looked at when none holds the library.
std::string ResolvePluginPath(const std::string& given);

}  // namespace velunary::cli

#endif
