// A preview script: timed changes applied as if the user made them, so a preview can run
// without anyone at the window. One change a line; blank lines and '#' lines are ignored:
//
//     0 Particle Count in %=5
//     40 Decay=0.35
//     60 reset
//     90 Infection=on
//
// "FRAME NAME=VALUE" sets a control from that frame on (the value as --set takes it);
// "FRAME reset" presses "Reset particles" before that frame.
#ifndef VELUNARY_PREVIEW_PREVIEW_SCRIPT_H
#define VELUNARY_PREVIEW_PREVIEW_SCRIPT_H

#include <string>
#include <vector>

#include "option_parsing.h"

namespace velunary::preview {

struct ScriptLine {
  long frame = 0;
  bool reset = false;
  cli::ControlAssignment assignment;  // unless `reset`
};

// UsageError naming the file and line for an unreadable file or a malformed line.
std::vector<ScriptLine> ReadScript(const std::string& path);

}  // namespace velunary::preview

#endif
