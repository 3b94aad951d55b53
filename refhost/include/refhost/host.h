// The reference host: plays the compositing application's part for an effect, so the
// effect can be run, inspected and broken anywhere. It lends worlds, memory handles and
// suites, answers parameter check-outs from timelines, counts what the effect holds (the
// ledger) and can make any of its operations fail on demand.
//
// One Host is active per process at a time: the handle suite's functions carry no effect
// reference, so they reach the host through the active one. Constructing a Host while
// another exists is a programming error (std::logic_error).
//
// Limits of this host beyond the host API's own rules: convolve refuses kernels wider than
// 1447 taps (PF_Err_BAD_CALLBACK_PARAM), beyond which its exact 64-bit sums could
// overflow, and a destination sharing any byte with the source (likewise); new_world
// answers PF_Err_OUT_OF_MEMORY for a world whose rows would not fit 32-bit rowbytes or
// whose pixels cannot be allocated.
#ifndef VELUNARY_REFHOST_HOST_H
#define VELUNARY_REFHOST_HOST_H

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "pf_effect.h"
#include "pf_suites.h"
#include "refhost/image.h"

namespace refhost {

// Every operation the host offers to an effect.
enum class Op {
  NewWorld,
  DisposeWorld,
  Fill,
  Copy,
  Blend,
  Convolve,
  NewHandle,
  LockHandle,
  GetHandleSize,
  DisposeHandle,
  AcquireSuite,
  ReleaseSuite,
  CheckoutParam,
  CheckinParam,
  AddParam,
  Abort,
  Sprintf,
  Strcpy,
  Count
};

const char* OpName(Op op);

// Whether a failure can be injected into `op`: operations that return a PF_Err, and the
// handle allocator and lock (which then return null). Releases and disposals of handles
// return nothing and cannot fail.
bool CanFail(Op op);

// What the effect holds at a moment. After global setdown a well-behaved effect holds
// nothing: every count is zero.
struct Ledger {
  long liveWorlds = 0;      // made by new_world, not yet disposed
  long liveHandles = 0;     // made by host_new_handle, not yet disposed
  long acquiredSuites = 0;  // acquisitions not yet released, all suites together
  long openCheckouts = 0;   // check-outs not yet checked in
  long faults = 0;          // refused misuse: unknown world or handle, double release,
                            // check-in without check-out, add_param at an index
                            // other than -1, a callback with a foreign effect reference
                            // or from a thread other than the entry point's
  std::vector<std::string> faultLog;

  bool Empty() const {
    return liveWorlds == 0 && liveHandles == 0 && acquiredSuites == 0 && openCheckouts == 0 &&
           faults == 0;
  }
};

// A suite the basic suite hands out, by name and version.
struct LentSuite {
  const char* name;
  A_long version;
};

// Every suite this host lends; any other name or version is refused.
inline constexpr std::array<LentSuite, 4> kLentSuites = {
    LentSuite{kPFHandleSuite, kPFHandleSuiteVersion2},
    LentSuite{kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1},
    LentSuite{kPFANSISuite, kPFANSISuiteVersion1},
    LentSuite{kPFParamUtilsSuite, kPFParamUtilsSuiteVersion3}};

// How a parameter's value is given over time.
struct Keyframe {
  int frame = 0;
  double value = 0;
};

class Host {
 public:
  Host();
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // ---- The records an effect is called with -------------------------------------------

  // An input record for a layer of width x height with every callback, the utility table
  // and the basic suite bound to this host; times are zero, appl_id is "FXTC".
  PF_InData MakeInData(int width, int height) const;

  // ---- Memory -----------------------------------------------------------------------

  // host_new_handle answers null once the live handles' bytes would exceed `bytes`.
  // The default is unlimited (the machine's memory).
  void SetMemoryLimit(std::uint64_t bytes);

  // ---- Speed ------------------------------------------------------------------------
  // Whether blend and convolve may use the processor's 256-bit vector instructions where
  // they have them (the default); off, they run the 128-bit loops every x86-64 and the
  // Windows build run. The bytes are the same either way; tests run both.
  void SetWideVectors(bool allowed);
  // How many threads fill, copy, blend and convolve (and the clearing and poisoning of
  // worlds) may split an image of 1 MiB or more between, the calling thread included: by
  // default the processor's hardware threads, up to 8; 0 counts as 1, which keeps all work
  // on the calling thread. The host's threads only compute, never call the host API; they
  // start when first needed and are joined when the host ends, and every call returns only
  // when its work is done. The bytes are the same for any count.
  void SetThreads(unsigned threads);

