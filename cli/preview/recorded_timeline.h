// What the user does in the live preview, recorded as keyframes so that a render of the
// recording gives the very frames the preview showed.
//
// A change of a control at frame f takes effect from f on and must leave every frame
// before f as it was seen. Sliders move linearly between keyframes and hold before the
// first and after the last, so a keyframe at f alone would reach back in time. The change
// therefore also pins the value of frame f - 1: with no keyframe after it that is one
// keyframe (a hold between two equal values is exact), and where later keyframes exist
// (a second pass after a restart) every frame since the last keyframe before f is pinned,
// because re-interpolating between different keyframes need not give the same bits. A
// checkbox holds its value until the next keyframe, so pinning f - 1 is always enough.
// Keyframes after f stay: playing on, the control moves from the new value towards them.
#ifndef VELUNARY_PREVIEW_RECORDED_TIMELINE_H
#define VELUNARY_PREVIEW_RECORDED_TIMELINE_H

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "keys_file.h"
#include "option_parsing.h"
#include "refhost/host.h"

namespace velunary::preview {

class RecordedTimeline {
 public:
  // Takes over the controls the host already holds from the command line (`assignments`,
  // applied), so that the recording repeats them, and the --reset-before frames.
  RecordedTimeline(refhost::Host& host, const std::vector<cli::ControlAssignment>& assignments,
                   const std::set<long>& resets);

  // The user set control `index` (a slider or checkbox) to `value` from `frame` on.
  void Change(int index, int frame, double value);
  // The user pressed "Reset particles" before `frame` was simulated.
  void PressReset(long frame) { resets_.insert(frame); }
  // Whether a press is recorded before `frame` (replayed on every pass).
  bool ResetBefore(long frame) const { return resets_.count(frame) != 0; }

  // The recording as keys-file entries: each control's constant or keyframes, the resets.
  std::vector<cli::KeysEntry> Entries() const;

 private:
  struct Control {
    std::optional<double> constant;
    std::map<int, double> keys;
  };
  void Key(int index, int frame, double value);

  refhost::Host& host_;
  std::map<int, std::string> names_;  // read once: Entries may run on another thread
  std::map<int, Control> controls_;
  std::set<long> resets_;
};

}  // namespace velunary::preview

#endif
