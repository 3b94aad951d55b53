// The host's own threads, which split an image operation's rows between them inside one
// call. They only compute: they never call the host API, and a call that hands them work
// returns only once every band is done, so when it returns no thread of the host touches
// any world.
#ifndef VELUNARY_REFHOST_WORKERS_H
#define VELUNARY_REFHOST_WORKERS_H

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "pf_effect.h"

namespace refhost {

// Rows [first, last) of an image.
struct RowRange {
  A_long first = 0;
  A_long last = 0;
};

// A band's work: a reference to a callable taking a RowRange, which must outlive the call
// it is passed to (unlike std::function, it never allocates).
class BandFunction {
 public:
  template <class F>
  BandFunction(const F& f)  // NOLINT(google-explicit-constructor): a lambda passes as it is
      : object_(&f),
        call_([](const void* o, RowRange rows) { (*static_cast<const F*>(o))(rows); }) {}
  void operator()(RowRange rows) const { call_(object_, rows); }

 private:
  const void* object_;
  void (*call_)(const void*, RowRange);
};

class Workers {
 public:
  // `threads` counts the calling thread: threads − 1 helpers are started.
  explicit Workers(unsigned threads);
  // Stops and joins the helpers.
  ~Workers();
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  unsigned Threads() const { return static_cast<unsigned>(helpers_.size()) + 1; }

  // Calls band(range) for `bands` ranges that cut [0, rows) at multiples of `step` (the
  // last range ends at `rows`), on the helpers and the calling thread, and returns when
  // all are done. An exception thrown by a band is rethrown here, after the others end.
  void ForBands(A_long rows, A_long step, int bands, BandFunction band);

 private:
  struct Job;
  void Serve();
  void Stop();
  static void RunBands(Job& job);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  Job* job_ = nullptr;            // the call's work while it lasts
  std::uint64_t generation_ = 0;  // counts the calls, so a helper takes each one once
  int busy_ = 0;                  // helpers holding the current job
  bool stopping_ = false;
  std::vector<std::thread> helpers_;
};

}  // namespace refhost

#endif
