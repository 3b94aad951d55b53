// How far the movement pass has got, for the threads that steer the particles behind it.
#ifndef VELUNARY_RENDER_MOVEMENT_PROGRESS_H
#define VELUNARY_RENDER_MOVEMENT_PROGRESS_H

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace velunary {

// How many particles, from index 0, the movement pass has finished. A plain lock and
// condition: a thread looks at it once per chunk of particles, so it costs nothing
// measurable, and unlike std::atomic's wait it behaves alike on every standard library.
class MovementProgress {
 public:
  // Records that particles [0, moved) are done and wakes the waiting threads.
  void Publish(std::int32_t moved);
  // Returns once particles [0, count) are done; what the movement pass wrote to them and
  // to the maps is then visible to the caller.
  void WaitFor(std::int32_t count);
  // Whether particles [0, count) are done, without waiting; when true, as after WaitFor.
  bool Reached(std::int32_t count);

 private:
  std::mutex mutex_;
  std::condition_variable published_;
  std::int32_t moved_ = 0;
};

}  // namespace velunary

#endif
