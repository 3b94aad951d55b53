// Worlds: new_world, dispose_world, fill and copy of the utility callbacks.
//
// Every world the host makes has padded rows and starts zeroed. An effect world is known
// by its data address together with a token in `platform_ref`, so a stale record whose
// address a later world reuses is still refused.
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include "host_impl.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace refhost {

namespace {

#if defined(__linux__)
constexpr size_t kHugePage = size_t{2} << 20;

// At least `bytes` zeroed bytes on 2 MiB boundaries, offered to the kernel for transparent
// huge pages: the effect reads and writes full-HD worlds at random, and with 4 KiB pages
// most of those accesses would first miss the TLB. Null if the mapping fails.
unsigned char* MapHugePixels(size_t bytes, size_t* mapped) {
  const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  void* raw = mmap(nullptr, rounded + kHugePage, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
  if (aligned > start) munmap(raw, aligned - start);
  const size_t tail = start + rounded + kHugePage - (aligned + rounded);
  if (tail > 0) munmap(reinterpret_cast<void*>(aligned + rounded), tail);
  auto* pixels = reinterpret_cast<unsigned char*>(aligned);
  madvise(pixels, rounded, MADV_HUGEPAGE);
  *mapped = rounded;
  return pixels;
}
#endif

}  // namespace

void PixelsDeleter::operator()(unsigned char* pixels) const {
#if defined(__linux__)
  if (mapped != 0) {
    munmap(pixels, mapped);
    return;
  }
#endif
  delete[] pixels;
}

OwnedWorld::OwnedWorld(A_long width, A_long height)
    : width_(width), height_(height), rowbytes_(PaddedRowbytes(width)) {
  const size_t bytes = static_cast<size_t>(rowbytes_) * static_cast<size_t>(height);
#if defined(__linux__)
  size_t mapped = 0;
  if (bytes >= kHugePage) {
    if (unsigned char* pixels = MapHugePixels(bytes, &mapped)) {
      bytes_ = {pixels, PixelsDeleter{mapped}};
      return;
    }
  }
#endif
  bytes_ = {new unsigned char[bytes](), PixelsDeleter{}};
}

PF_EffectWorld OwnedWorld::Record(std::uintptr_t token) const {
  PF_EffectWorld world{};
  world.data = bytes_.get();
  world.rowbytes = rowbytes_;
  world.width = width_;
  world.height = height_;
  world.extent_hint = PF_Rect{0, 0, width_, height_};
  world.platform_ref = reinterpret_cast<void*>(token);
  world.pix_aspect_ratio = PF_RationalScale{1, 1};
  return world;
}

void OwnedWorld::Clear(Host::Impl* host) {
  SetEveryByte(host, 0);
}

void OwnedWorld::Poison(Host::Impl* host) {
  SetEveryByte(host, kPoison);
}

// Padding included, so bands are runs of whole rows.
void OwnedWorld::SetEveryByte(Host::Impl* host, unsigned char value) {
  const size_t rowBytes = static_cast<size_t>(rowbytes_);
  ForRowBands(host, height_, rowBytes, 1, [&](RowRange rows) {
    std::memset(bytes_.get() + static_cast<size_t>(rows.first) * rowBytes, value,
                static_cast<size_t>(rows.last - rows.first) * rowBytes);
  });
}

bool UsableWorld(const PF_EffectWorld* world) {
  return world != nullptr && world->data != nullptr && world->width > 0 && world->height > 0 &&
         world->rowbytes / 4 >= world->width;
}

bool Overlap(const PF_EffectWorld& a, const PF_EffectWorld& b) {
  const auto span = [](const PF_EffectWorld& w) {
    const auto first = reinterpret_cast<std::uintptr_t>(w.data);
    const std::uintptr_t end =
        first +
        static_cast<std::uintptr_t>(w.rowbytes) * static_cast<std::uintptr_t>(w.height - 1) +
        static_cast<std::uintptr_t>(w.width) * 4;
    return std::pair{first, end};
  };
  const auto [aFirst, aEnd] = span(a);
  const auto [bFirst, bEnd] = span(b);
  return aFirst < bEnd && bFirst < aEnd;
}

PF_EffectWorld Snapshot(const PF_EffectWorld& world, std::vector<unsigned char>* bytes) {
  const auto* first = static_cast<const unsigned char*>(world.data);
  bytes->assign(
      first, first + static_cast<size_t>(world.rowbytes) * static_cast<size_t>(world.height - 1) +
                 static_cast<size_t>(world.width) * 4);
  PF_EffectWorld copy = world;
  copy.data = bytes->data();
  return copy;
}

bool SameSize(const PF_EffectWorld& a, const PF_EffectWorld& b) {
  return a.width == b.width && a.height == b.height;
}

namespace {

// Worlds whose rows would not fit the 32-bit rowbytes are refused as out of memory.
constexpr A_long kMaxWidth = (std::numeric_limits<A_long>::max() - 16) / 4;

// A frame of the effect makes three worlds and disposes of them; a few more cover other
// effects' worlds of other sizes without holding much memory back.
constexpr size_t kPooledWorlds = 4;

// A pooled world of this size, cleared, or null; the most recently disposed one first,
// whose pixels are the likeliest still to be in cache.
std::unique_ptr<OwnedWorld> TakePooledWorld(Host::Impl* host, A_long width, A_long height) {
  auto& pool = host->pooledWorlds;
  for (auto it = pool.rbegin(); it != pool.rend(); ++it) {
    if ((*it)->Width() == width && (*it)->Height() == height) {
      std::unique_ptr<OwnedWorld> world = std::move(*it);
      pool.erase(std::next(it).base());
      world->Clear(host);
      return world;
    }
  }
  return nullptr;
}

PF_Err NewWorld(PF_ProgPtr ref, A_long width, A_long height, PF_NewWorldFlags /*flags*/,
                PF_EffectWorld* world) {
  Host::Impl* host = nullptr;
  if (PF_Err err = EnterCallback(ref, Op::NewWorld, &host)) return err;
  if (world == nullptr || width < 1 || height < 1) return PF_Err_BAD_CALLBACK_PARAM;
  if (width > kMaxWidth) return PF_Err_OUT_OF_MEMORY;
  std::unique_ptr<OwnedWorld> made = TakePooledWorld(host, width, height);
  try {
    if (made == nullptr) made = std::make_unique<OwnedWorld>(width, height);
  } catch (const std::bad_alloc&) {
    return PF_Err_OUT_OF_MEMORY;
  }
  const std::uintptr_t token = host->nextWorldToken++;
  *world = made->Record(token);
  const void* key = made->Data();
  host->effectWorlds.emplace(key, Host::Impl::EffectWorld{std::move(made), token});
  return PF_Err_NONE;
}

PF_Err DisposeWorld(PF_ProgPtr ref, PF_EffectWorld* world) {
  Host::Impl* host = nullptr;
  if (PF_Err err = EnterCallback(ref, Op::DisposeWorld, &host)) return err;
  if (world == nullptr) {
    host->Fault("dispose_world of a null record");
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  auto it = host->effectWorlds.find(world->data);
  if (it == host->effectWorlds.end() ||
      world->platform_ref != reinterpret_cast<void*>(it->second.token)) {
    host->Fault("dispose_world of a world the host did not make or already disposed");
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  // The record the effect holds is dead from here on: its token is not reused, so the
  // same address lent again later has another one.
  if (host->poisonOnRelease) it->second.world->Poison(host);
  auto& pool = host->pooledWorlds;
  if (pool.size() == kPooledWorlds) pool.erase(pool.begin());
  try {
    pool.push_back(std::move(it->second.world));
  } catch (const std::bad_alloc&) {
    // Not pooled after all: the world is freed with its entry below.
  }
  host->effectWorlds.erase(it);
  return PF_Err_NONE;
}

}  // namespace

// A rectangle (right and bottom exclusive) lying inside the world and not empty; null
// stands for the whole world.
bool ResolveRect(const PF_Rect* rect, const PF_EffectWorld& world, PF_Rect* out) {
  if (rect == nullptr) {
    *out = PF_Rect{0, 0, world.width, world.height};
    return true;
  }
  *out = *rect;
  return rect->left >= 0 && rect->top >= 0 && rect->left < rect->right &&
         rect->top < rect->bottom && rect->right <= world.width && rect->bottom <= world.height;
}

namespace {

PF_Err Fill(PF_ProgPtr ref, const PF_Pixel* color, const PF_Rect* dst_rect, PF_EffectWorld* world) {
  Host::Impl* host = nullptr;
  if (PF_Err err = EnterCallback(ref, Op::Fill, &host)) return err;
  PF_Rect rect;
  if (color == nullptr || !UsableWorld(world) || !ResolveRect(dst_rect, *world, &rect)) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  // One row of the rectangle is written pixel by pixel, the others are copies of it.
  const size_t rowBytes = static_cast<size_t>(rect.right - rect.left) * 4;
  const auto fillRows = [&](RowRange rows) {
    unsigned char* first = Row(*world, rect.top + rows.first) + static_cast<size_t>(rect.left) * 4;
    for (size_t i = 0; i < rowBytes; i += 4) std::memcpy(first + i, color, 4);
    for (A_long y = rect.top + rows.first + 1; y < rect.top + rows.last; ++y) {
      std::memcpy(Row(*world, y) + static_cast<size_t>(rect.left) * 4, first, rowBytes);
    }
  };
  ForRowBands(host, rect.bottom - rect.top, rowBytes, 1, fillRows);
  return PF_Err_NONE;
}

}  // namespace

void BindWorldCallbacks(PF_UtilCallbacks& utils) {
  utils.new_world = NewWorld;
  utils.dispose_world = DisposeWorld;
  utils.fill = Fill;
  utils.copy = Copy;
}

}  // namespace refhost
