// The reference host's inner state, shared by its source files: the lent worlds and
// handles, the suite counts, the parameter timelines, the failure plan and the call
// counters. Every callback reaches it through the effect reference or, where the host
// API passes none (handles, basic suite, ANSI), through the active host.
#ifndef VELUNARY_REFHOST_HOST_IMPL_H
#define VELUNARY_REFHOST_HOST_IMPL_H

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "pf_effect.h"
#include "pf_suites.h"
#include "refhost/host.h"
#include "refhost/image.h"
#include "workers.h"

namespace refhost {

// Gives back a world's pixel memory: `mapped` bytes of a mapping, or an array when 0.
struct PixelsDeleter {
  size_t mapped = 0;
  void operator()(unsigned char* pixels) const;
};

// A world whose pixels the host owns: effect worlds (new_world), layers and outputs.
// Rows are padded (PaddedRowbytes) and start zeroed.
class OwnedWorld {
 public:
  // Throws std::bad_alloc when the memory cannot be had.
  OwnedWorld(A_long width, A_long height);
  // The record lent out; `platform_ref` carries `token`, which tells this world apart
  // from a later one that happens to reuse the same address.
  PF_EffectWorld Record(std::uintptr_t token) const;
  unsigned char* Data() const { return bytes_.get(); }
  A_long Width() const { return width_; }
  A_long Height() const { return height_; }
  // Every byte back to zero, as a new world starts; on the host's threads if large.
  void Clear(Host::Impl* host);
  // Every byte kPoison, as a world given back is left.
  void Poison(Host::Impl* host);

 private:
  void SetEveryByte(Host::Impl* host, unsigned char value);

  std::unique_ptr<unsigned char[], PixelsDeleter> bytes_;
  A_long width_;
  A_long height_;
  A_long rowbytes_;
};

// A memory handle. The PF_Handle given out is the address of `data`, the block's first
// member, so that *handle is the bytes' address as the host API promises.
struct HandleBlock {
  void* data = nullptr;
  A_HandleSize size = 0;
  std::unique_ptr<unsigned char[]> bytes;
};

// A declared parameter and its timeline.
struct ParamSlot {
  PF_ParamDef def{};
  // Sliders and checkboxes: keyframes sorted by frame, or else a constant, or else the
  // declared default.
  std::vector<Keyframe> keys;
  bool hasConstant = false;
  double constant = 0;
  // Layers: one image per first frame it is shown from (frame 0 for a single image); an
  // absent image stands for "none".
  std::map<int, std::unique_ptr<OwnedWorld>> layerWorlds;
  // Or a provider, and the worlds it gave, by frame: the one handed with the latest
  // command, and the latest check-outs' (newest first).
  Host::LayerProvider provider;
  mutable std::pair<int, std::shared_ptr<OwnedWorld>> presented{-1, nullptr};
  mutable std::array<std::pair<int, std::shared_ptr<OwnedWorld>>, 2> checkedOut{};
};

struct PendingFailure {
  bool anyFailable = false;  // counted over every failable call, not only `op`'s
  Op op = Op::Count;
  long target = 0;  // the call number (of `op`, or of all failable calls) that fails
  PF_Err code = 0;
};

struct SuiteCounts {
  long acquisitions = 0;
  long releases = 0;
};

struct Host::Impl {
  Impl();

  // Counts a call of `op` and answers the failure planned for it, or 0 to go ahead.
  PF_Err Enter(Op op);
  // Records refused misuse.
  void Fault(std::string message);

  PF_ProgPtr EffectRef() { return reinterpret_cast<PF_ProgPtr>(this); }

  // The tables the effect is handed; their addresses stay fixed for the host's life.
  PF_InteractCallbacks inter{};
  PF_UtilCallbacks utils{};
  SPBasicSuite basic{};

  // Worlds made by new_world, by data address.
  struct EffectWorld {
    std::unique_ptr<OwnedWorld> world;
    std::uintptr_t token = 0;
  };
  std::unordered_map<const void*, EffectWorld> effectWorlds;
  std::uintptr_t nextWorldToken = 1;
  // Worlds given back by dispose_world, newest last, for new_world to lend again: an
  // effect that makes and disposes of worlds of one size every frame then reuses memory
  // that is mapped and likely in cache, instead of faulting in fresh pages each time.
  std::vector<std::unique_ptr<OwnedWorld>> pooledWorlds;

  // Live handles by handle address. Disposed blocks are kept for a while (without their
  // bytes) so that a stale handle is not mistaken for a new one at the same address.
  std::unordered_map<PF_Handle, std::unique_ptr<HandleBlock>> handles;
  std::deque<std::unique_ptr<HandleBlock>> disposedHandles;
  std::uint64_t handleBytes = 0;
  std::uint64_t memoryLimit = UINT64_MAX;
  bool wideVectors = true;
  // How many threads an image operation may use, the caller's included, and the helpers,
  // started when an operation first needs them.
  unsigned threads = 1;
  std::unique_ptr<Workers> workers;
  Host::Flavour flavour = Host::Flavour::Nearest;
  bool poisonOnRelease = true;
  // The thread inside the entry point, and the calls that came from another one; read by
  // whatever thread calls, so neither takes a lock.
  std::atomic<std::thread::id> entryThread{std::this_thread::get_id()};
  std::atomic<long> foreignThreadCalls{0};

