// One agent of the simulation.
#ifndef VELUNARY_SIM_PARTICLE_H
#define VELUNARY_SIM_PARTICLE_H

#include <cstdint>

namespace velunary {

struct Particle {
  double x;               // pixels from the layer's left edge
  double y;               // pixels from the top row; y grows downwards
  double heading;         // radians, never wrapped; new particles get a whole number 0..359
  std::uint8_t infected;  // 0 healthy, 1 infected; never goes back to 0
};

}  // namespace velunary

#endif
