// A change recorded at frame f leaves every earlier frame's value as it was, to the bit,
// on the first pass and on later ones, and the keys file written from the recording gives
// a renderer's host the very same timeline.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "controls.h"
#include "keys_file.h"
#include "recorded_timeline.h"
#include "refhost/plugin_library.h"
#include "refhost/session.h"

namespace velunary::preview {
namespace {

constexpr int kFrames = 120;

// The effect's controls declared in a host, with the command line's assignments applied.
struct Declared {
  explicit Declared(const std::vector<cli::ControlAssignment>& assignments)
      : library(VELUNARY_PLUGIN), session(host, library.EffectMain(), 64, 36, {}) {
    EXPECT_EQ(session.GlobalSetup(), PF_Err_NONE);
    EXPECT_EQ(session.ParamsSetup(), PF_Err_NONE);
    cli::ApplyControls(host, assignments);
  }
  ~Declared() { session.GlobalSetdown(); }
  std::vector<double> Values(int index) const {
    std::vector<double> values;
    for (int t = 0; t < kFrames; ++t) values.push_back(host.ValueAt(index, t));
    return values;
  }
  refhost::PluginLibrary library;
  refhost::Host host;
  refhost::Session session;
};

bool SameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

struct Change {
  const char* name;
  int frame;
  double value;
};

TEST(RecordedTimeline, ChangesLeaveEarlierFramesExactlyAsSeenAndSaveExactly) {
  struct Case {
    const char* what;
    std::vector<std::string> keys;  // the command line's --key values
    std::vector<Change> changes;    // in the order the user made them
  } cases[] = {
      {"a constant slider, then a later pass", {}, {{"Decay", 30, 0.35}, {"Decay", 10, 0.7}}},
      {"between keyframes that interpolate",
       {"Decay@0=0.1", "Decay@100=0.9"},
       {{"Decay", 37, 0.25}, {"Decay", 38, 0.3}, {"Decay", 71, 0.55}}},
      {"dragged while paused", {}, {{"Sensor Angle", 20, 10}, {"Sensor Angle", 20, 11.5}}},
      {"before the first keyframe", {"Turn Angle@50=90"}, {{"Turn Angle", 20, 10}}},
      {"a checkbox with a later keyframe",
       {"Infection@60=1"},
       {{"Infection", 25, 1}, {"Infection", 40, 0}}},
      {"at frame 0", {"Trail Color@30=200"}, {{"Trail Color", 0, 20}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<cli::ControlAssignment> assignments;
    for (const std::string& key : c.keys) assignments.push_back(cli::ParseKey(key));
    std::vector<cli::KeysEntry> entries;
    std::map<int, std::vector<double>> seen;  // every slider's and checkbox's values
    {
      Declared preview(assignments);
      RecordedTimeline timeline(preview.host, assignments, {});
      for (const Change& change : c.changes) {
        const int index = preview.host.FindParam(change.name);
        const std::vector<double> before = preview.Values(index);
        timeline.Change(index, change.frame, change.value);
        const std::vector<double> after = preview.Values(index);
        for (int t = 0; t < change.frame; ++t) {
          EXPECT_TRUE(SameBits(before[t], after[t])) << change.name << " frame " << t;
        }
        EXPECT_EQ(after[change.frame], change.value);
      }
      timeline.PressReset(12);
      entries = timeline.Entries();
      for (int index = 1; index < preview.host.ParamCount(); ++index) {
        const PF_ParamType type = preview.host.Param(index).param_type;
        if (type == PF_Param_FLOAT_SLIDER || type == PF_Param_CHECKBOX) {
          seen[index] = preview.Values(index);
        }
      }
    }

    // The renderer reads the recording back through the keys file's options.
    cli::RenderOptions options;
    for (const auto& [option, value] : entries) {
      if (option == "--key") options.keys.push_back(value);
      if (option == "--set") options.sets.push_back(value);
      if (option == "--reset-before") options.resetBefore.push_back(value);
    }
    EXPECT_EQ(options.resetBefore, std::vector<std::string>{"12"});
    std::vector<cli::ControlAssignment> read;
    for (const std::string& key : options.keys) read.push_back(cli::ParseKey(key));
    for (const std::string& set : options.sets) read.push_back(cli::ParseSet(set));
    Declared render(read);
    for (const auto& [index, values] : seen) {
      const std::vector<double> rendered = render.Values(index);
      for (int t = 0; t < kFrames; ++t) {
        EXPECT_TRUE(SameBits(values[t], rendered[t])) << render.host.Param(index).name << " " << t;
      }
    }
  }
}

}  // namespace
}  // namespace velunary::preview
