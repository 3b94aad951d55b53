#include "recorded_timeline.h"

namespace velunary::preview {

RecordedTimeline::RecordedTimeline(refhost::Host& host,
                                   const std::vector<cli::ControlAssignment>& assignments,
                                   const std::set<long>& resets)
    : host_(host), resets_(resets) {
  for (int i = 0; i < host_.ParamCount(); ++i) names_[i] = host_.Param(i).name;
  // The host holds the parsed values: a keyframe's value is the value at its frame, a
  // constant's the value anywhere.
  for (const cli::ControlAssignment& a : assignments) {
    const int index = host_.FindParam(a.name);
    const double value = host_.ValueAt(index, a.frame.value_or(0));
    if (a.frame) {
      controls_[index].keys[*a.frame] = value;
    } else {
      controls_[index].constant = value;
    }
  }
}

void RecordedTimeline::Key(int index, int frame, double value) {
  host_.SetKeyframe(index, frame, value);
  controls_[index].keys[frame] = value;
}

void RecordedTimeline::Change(int index, int frame, double value) {
  const Control& control = controls_[index];
  if (frame > 0) {
    const bool slider = host_.Param(index).param_type == PF_Param_FLOAT_SLIDER;
    const auto later = control.keys.lower_bound(frame);
    const bool keysAfter = later != control.keys.end();
    const auto before = control.keys.upper_bound(frame - 1);
    const bool keyBefore = before != control.keys.begin();
    // The frames whose values must be pinned, with the values they had.
    const int first = slider && keysAfter && keyBefore ? std::prev(before)->first + 1 : frame - 1;
    std::vector<std::pair<int, double>> pins;
    for (int t = first; t <= frame - 1; ++t) pins.emplace_back(t, host_.ValueAt(index, t));
    for (const auto& [t, v] : pins) Key(index, t, v);
  }
  Key(index, frame, value);
}

std::vector<cli::KeysEntry> RecordedTimeline::Entries() const {
  std::vector<cli::KeysEntry> entries;
  for (const auto& [index, control] : controls_) {
    const std::string& name = names_.at(index);
    if (control.keys.empty()) {
      entries.emplace_back("--set", name + "=" + cli::ExactNumber(*control.constant));
    }
    for (const auto& [frame, value] : control.keys) {
      entries.emplace_back("--key",
                           name + "@" + std::to_string(frame) + "=" + cli::ExactNumber(value));
    }
  }
  for (long frame : resets_) entries.emplace_back("--reset-before", std::to_string(frame));
  return entries;
}

}  // namespace velunary::preview
