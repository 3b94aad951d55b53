// The renderer's option values, from text to checked values. Every parser throws
// UsageError with a message that names the option and the offending text.
#ifndef VELUNARY_CLI_OPTION_PARSING_H
#define VELUNARY_CLI_OPTION_PARSING_H

#include <optional>
#include <string>
#include <vector>

#include "refhost/session.h"

namespace velunary::cli {

struct LayerSize {
  int width = 0;
  int height = 0;
};

// "WxH" with both sides from 1 to kMaxImageSide.
LayerSize ParseSize(const std::string& text);

// A frame rate as a whole number ("24"), a decimal ("29.97") or a fraction ("30000/1001"),
// turned into time_scale / time_step exactly and in lowest terms: 29.97 is 2997/100,
// a frame lasting time_step = 100 units of 1/2997 s.
refhost::FrameRate ParseFrameRate(const std::string& text);

// "0,1,2,5,2": frame indices from 0, in the order given, repeats allowed.
// A render rate every video container takes as it is: from 0.01 to 1000 frames a
// second, its time scale and step each at most a million (30000/1001 is fine; 1/1000000000
// would be rounded or refused by the muxer after the whole render). UsageError naming
// `what` otherwise.
void CheckRenderRate(refhost::FrameRate rate, const std::string& what);

std::vector<long> ParseFrameList(const std::string& text);

// A control value given on the command line, before the effect's controls are known.
struct ControlAssignment {
  std::string option;        // the option as written, for messages: --set "Decay=0.5"
  std::string name;          // the display name, compared case-insensitively later
  std::optional<int> frame;  // a keyframe's frame; none for a constant value
  std::string value;         // the value text, read by the control's type later
};

// "NAME=VALUE".
ControlAssignment ParseSet(const std::string& text);
// "NAME@FRAME=VALUE".
ControlAssignment ParseKey(const std::string& text);

// A whole number, the entire text, within [min, max]; `what` names it in the message.
long ParseWholeNumber(const std::string& text, long min, long max, const std::string& what);

// A finite decimal number, the entire text; nullopt otherwise.
std::optional<double> ParseNumber(const std::string& text);

}  // namespace velunary::cli

#endif
