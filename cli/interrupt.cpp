#include "interrupt.h"

#include <atomic>

namespace velunary::cli {
namespace {

// Read by the signal handler: lock-free atomics are safe there, a mutex would not be.
std::atomic<refhost::Host*> g_host{nullptr};
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<refhost::Host*>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int) {
  g_interrupted.store(true);
  if (refhost::Host* host = g_host.load()) host->RequestCancel();
}

}  // namespace

InterruptGuard::InterruptGuard(refhost::Host& host) {
  g_interrupted.store(false);
  g_host.store(&host);
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &action, &previous_);
}

InterruptGuard::~InterruptGuard() {
  sigaction(SIGINT, &previous_, nullptr);
  g_host.store(nullptr);
}

bool InterruptGuard::Interrupted() {
  return g_interrupted.load();
}

}  // namespace velunary::cli
