// The sensing pass cut into chunks that any thread may take, with the draws of the two
// halves of the particle array as if each half were steered in order on a thread of its
// own.
//
// The particles [0, count / 2) steer against the first sensing image and draw from an
// engine seeded with the frame's seed; the rest (the odd particle included) against the
// second image, from a second engine seeded alike. The heavy part of a chunk (its sensors,
// reads and the turns that need no draw) depends on its own particles alone, so chunks run
// on whichever thread is free. The draws follow each half's engine in particle order: when
// a chunk is done, the draws of its half are made for every finished chunk in a row from
// the first one not yet drawn, by whichever thread finds them ready.
#ifndef VELUNARY_RENDER_STEERING_CHUNKS_H
#define VELUNARY_RENDER_STEERING_CHUNKS_H

#include <atomic>
#include <cstdint>
#include <mutex>

#include "render/movement_progress.h"
#include "sim/particle.h"
#include "sim/random.h"
#include "sim/sense_and_steer.h"
#include "sim/sin_cos.h"

namespace velunary {

// Takes the memory the chunks of `count` particles need, kept from frame to frame, and a
// sine and cosine memo for each of `threads` steering threads. Answers false, having
// changed nothing a frame relies on, when the memory is not to be had.
bool ReserveSteeringScratch(std::int32_t count, int threads);

// Frees what ReserveSteeringScratch took.
void ReleaseSteeringScratch();

// The memo of steering thread `thread` (below the count reserved): memos outlive the
// frame's threads, so a frame's headings are found again in the next.
SinCosMemo& SteeringMemo(int thread);

class SteeringChunks {
 public:
  // For particles [0, count), which ReserveSteeringScratch(count, ...) made room for.
  SteeringChunks(Particle* particles, std::int32_t count, int width, int height,
                 const SensingImage& first, const SensingImage& second, std::uint32_t seed);
  SteeringChunks(const SteeringChunks&) = delete;
  SteeringChunks& operator=(const SteeringChunks&) = delete;

  // Steers the next chunk no thread has taken, once `progress` shows its particles moved,
  // and answers true; answers false when every chunk has been taken.
  bool SteerNext(MovementProgress& progress, SinCosMemo& trig);

 private:
  struct Range {
    std::int32_t first;
    std::int32_t last;
    int half;
  };
  struct Half {
    RandomEngine engine;
    int endChunk;    // one past the half's last chunk
    int nextToDraw;  // the first chunk whose draws are not made
    bool drawing;    // a thread is making this half's draws
  };

  Range RangeOf(int chunk) const;
  // Records that `chunk` is steered but for its draws, and makes every draw now due.
  void Finish(int chunk, int pending);

  Particle* particles_;
  std::int32_t count_;
  std::int32_t half_;
  int width_;
  int height_;
  SensingImage images_[2];
  int firstHalfChunks_;
  int chunks_;
  std::atomic<int> nextChunk_{0};
  std::mutex mutex_;
  Half halves_[2];
};

}  // namespace velunary

#endif
