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

// The sensing workers' sine and cosine memos. The workers are new threads every frame, and
// a memo of their own would start empty each time; these are lent to them instead, one
// to each, and keep the frames' headings from one frame to the next.
SinCosMemo workerMemos[2];

void Move(const PF_InData* in_data, SinCosMemo* trig, MovementProgress* progress) {
  const std::int32_t count = simulationState.particleRecords;
  for (std::int32_t first = 0; first < count;) {
    const std::int32_t last = count - first > kStretch ? first + kStretch : count;
    MoveAndDepositRange(in_data, first, last, *trig);
    progress->Publish(last);
    first = last;
  }
}

// Steering [first, last) stretch by stretch on this thread: the thread's engine and memo
// carry over from one call of SenseAndSteer to the next, so the draws are those of one
// call over the whole range. An empty range still makes one call, which seeds the engine.
void Steer(MovementProgress* progress, Particle* particles, int first, int last, int width,
           int height, SensingImage sensing, int seed, SinCosMemo* trig) {
  int begin = first;
  do {
    const int end = last - begin > kStretch ? begin + kStretch : last;
    progress->WaitFor(end);
    SenseAndSteer(particles, begin, end, width, height, sensing, seed, *trig);
    begin = end;
  } while (begin < last);
}

}  // namespace

void MovementProgress::Publish(std::int32_t moved) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    moved_ = moved;
  }
  published_.notify_all();
}

void MovementProgress::WaitFor(std::int32_t count) {
  std::unique_lock<std::mutex> lock(mutex_);
  published_.wait(lock, [&] { return moved_ >= count; });
}

void ParticlePasses::StartMovement(const PF_InData* in_data) {
  movement_ = std::jthread(Move, in_data, &ThreadSinCosMemo(), &progress_);
}

void ParticlePasses::StartSensing(const PF_InData* in_data, const SensingImage& first,
                                  const SensingImage& second) {
  Particle* particles = simulationState.particles;
  const int count = simulationState.particleRecords;
  // An odd count leaves the extra particle to the second thread.
  const int half = count / 2;
  const int seed = simulationSettings.randomSeed;
  one_ = std::jthread(Steer, &progress_, particles, 0, half, in_data->width, in_data->height, first,
                      seed, &workerMemos[0]);
  two_ = std::jthread(Steer, &progress_, particles, half, count, in_data->width, in_data->height,
                      second, seed, &workerMemos[1]);
}

void ParticlePasses::JoinMovement() {
  if (movement_.joinable()) movement_.join();
}

void ParticlePasses::Join() {
  for (std::jthread* thread : {&movement_, &one_, &two_}) {
    if (thread->joinable()) thread->join();
  }
}

}  // namespace velunary
