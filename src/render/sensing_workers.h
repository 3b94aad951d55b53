// The particle passes of one simulated frame, overlapped. The movement pass runs on a
// thread of its own, in particle order, and publishes how far it has got; the sensing
// pass, cut into chunks, follows it on every thread that is free: the calling thread
// between its host calls, the movement thread once it has moved every particle, and one
// more thread for each processor beyond two.
#ifndef VELUNARY_RENDER_SENSING_WORKERS_H
#define VELUNARY_RENDER_SENSING_WORKERS_H

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "pf_effect.h"
#include "render/movement_progress.h"
#include "render/steering_chunks.h"
#include "sim/sense_and_steer.h"

namespace velunary {

// Threads that steer, the calling thread and the movement thread included: one for each
// processor, and never fewer than those two.
int SteeringThreads();

class ParticlePasses {
 public:
  ParticlePasses() = default;
  // Joins every thread still running. A movement thread whose sensing never started is
  // told so and ends after the movement; the others wait only for the movement, so this
  // always returns.
  ~ParticlePasses();
  ParticlePasses(const ParticlePasses&) = delete;
  ParticlePasses& operator=(const ParticlePasses&) = delete;

  // Starts the movement pass over all particles on a new thread. It lends the calling
  // thread's sine and cosine memo to that thread, so the caller must not use the memo
  // before Join. Once it has moved every particle, the thread steers chunks too.
  void StartMovement(const PF_InData* in_data);

  // Starts the sensing pass: the records [0, particleRecords / 2) against `first`, the
  // rest against `second`, a particle only once the movement pass has moved it. Threads
  // for the processors beyond two start steering at once. StartMovement must have been
  // called, and ReserveSteeringScratch(particleRecords, SteeringThreads()) must have
  // succeeded.
  void StartSensing(const PF_InData* in_data, const SensingImage& first,
                    const SensingImage& second);

  // The calling thread steers chunks while the movement pass is still running.
  void SteerWhileMoving();

  // Returns once every particle has moved: the maps then hold every deposit of the frame,
  // whatever the steering threads are still doing.
  void WaitForMovement();

  // The calling thread steers chunks until none is left to take.
  void SteerRest();

  // Waits for every thread started: every particle is then moved and steered. If a thread
  // cannot be started or joined, std::system_error leaves, and the destructor still joins
  // every thread that runs.
  void Join();

 private:
  // The movement thread's sensing: waits for StartSensing, or for the word that there
  // will be none, and steers chunks until none is left.
  void SteerAfterMoving();
  // Steers chunks with `trig` until none is left to take.
  void SteerUntilNoneLeft(SinCosMemo& trig);

  MovementProgress progress_;
  std::int32_t count_ = 0;
  std::mutex mutex_;
  std::condition_variable sensingDecided_;
  bool abandoned_ = false;
  // Set once, under the mutex, by StartSensing.
  std::optional<SteeringChunks> chunks_;
  // Destroyed (and so joined) in reverse order: the helpers, then the movement thread.
  std::jthread movement_;
  std::vector<std::jthread> helpers_;
};

}  // namespace velunary

#endif
