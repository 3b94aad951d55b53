#include "render/movement_progress.h"

namespace velunary {

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

bool MovementProgress::Reached(std::int32_t count) {
  const std::lock_guard<std::mutex> lock(mutex_);
  return moved_ >= count;
}

}  // namespace velunary
