#include "interrupt.h"

#include <atomic>

#include "child_process.h"

namespace velunary::cli {
namespace {

// Read by the signal handler: lock-free atomics are safe there, a mutex would not be.
std::atomic<refhost::Host*> g_host{nullptr};
std::atomic<int> g_signal{0};
constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
static_assert(std::atomic<refhost::Host*>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnInterrupt(int signal) {
  int none = 0;
  if (!g_signal.compare_exchange_strong(none, signal)) {
    // The second: the renderer ends now, as by default, and its helpers with it.
    EndAllChildren();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    return;
  }
  RequestStop();
  if (refhost::Host* host = g_host.load()) host->RequestCancel();
}

}  // namespace

InterruptGuard::InterruptGuard(refhost::Host& host) {
  g_signal.store(0);
  g_host.store(&host);
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a read waiting on a helper returns, so the first Ctrl-C stops it.
  action.sa_flags = 0;
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &previous_[i]);
}

InterruptGuard::~InterruptGuard() {
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &previous_[i], nullptr);
  g_host.store(nullptr);
}

bool InterruptGuard::Interrupted() {
  return g_signal.load() != 0;
}

int InterruptGuard::Signal() {
  return g_signal.load();
}

}  // namespace velunary::cli