  std::map<std::pair<std::string, A_long>, SuiteCounts> suiteCounts;
  std::vector<std::pair<std::string, A_long>> missingSuites;

  std::vector<ParamSlot> params;
  // Open check-outs by the serial stamped into the record's `unused` field.
  std::unordered_set<A_long> openCheckouts;
  A_long nextCheckoutSerial = 1;

  // Set from signal handlers (the renderer's Ctrl-C), so it must not take a lock.
  std::atomic<bool> cancel{false};
  std::atomic<A_long> lastCheckoutTime{0};
  static_assert(std::atomic<bool>::is_always_lock_free);

  std::array<long, static_cast<size_t>(Op::Count)> calls{};
  long failableCalls = 0;
  std::vector<unsigned char> failableOps;  // ring of the last kRememberedCalls ops
  std::vector<PendingFailure> pending;

  long faults = 0;
  std::vector<std::string> faultLog;
};

constexpr long kRememberedCalls = 1000000;
// What a world's or handle's bytes become when given back.
constexpr unsigned char kPoison = 0xDB;
constexpr std::size_t kQuarantinedHandles = 65536;

// The active host's state, or null.
Host::Impl* ActiveImpl();
// The start of every callback that carries an effect reference: finds the host state
// it names and counts the call of `op`. A nonzero answer (PF_Err_BAD_CALLBACK_PARAM for
// a reference naming no active host, recorded as a fault; or a planned failure) is what
// the callback returns at once.
PF_Err EnterCallback(PF_ProgPtr ref, Op op, Host::Impl** host);

// The callback tables, bound in the files of their concepts.
void BindWorldCallbacks(PF_UtilCallbacks& utils);
void BindAnsiCallbacks(PF_ANSICallbacks& ansi);
void BindInteractCallbacks(PF_InteractCallbacks& inter);
void BindBasicSuite(SPBasicSuite& basic);
const PF_HandleSuite1* HandleSuiteTable();
const PF_WorldTransformSuite1* WorldTransformSuiteTable();

// blend of "PF World Transform Suite" 1, offered by the utility callbacks too.
PF_Err Blend(PF_ProgPtr ref, const PF_EffectWorld* src1, const PF_EffectWorld* src2, PF_Fixed ratio,
             PF_EffectWorld* dst);
// The world copy of the utility callbacks, offered by "PF World Transform Suite" 1 too.
PF_Err Copy(PF_ProgPtr ref, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r,
            PF_Rect* dst_r);

// A world record that can be read or written: data present, size positive, rows at
// least 4 * width bytes.
bool UsableWorld(const PF_EffectWorld* world);
bool SameSize(const PF_EffectWorld& a, const PF_EffectWorld& b);
inline unsigned char* Row(const PF_EffectWorld& world, A_long y) {
  return static_cast<unsigned char*>(world.data) + static_cast<std::ptrdiff_t>(y) * world.rowbytes;
}

// band(range) over the rows [0, rows) of an image whose rows hold `rowBytes` bytes each:
// at once on the calling thread for small images, where handing work over would cost more
// than it saves, else split between the host's threads at multiples of `step` rows. Returns
// when every row is done; rethrows what a band threw.
void ForRowBands(Host::Impl* host, A_long rows, size_t rowBytes, A_long step, BandFunction band);

// A rectangle (right and bottom exclusive) lying inside the world and not empty; null
// stands for the whole world. False, with `out` unspecified, for any other.
bool ResolveRect(const PF_Rect* rect, const PF_EffectWorld& world, PF_Rect* out);

// Rows [rows.first, rows.last) of a world, as a world of their own.
inline PF_EffectWorld RowsOf(const PF_EffectWorld& world, RowRange rows) {
  PF_EffectWorld part = world;
  part.data = Row(world, rows.first);
  part.height = rows.last - rows.first;
  return part;
}
// Whether two usable worlds share any pixel byte (a world's bytes run from its data to
// the last pixel of its last row).
bool Overlap(const PF_EffectWorld& a, const PF_EffectWorld& b);
// Whether a world that is written to and one that is read share bytes other than as the
// same pixels, so that the operation could read bytes it has already written (and threads
// writing one band could race with those reading another): then it reads a snapshot.
inline bool SharesOtherPixels(const PF_EffectWorld& written, const PF_EffectWorld& read) {
  return Overlap(written, read) && (written.data != read.data || written.rowbytes != read.rowbytes);
}

// A copy of a world's bytes in `bytes`, and a record of it (same rowbytes). Throws
// std::bad_alloc.
PF_EffectWorld Snapshot(const PF_EffectWorld& world, std::vector<unsigned char>* bytes);

// The record checkout_param hands out for a slot at frame position p; `presented` for the
// records handed with a command rather than checked out.
PF_ParamDef ParamRecordAt(const ParamSlot& slot, double framePosition, bool presented);

}  // namespace refhost

#endif
