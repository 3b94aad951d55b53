#include "render/steering_chunks.h"

#include <algorithm>
#include <cstddef>
#include <new>
#include <vector>

namespace velunary {

namespace {

// Particles in a chunk: enough that taking one and making its draws cost nothing in
// comparison (about fifty microseconds of steering), few enough that a frame has dozens
// to share out and that the first can start soon after the movement does.
constexpr std::int32_t kChunk = 4096;

struct ChunkRecord {
  int pending;    // how many of its particles wait for a draw
  bool finished;  // steered but for the draws
};

// Kept from one frame to the next, so that a frame finds its pages already mapped. The
// render thread sizes it before any pass starts; during the pass each chunk's part of it
// belongs to the thread steering that chunk, its record to the mutex of the chunks.
struct SteeringScratch {
  std::vector<PendingDraw> pending;  // indexed as the particles
  std::vector<ChunkRecord> chunks;
  std::vector<SinCosMemo> memos;
};

SteeringScratch scratch;

int ChunksOf(std::int32_t particles) {
  return static_cast<int>((particles + kChunk - 1) / kChunk);
}

}  // namespace

bool ReserveSteeringScratch(std::int32_t count, int threads) {
  const std::int32_t half = count / 2;
  const std::size_t chunks =
      static_cast<std::size_t>(ChunksOf(half)) + static_cast<std::size_t>(ChunksOf(count - half));
  try {
    scratch.pending.resize(static_cast<std::size_t>(count));
    scratch.chunks.resize(chunks);
    if (scratch.memos.size() < static_cast<std::size_t>(threads)) {
      scratch.memos.resize(static_cast<std::size_t>(threads));
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void ReleaseSteeringScratch() {
  std::vector<PendingDraw>().swap(scratch.pending);
  std::vector<ChunkRecord>().swap(scratch.chunks);
  std::vector<SinCosMemo>().swap(scratch.memos);
}

SinCosMemo& SteeringMemo(int thread) {
  return scratch.memos[static_cast<std::size_t>(thread)];
}

SteeringChunks::SteeringChunks(Particle* particles, std::int32_t count, int width, int height,
                               const SensingImage& first, const SensingImage& second,
                               std::uint32_t seed)
    : particles_(particles),
      count_(count),
      half_(count / 2),
      width_(width),
      height_(height),
      images_{first, second},
      firstHalfChunks_(ChunksOf(half_)),
      chunks_(firstHalfChunks_ + ChunksOf(count - half_)),
      halves_{Half{RandomEngine(seed), firstHalfChunks_, 0, false},
              Half{RandomEngine(seed), chunks_, firstHalfChunks_, false}} {
  std::fill_n(scratch.chunks.begin(), chunks_, ChunkRecord{0, false});
}

SteeringChunks::Range SteeringChunks::RangeOf(int chunk) const {
  const int half = chunk < firstHalfChunks_ ? 0 : 1;
  const std::int32_t start = half == 0 ? 0 : half_;
  const std::int32_t end = half == 0 ? half_ : count_;
  const std::int32_t first = start + (chunk - (half == 0 ? 0 : firstHalfChunks_)) * kChunk;
  return Range{first, std::min(end, first + kChunk), half};
}

bool SteeringChunks::SteerNext(MovementProgress& progress, SinCosMemo& trig) {
  const int chunk = nextChunk_.fetch_add(1, std::memory_order_relaxed);
  if (chunk >= chunks_) {
    return false;
  }
  const Range range = RangeOf(chunk);
  progress.WaitFor(range.last);
  const int pending =
      SteerWithoutDraws(particles_, range.first, range.last, width_, height_, images_[range.half],
                        trig, scratch.pending.data() + range.first);
  Finish(chunk, pending);
  return true;
}

void SteeringChunks::Finish(int chunk, int pending) {
  Half& half = halves_[RangeOf(chunk).half];
  std::unique_lock<std::mutex> lock(mutex_);
  scratch.chunks[static_cast<std::size_t>(chunk)] = ChunkRecord{pending, true};
  if (half.drawing) {
    // The thread drawing for this half finds the chunk finished before it lets go.
    return;
  }
  half.drawing = true;
  while (half.nextToDraw < half.endChunk &&
         scratch.chunks[static_cast<std::size_t>(half.nextToDraw)].finished) {
    const int next = half.nextToDraw;
    const int count = scratch.chunks[static_cast<std::size_t>(next)].pending;
    // The draws run unlocked: no other thread makes this half's draws meanwhile, and the
    // chunk's particles and pending list are no other thread's any more.
    lock.unlock();
    DrawPendingTurns(particles_, scratch.pending.data() + RangeOf(next).first, count, half.engine);
    lock.lock();
    ++half.nextToDraw;
  }
  half.drawing = false;
}

}  // namespace velunary
