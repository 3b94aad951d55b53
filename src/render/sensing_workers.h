// The particle passes of one simulated frame, overlapped. The movement pass runs on a
// thread of its own, in particle order, and publishes how far it has got; two sensing
// workers, one per half of the particles, each steer a stretch of particles as soon as the
// movement pass has moved it. The calling thread stays free for the host's calls meanwhile.
#ifndef VELUNARY_RENDER_SENSING_WORKERS_H
#define VELUNARY_RENDER_SENSING_WORKERS_H

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "pf_effect.h"
#include "sim/sense_and_steer.h"

namespace velunary {

// How many particles, from index 0, the movement pass has finished. A plain lock and
// condition: a worker looks at it once per stretch of particles, so it costs nothing
// measurable, and unlike std::atomic's wait it behaves alike on every standard library.
class MovementProgress {
 public:
  // Records that particles [0, moved) are done and wakes the workers.
  void Publish(std::int32_t moved);
  // Returns once particles [0, count) are done; what the movement pass wrote to them and
  // to the maps is then visible to the caller.
  void WaitFor(std::int32_t count);

 private:
  std::mutex mutex_;
  std::condition_variable published_;
  std::int32_t moved_ = 0;
};

class ParticlePasses {
 public:
  ParticlePasses() = default;
  // Joins every thread still running. The movement thread waits for nothing, and the
  // sensing workers wait only for it, so this always returns.
  ~ParticlePasses() = default;
  ParticlePasses(const ParticlePasses&) = delete;
  ParticlePasses& operator=(const ParticlePasses&) = delete;

  // Starts the movement pass over all particles on a new thread. It lends the calling
  // thread's sine and cosine memo to that thread, so the caller must not use the memo
  // before Join.
  void StartMovement(const PF_InData* in_data);

  // Starts the sensing workers on two new threads, both started before either is joined:
  // the records [0, particleRecords / 2) against `first`, the rest (the odd particle
  // included) against `second`. Each works through its half in order, a particle only
  // once the movement pass has moved it. StartMovement must have been called.
  void StartSensing(const PF_InData* in_data, const SensingImage& first,
                    const SensingImage& second);

  // Waits for the movement thread, if it was started and not yet joined: the maps then
  // hold every deposit of the frame, whatever the sensing workers are still doing.
  void JoinMovement();

  // Waits for the movement thread, then the first worker, then the second, of those
  // started. If a thread cannot be started or joined, std::system_error leaves, and the
  // destructor still joins every thread that runs.
  void Join();

 private:
  MovementProgress progress_;
  // Destroyed (and so joined) in reverse order: the workers before the movement they
  // follow.
  std::jthread movement_;
  std::jthread one_;
  std::jthread two_;
};

}  // namespace velunary

#endif
