// Failure injection, call counting and the ledger of what the effect holds.
//
// Failures are planned as absolute call numbers: "the n-th call of op from now on" is
// call CallCount(op) + n, so several plans can wait side by side and each fires once.
#include <cstdio>
#include <stdexcept>

#include "host_impl.h"

namespace refhost {

const char* OpName(Op op) {
  switch (op) {
    case Op::NewWorld:
      return "new_world";
    case Op::DisposeWorld:
      return "dispose_world";
    case Op::Fill:
      return "fill";
    case Op::Copy:
      return "copy";
    case Op::Blend:
      return "blend";
    case Op::Convolve:
      return "convolve";
    case Op::NewHandle:
      return "host_new_handle";
    case Op::LockHandle:
      return "host_lock_handle";
    case Op::GetHandleSize:
      return "host_get_handle_size";
    case Op::DisposeHandle:
      return "host_dispose_handle";
    case Op::AcquireSuite:
      return "AcquireSuite";
    case Op::ReleaseSuite:
      return "ReleaseSuite";
    case Op::CheckoutParam:
      return "checkout_param";
    case Op::CheckinParam:
      return "checkin_param";
    case Op::AddParam:
      return "add_param";
    case Op::Abort:
      return "abort";
    case Op::Sprintf:
      return "sprintf";
    case Op::Strcpy:
      return "strcpy";
    case Op::Count:
      break;
  }
  return "?";
}

bool CanFail(Op op) {
  switch (op) {
    case Op::GetHandleSize:
    case Op::DisposeHandle:
    case Op::Sprintf:
    case Op::Strcpy:
    case Op::Count:
      return false;
    default:
      return true;
  }
}

PF_Err Host::Impl::Enter(Op op) {
  // Touches nothing but an atomic counter: the host's state belongs to the entry thread.
  if (std::this_thread::get_id() != entryThread.load()) {
    ++foreignThreadCalls;
    std::fprintf(stderr,
                 "refhost: %s called from a thread other than the one inside the entry point\n",
                 OpName(op));
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  const long call = ++calls[static_cast<size_t>(op)];
  if (!CanFail(op)) {
    return PF_Err_NONE;
  }
  const long failable = ++failableCalls;
  if (failableOps.empty()) {
    failableOps.resize(kRememberedCalls);
  }
  failableOps[static_cast<size_t>((failable - 1) % kRememberedCalls)] =
      static_cast<unsigned char>(op);
  PF_Err code = PF_Err_NONE;
  for (auto it = pending.begin(); it != pending.end();) {
    const bool fires =
        it->anyFailable ? it->target == failable : it->op == op && it->target == call;
    if (fires) {
      if (code == PF_Err_NONE) {
        code = it->code;
      }
      it = pending.erase(it);
    } else {
      ++it;
    }
  }
  return code;
}

void Host::Impl::Fault(std::string message) {
  ++faults;
  faultLog.push_back(std::move(message));
}

namespace {

void CheckPlan(long n, PF_Err code) {
  if (n < 1) {
    throw std::invalid_argument("refhost: a planned failure needs n >= 1");
  }
  if (code == PF_Err_NONE) {
    throw std::invalid_argument("refhost: a planned failure needs a nonzero code");
  }
}

}  // namespace

void Host::FailNthCall(Op op, long n, PF_Err code) {
  CheckPlan(n, code);
  if (!CanFail(op)) {
    throw std::invalid_argument(std::string("refhost: ") + OpName(op) + " cannot fail");
  }
  impl_->pending.push_back(
      PendingFailure{false, op, impl_->calls[static_cast<size_t>(op)] + n, code});
}

void Host::FailNthFailableCall(long n, PF_Err code) {
  CheckPlan(n, code);
  impl_->pending.push_back(PendingFailure{true, Op::Count, impl_->failableCalls + n, code});
}

void Host::ClearFailures() {
  impl_->pending.clear();
}

long Host::CallCount(Op op) const {
  if (op == Op::Count) {
    throw std::invalid_argument("refhost::Host::CallCount: Op::Count is no operation");
  }
  return impl_->calls[static_cast<size_t>(op)];
}

long Host::CountFailableCalls() const {
  return impl_->failableCalls;
}

Op Host::FailableCallOp(long n) const {
  if (n < 1 || n > impl_->failableCalls || n <= impl_->failableCalls - kRememberedCalls) {
    throw std::out_of_range("refhost::Host::FailableCallOp: call " + std::to_string(n) +
                            " is not remembered");
  }
  return static_cast<Op>(impl_->failableOps[static_cast<size_t>((n - 1) % kRememberedCalls)]);
}

Ledger Host::GetLedger() const {
  Ledger ledger;
  ledger.liveWorlds = static_cast<long>(impl_->effectWorlds.size());
  ledger.liveHandles = static_cast<long>(impl_->handles.size());
  for (const auto& [key, counts] : impl_->suiteCounts) {
    ledger.acquiredSuites += counts.acquisitions - counts.releases;
  }
  ledger.openCheckouts = static_cast<long>(impl_->openCheckouts.size());
  ledger.faults = impl_->faults;
  ledger.faultLog = impl_->faultLog;
  if (const long foreign = impl_->foreignThreadCalls.load()) {
    ledger.faults += foreign;
    ledger.faultLog.push_back(std::to_string(foreign) +
                              " calls from a thread other than the entry point's");
  }
  return ledger;
}

}  // namespace refhost