  // ---- Strictness -------------------------------------------------------------------
  // Where the host API leaves a pixel operation's arithmetic to the host, this host has
  // two legal answers: `Nearest` (the default, the figures documented for this host) and
  // `Down`: blend rounds down, d = (s1 · (65536 − ratio) + s2 · ratio) >> 16, so that at the
  // effect's ratio of 1 a darker second source lowers the first by one, and a scaled copy
  // samples the source at the destination pixel's centre, ⌊(2x + 1) · srcWidth /
  // (2 · dstWidth)⌋. Either way every operation reads all of what it is given.
  enum class Flavour { Nearest, Down };
  void SetFlavour(Flavour flavour);
  // Whether a world or handle given back is overwritten with 0xDB bytes before its memory
  // is released or lent again (the default), so that an effect reading what it gave back
  // sees garbage rather than its old pixels. Off only where the host's own time is measured.
  void SetPoisonOnRelease(bool poison);
  // Every call from the effect must come from the thread inside the entry point: the one
  // that constructed the host, or the one a Session sends its latest command from. A call
  // from any other thread does nothing, answers PF_Err_BAD_CALLBACK_PARAM (null for the
  // handle allocator and lock, 0 for a handle's size), is counted as a fault and named on
  // standard error.
  void ServeCallsFrom(std::thread::id entryThread);

  // ---- Failures ---------------------------------------------------------------------

  // The n-th call of `op` from now on (n = 1: the next one) fails with `code` without
  // doing anything; for NewHandle and LockHandle it returns null instead. Several plans
  // may wait at once; each fires once. Throws std::invalid_argument when n < 1, code is
  // 0 or `op` cannot fail.
  void FailNthCall(Op op, long n, PF_Err code);
  // The n-th failable call of any kind from now on fails as above. Calls counted by
  // CountFailableCalls() are the ones this numbers. The same checks as FailNthCall.
  void FailNthFailableCall(long n, PF_Err code);
  // Forget every pending failure.
  void ClearFailures();
  // Answers a suite of this name and version with a nonzero code and no table, always.
  void SetSuiteMissing(std::string_view name, A_long version, bool missing);
  // From now on `abort` answers PF_Interrupt_CANCEL (safe to call from a signal handler).
  void RequestCancel();
  void ClearCancel();

  // Calls of `op` made so far, successful or failed.
  long CallCount(Op op) const;
  // Calls of any failable operation made so far.
  long CountFailableCalls() const;
  // Which operation the n-th failable call from the start was (n counted from 1), if the
  // host remembers it (it remembers the last 1,000,000).
  Op FailableCallOp(long n) const;

  // ---- Accounting -------------------------------------------------------------------

  Ledger GetLedger() const;
  long Acquisitions(std::string_view suite, A_long version) const;
  long Releases(std::string_view suite, A_long version) const;

  // ---- Parameters -------------------------------------------------------------------

  // The parameters: index 0 is the layer the effect is applied to (supplied by the host),
  // indices 1... what the effect declared through add_param, in order. add_param with an
  // index other than -1 is refused with PF_Err_INVALID_INDEX and recorded as a fault.
  int ParamCount() const;
  const PF_ParamDef& Param(int index) const;
  // Forget every declaration (before a second parameter setup).
  void ClearDeclarations();

  // The index of the parameter with this display name, compared case-insensitively; the
  // first such when names repeat; -1 when there is none.
  int FindParam(std::string_view name) const;

  // A constant value for a float slider or checkbox (checkbox: 0 or 1). Throws
  // std::invalid_argument, with a message naming the parameter and its range, when the
  // value lies outside the valid range, or the index is no slider or checkbox.
  void SetValue(int index, double value);
  // A keyframe at a frame, replacing a constant value; the same checks as SetValue.
  void SetKeyframe(int index, int frame, double value);
  // The value the host hands out at frame position p (what_time / time_step).
  double ValueAt(int index, double framePosition) const;

  // A layer parameter's image (index 0 or a declared layer); an empty Image means none.
  // The host owns the world it hands out. Throws std::invalid_argument for a non-layer.
  void SetLayer(int index, const Image& image);
  // An image per frame: `image` is shown from `frame` on, until the next frame that has
  // one (the first one also before its frame); an empty Image means none from there.
  // Kept beside earlier frames' images; SetLayer replaces them all.
  void SetLayerFrom(int index, int frame, const Image& image);
  // A layer whose image at each frame is asked of `provider` when a command or a check-out
  // needs it, rather than held: footage longer than memory. The host keeps only the image
  // of the latest command and of the two latest check-outs, so a checked-out world stays
  // valid until it is checked in; null or an empty Image means none at that frame. The
  // image is shared, not copied: the host copies it into its world and lets it go, so the
  // provider may keep it (and reuse it once no one else holds it). The provider runs
  // inside the effect's call and must not throw. SetLayer replaces it.
  using LayerProvider = std::function<std::shared_ptr<const Image>(int frame)>;
  void SetLayerProvider(int index, LayerProvider provider);
  // The what_time of the latest parameter check-out; safe to read from another thread
  // (a progress display while the effect catches up).
  A_long LastCheckoutTime() const;

  // The record checkout_param would fill for `index` at what_time / timeStep, without
  // counting a call or opening a check-out. Throws std::out_of_range for an index outside
  // the list or a zero time step.
  PF_ParamDef ParamAt(int index, A_long whatTime, A_long timeStep) const;

  // ---- Worlds -----------------------------------------------------------------------

  // Whether the host made this world through new_world and it is still alive.
  bool IsLiveEffectWorld(const PF_EffectWorld& world) const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// The active host, or null.
Host* ActiveHost();

}  // namespace refhost

#endif
