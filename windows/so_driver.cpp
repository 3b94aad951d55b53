// The Linux counterpart of the Windows driver: runs the same plug-in session through the
// shared library, loaded at run time as a host would, and writes its frames the same way,
// so the two platforms' builds can be compared frame by frame.
//
// Usage: so_driver <path to the plug-in library> <output directory>
// Exit status 0 when every check passed, 1 otherwise (each failure printed on stderr).
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "refhost/plugin_library.h"
#include "windows/plugin_session.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <plug-in library> <output directory>\n", argv[0]);
    return 2;
  }
  try {
    const refhost::PluginLibrary library(argv[1]);
    std::vector<std::string> failures =
        velunary::platform::CheckPluginDataEntry(library.PluginDataEntry());
    const std::vector<std::string> session =
        velunary::platform::RunPluginSession(library.EffectMain(), argv[2]);
    failures.insert(failures.end(), session.begin(), session.end());
    for (const std::string& failure : failures) {
      std::fprintf(stderr, "FAIL: %s\n", failure.c_str());
    }
    return failures.empty() ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "FAIL: %s\n", e.what());
    return 1;
  }
}
