#include "scenes/demo_controls.h"

namespace velunary::scenes {

std::vector<ControlValue> DemoControls() {
  return {
      {"Sensor Angle", 45}, {"Turn Angle", 45},  {"Sensor Distance", 9},
      {"Decay", 0.1},       {"Trail Color", 50}, {"Particle Count in %", 15},
  };
}

}  // namespace velunary::scenes
