// The effect's controls by display name: giving them values and keyframes from the command
// line, and the table that `velunary params` prints.
#ifndef VELUNARY_CLI_CONTROLS_H
#define VELUNARY_CLI_CONTROLS_H

#include <string>
#include <vector>

#include "option_parsing.h"
#include "refhost/host.h"

namespace velunary::cli {

// Resolves every assignment among the controls the effect declared (the host must hold the
// declarations) and gives the host its constant or keyframe. A name no control has, a
// control that takes no value (layers, groups, the button), a value of the wrong kind or
// outside the control's range, and one control given both --set and --key are refused
// with UsageError naming the option. A later --set of the same control replaces an earlier
// one; keyframes add up.
void ApplyControls(refhost::Host& host, const std::vector<ControlAssignment>& assignments);

// The index of the control an assignment names; UsageError naming the option when the
// effect has none of that name.
int ControlIndex(const refhost::Host& host, const ControlAssignment& a);
// The value an assignment gives control `index`: a checkbox's on, off, 1 or 0, a slider's
// number within its range. UsageError naming the option otherwise, and for controls that
// take no value.
double ControlValue(const refhost::Host& host, int index, const ControlAssignment& a);

// The index of the first declared button (the "Reset particles" button); UsageError when
// the effect declares none.
int FindResetButton(const refhost::Host& host);

// One line per control --set and --key take (name, type, range and default), then the
// layers and the button with the options that set them.
std::string ControlsTable(const refhost::Host& host);

// A value with at most `decimals` places and no trailing zeros: 0.1, 45, -32768.
std::string FormatValue(double value, int decimals);

}  // namespace velunary::cli

#endif
