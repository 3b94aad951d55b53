// The settings of the built-in demo: with the effect's output fed back as its layer and
// particles starting on a disc, these grow a visible network within a few seconds.
#ifndef VELUNARY_SCENES_DEMO_CONTROLS_H
#define VELUNARY_SCENES_DEMO_CONTROLS_H

#include <vector>

namespace velunary::scenes {

// A control by its display name, as the effect declares it, and a constant value.
struct ControlValue {
  const char* name;
  double value;
};

inline constexpr int kDemoWidth = 1280;
inline constexpr int kDemoHeight = 720;
inline constexpr int kDemoFrames = 120;  // five seconds at 24 frames per second

std::vector<ControlValue> DemoControls();

}  // namespace velunary::scenes

#endif
