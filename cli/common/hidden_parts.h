// The hidden names files are written under until they are whole, so that a render killed
// outright leaves at most a hidden part, never a truncated file under the output's name.
#ifndef VELUNARY_CLI_HIDDEN_PARTS_H
#define VELUNARY_CLI_HIDDEN_PARTS_H

#include <string>

namespace velunary::cli {

// The hidden name beside `target` that this process writes it under, ".part-PID-NAME".
std::string PartPath(const std::string& target);

// Removes the hidden ".part-PID-…" files in `dir` whose process no longer runs.
void RemoveStaleParts(const std::string& dir);

}  // namespace velunary::cli

#endif
