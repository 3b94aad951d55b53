// "PF Handle Suite" 2: memory handles under the host's memory limit.
//
// The suite's functions carry no effect reference, so they act on the active host. A
// handle of size 0 still owns one byte, so that its lock answers a usable address.
#include <cstring>
#include <new>

#include "host_impl.h"

namespace refhost {

namespace {

HandleBlock* LiveBlock(Host::Impl& host, PF_Handle handle, const char* what) {
  auto it = host.handles.find(handle);
  if (it == host.handles.end()) {
    host.Fault(std::string(what) + " of a handle the host did not make or already disposed");
    return nullptr;
  }
  return it->second.get();
}

PF_Handle NewHandle(A_HandleSize size) {
  Host::Impl* host = ActiveImpl();
  if (host == nullptr || host->Enter(Op::NewHandle) != PF_Err_NONE) return nullptr;
  if (size > host->memoryLimit || host->handleBytes > host->memoryLimit - size ||
      size >= SIZE_MAX) {
    return nullptr;
  }
  auto block = std::make_unique<HandleBlock>();
  block->bytes.reset(new (std::nothrow) unsigned char[size == 0 ? 1 : static_cast<size_t>(size)]);
  if (block->bytes == nullptr) return nullptr;
  block->data = block->bytes.get();
  block->size = size;
  PF_Handle handle = &block->data;
  host->handleBytes += size;
  host->handles.emplace(handle, std::move(block));
  return handle;
}

void* LockHandle(PF_Handle handle) {
  Host::Impl* host = ActiveImpl();
  if (host == nullptr || host->Enter(Op::LockHandle) != PF_Err_NONE) return nullptr;
  HandleBlock* block = LiveBlock(*host, handle, "host_lock_handle");
  return block == nullptr ? nullptr : block->data;
}

// Locks are not counted (the effect never unlocks), so unlocking only checks the handle.
void UnlockHandle(PF_Handle handle) {
  Host::Impl* host = ActiveImpl();
  if (host != nullptr) LiveBlock(*host, handle, "host_unlock_handle");
}

A_HandleSize GetHandleSize(PF_Handle handle) {
  Host::Impl* host = ActiveImpl();
  if (host == nullptr || host->Enter(Op::GetHandleSize) != PF_Err_NONE) return 0;
  HandleBlock* block = LiveBlock(*host, handle, "host_get_handle_size");
  return block == nullptr ? 0 : block->size;
}

void DisposeHandle(PF_Handle handle) {
  Host::Impl* host = ActiveImpl();
  if (host == nullptr || host->Enter(Op::DisposeHandle) != PF_Err_NONE) return;
  auto it = host->handles.find(handle);
  if (it == host->handles.end()) {
    host->Fault("host_dispose_handle of a handle the host did not make or already disposed");
    return;
  }
  std::unique_ptr<HandleBlock> block = std::move(it->second);
  host->handles.erase(it);
  host->handleBytes -= block->size;
  if (host->poisonOnRelease)
    std::memset(block->bytes.get(), kPoison, static_cast<size_t>(block->size));
  // The block stays allocated (its bytes do not), so its address is not handed out again
  // while a stale copy of the handle may still be used.
  block->bytes.reset();
  block->data = nullptr;
  host->disposedHandles.push_back(std::move(block));
  if (host->disposedHandles.size() > kQuarantinedHandles) {
    host->disposedHandles.pop_front();
  }
}

// host_resize_handle, which this host does not offer, stays null.
const PF_HandleSuite1 kHandleSuite = [] {
  PF_HandleSuite1 suite{};
  suite.host_new_handle = NewHandle;
  suite.host_lock_handle = LockHandle;
  suite.host_unlock_handle = UnlockHandle;
  suite.host_dispose_handle = DisposeHandle;
  suite.host_get_handle_size = GetHandleSize;
  return suite;
}();

}  // namespace

const PF_HandleSuite1* HandleSuiteTable() {
  return &kHandleSuite;
}

}  // namespace refhost
