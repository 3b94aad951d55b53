// Ctrl-C during a render (SIGINT, and likewise SIGTERM and SIGHUP, a closed terminal or a
// job manager's stop): the first such signal asks the host to cancel (its `abort` then
// answers PF_Interrupt_CANCEL, so the effect returns from the frame it is in), and the
// renderer stops after the frames it already has. A second one ends the process at once,
// as the default action does.
#ifndef VELUNARY_CLI_INTERRUPT_H
#define VELUNARY_CLI_INTERRUPT_H

#include <csignal>

#include "refhost/host.h"

namespace velunary::cli {

class InterruptGuard {
 public:
  // Installs the handler for the guard's lifetime; the previous one comes back after.
  explicit InterruptGuard(refhost::Host& host);
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

  // Whether one of the signals arrived while the guard was installed.
  static bool Interrupted();
  // The signal that arrived, or 0.
  static int Signal();

 private:
  struct sigaction previous_[3]{};
};

}  // namespace velunary::cli

#endif
