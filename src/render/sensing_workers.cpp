#include "render/sensing_workers.h"

#include <algorithm>

#include "sim/move_and_deposit.h"
#include "sim/simulation_state.h"
#include "sim/sin_cos.h"

namespace velunary {

namespace {

// Particles between two publications of the movement pass: as many as a chunk of the
// sensing pass, so that a chunk waits for at most one publication.
constexpr std::int32_t kStretch = 4096;

// Which steering memo each thread uses.
constexpr int kCallerMemo = 0;
constexpr int kMovementMemo = 1;
constexpr int kFirstHelperMemo = 2;

void Move(const PF_InData* in_data, std::int32_t count, SinCosMemo* trig,
          MovementProgress* progress) {
  for (std::int32_t first = 0; first < count;) {
    const std::int32_t last = count - first > kStretch ? first + kStretch : count;
    MoveAndDepositRange(in_data, first, last, *trig);
    progress->Publish(last);
    first = last;
  }
}

}  // namespace

int SteeringThreads() {
  return std::max(2, static_cast<int>(std::thread::hardware_concurrency()));
}

ParticlePasses::~ParticlePasses() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    abandoned_ = true;
  }
  sensingDecided_.notify_all();
  // The members' destructors join the threads.
}

void ParticlePasses::StartMovement(const PF_InData* in_data) {
  count_ = simulationState.particleRecords;
  movement_ = std::jthread([this, in_data, trig = &ThreadSinCosMemo()] {
    Move(in_data, count_, trig, &progress_);
    SteerAfterMoving();
  });
}

void ParticlePasses::StartSensing(const PF_InData* in_data, const SensingImage& first,
                                  const SensingImage& second) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    chunks_.emplace(simulationState.particles, count_, in_data->width, in_data->height, first,
                    second, SeedBits(simulationSettings.randomSeed));
  }
  sensingDecided_.notify_all();
  const int helpers = SteeringThreads() - kFirstHelperMemo;
  helpers_.reserve(static_cast<std::size_t>(helpers));
  for (int k = 0; k < helpers; ++k) {
    helpers_.emplace_back([this, k] { SteerUntilNoneLeft(SteeringMemo(kFirstHelperMemo + k)); });
  }
}

void ParticlePasses::SteerAfterMoving() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    sensingDecided_.wait(lock, [this] { return chunks_.has_value() || abandoned_; });
    if (!chunks_.has_value()) return;
  }
  SteerUntilNoneLeft(SteeringMemo(kMovementMemo));
}

void ParticlePasses::SteerUntilNoneLeft(SinCosMemo& trig) {
  while (chunks_->SteerNext(progress_, trig)) {
  }
}

void ParticlePasses::SteerWhileMoving() {
  while (!progress_.Reached(count_) && chunks_->SteerNext(progress_, SteeringMemo(kCallerMemo))) {
  }
}

void ParticlePasses::WaitForMovement() {
  progress_.WaitFor(count_);
}

void ParticlePasses::SteerRest() {
  SteerUntilNoneLeft(SteeringMemo(kCallerMemo));
}

void ParticlePasses::Join() {
  if (movement_.joinable()) movement_.join();
  for (std::jthread& helper : helpers_) {
    if (helper.joinable()) helper.join();
  }
}

}  // namespace velunary
