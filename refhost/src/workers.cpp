// A helper takes the current job under the lock and counts itself busy; the caller ends
// the job under the same lock only when every band is done and no helper holds it. So a
// helper that wakes late either finds no job or is waited for: none runs a band of a job
// whose call has returned.
#include "workers.h"

#include <algorithm>
#include <atomic>

namespace refhost {

struct Workers::Job {
  const BandFunction* band = nullptr;
  A_long rows = 0;
  A_long step = 1;
  int bands = 0;
  std::atomic<int> next{0};
  std::atomic<int> finished{0};
  std::exception_ptr failure;  // the first, under the lock
  std::mutex* mutex = nullptr;
};

Workers::Workers(unsigned threads) {
  try {
    for (unsigned i = 1; i < threads; ++i) helpers_.emplace_back([this] { Serve(); });
  } catch (...) {
    Stop();  // the helpers already started
    throw;
  }
}

Workers::~Workers() {
  Stop();
}

void Workers::Stop() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& helper : helpers_) helper.join();
}

void Workers::RunBands(Job& job) {
  for (int b = job.next.fetch_add(1); b < job.bands; b = job.next.fetch_add(1)) {
    // Cut at multiples of `step`, as evenly as they allow.
    const std::int64_t units = (std::int64_t{job.rows} + job.step - 1) / job.step;
    const auto cut = [&](int k) {
      return static_cast<A_long>(
          std::min<std::int64_t>(units * k / job.bands * job.step, job.rows));
    };
    const RowRange range{cut(b), cut(b + 1)};
    try {
      if (range.first < range.last) (*job.band)(range);
    } catch (...) {
      const std::lock_guard lock(*job.mutex);
      if (!job.failure) job.failure = std::current_exception();
    }
    job.finished.fetch_add(1);
  }
}

void Workers::Serve() {
  std::uint64_t seen = 0;
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
    if (stopping_) return;
    seen = generation_;
    Job* job = job_;
    if (job == nullptr) continue;
    ++busy_;
    lock.unlock();
    RunBands(*job);
    lock.lock();
    --busy_;
    done_.notify_all();
  }
}

void Workers::ForBands(A_long rows, A_long step, int bands, BandFunction band) {
  Job job;
  job.band = &band;
  job.rows = rows;
  job.step = step;
  job.bands = bands;
  job.mutex = &mutex_;
  {
    const std::lock_guard lock(mutex_);
    job_ = &job;
    ++generation_;
  }
  wake_.notify_all();
  RunBands(job);
  {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return busy_ == 0 && job.finished.load() == job.bands; });
    job_ = nullptr;
  }
  if (job.failure) std::rethrow_exception(job.failure);
}

}  // namespace refhost
