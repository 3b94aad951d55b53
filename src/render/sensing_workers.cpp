#include "render/sensing_workers.h"

#include <thread>

#include "sim/sense_and_steer.h"
#include "sim/simulation_state.h"

namespace velunary {

void RunSensingWorkers(const PF_InData* in_data, const PF_EffectWorld& first,
                       const PF_EffectWorld& second) {
  Particle* particles = simulationState.particles;
  const int count = simulationState.particleCount;
  // An odd count leaves the extra particle to the second thread.
  const int half = count / 2;
  const int seed = simulationSettings.randomSeed;
  // std::jthread joins on destruction: if the second thread cannot be started, or the
  // first join throws, unwinding joins whatever runs, so no thread outlives the frame.
  std::jthread one(SenseAndSteer, particles, 0, half, in_data->width, in_data->height, &first,
                   seed);
  std::jthread two(SenseAndSteer, particles, half, count, in_data->width, in_data->height, &second,
                   seed);
  one.join();
  two.join();
}

}  // namespace velunary
