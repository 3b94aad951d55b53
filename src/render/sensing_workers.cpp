#include "render/sensing_workers.h"

#include <algorithm>

#include "sim/move_and_deposit.h"
#include "sim/sense_and_steer.h"
#include "sim/simulation_state.h"
#include "sim/sin_cos.h"

namespace velunary {

namespace {

// Particles between two publications of the movement pass: small enough that a worker
// starts soon after the movement, large enough that waking waiters costs nothing in
// comparison (about a tenth of a millisecond of movement).
constexpr std::int32_t kStretch = 4096;

void Move(const PF_InData* in_data, SinCosMemo* trig, std::atomic<std::int32_t>* moved) {
  const std::int32_t count = simulationState.particleCount;
  for (std::int32_t first = 0; first < count;) {
    const std::int32_t last = count - first > kStretch ? first + kStretch : count;
    MoveAndDepositRange(in_data, first, last, *trig);
    // Release: a worker that sees `last` also sees every particle and pixel written.
    moved->store(last, std::memory_order_release);
    moved->notify_all();
    first = last;
  }
}

void WaitUntilMoved(const std::atomic<std::int32_t>& moved, std::int32_t last) {
  for (std::int32_t seen = moved.load(std::memory_order_acquire); seen < last;
       seen = moved.load(std::memory_order_acquire)) {
    moved.wait(seen, std::memory_order_acquire);
  }
}

// Steering [first, last) stretch by stretch on this thread: the thread's engine and memo
// carry over from one call of SenseAndSteer to the next, so the draws are those of one
// call over the whole range. An empty range still makes one call, which seeds the engine.
void Steer(const std::atomic<std::int32_t>* moved, Particle* particles, int first, int last,
           int width, int height, const PF_EffectWorld* sensing, int seed) {
  int begin = first;
  do {
    const int end = last - begin > kStretch ? begin + kStretch : last;
    WaitUntilMoved(*moved, end);
    SenseAndSteer(particles, begin, end, width, height, sensing, seed);
    begin = end;
  } while (begin < last);
}

}  // namespace

void ParticlePasses::StartMovement(const PF_InData* in_data) {
  movement_ = std::jthread(Move, in_data, &ThreadSinCosMemo(), &moved_);
}

void ParticlePasses::StartSensing(const PF_InData* in_data, const PF_EffectWorld& first,
                                  const PF_EffectWorld& second) {
  Particle* particles = simulationState.particles;
  const int count = simulationState.particleCount;
  // An odd count leaves the extra particle to the second thread.
  const int half = count / 2;
  const int seed = simulationSettings.randomSeed;
  one_ = std::jthread(Steer, &moved_, particles, 0, half, in_data->width, in_data->height, &first,
                      seed);
  two_ = std::jthread(Steer, &moved_, particles, half, count, in_data->width, in_data->height,
                      &second, seed);
}

void ParticlePasses::Join() {
  for (std::jthread* thread : {&movement_, &one_, &two_}) {
    if (thread->joinable()) thread->join();
  }
}

}  // namespace velunary
