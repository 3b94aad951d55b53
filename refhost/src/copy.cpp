// copy of the utility callbacks and of "PF World Transform Suite" 1.
//
// Destination pixel (x, y) of the destination rectangle takes the source pixel
// (⌊x · srcWidth / dstWidth⌋, ⌊y · srcHeight / dstHeight⌋) of the source rectangle, both
// counted from the rectangles' corners (in the Down flavour the pixel at the destination
// pixel's centre, ⌊(2x + 1) · srcWidth / (2 · dstWidth)⌋); equal sizes make it an exact copy.
#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "host_impl.h"

namespace refhost {

// Where a scaled copy's reading of its whole source goes, so that it is not optimised away.
volatile unsigned char sourceRead = 0;

namespace {

struct Rects {
  PF_Rect s;
  PF_Rect d;
};

void CopySameSize(Host::Impl* host, const PF_EffectWorld& from, const PF_EffectWorld& dst,
                  const Rects& r) {
  const size_t rowBytes = static_cast<size_t>(r.d.right - r.d.left) * 4;
  ForRowBands(host, r.d.bottom - r.d.top, 2 * rowBytes, 1, [&](RowRange rows) {
    for (A_long y = rows.first; y < rows.last; ++y) {
      std::memcpy(Row(dst, r.d.top + y) + static_cast<size_t>(r.d.left) * 4,
                  Row(from, r.s.top + y) + static_cast<size_t>(r.s.left) * 4, rowBytes);
    }
  });
}

// A scaled copy reads its whole source all the same, as a filtering host would: an
// effect writing any of it meanwhile is caught by a race detector, not by the scale.
void ReadWholeSource(Host::Impl* host, const PF_EffectWorld& from, const PF_Rect& s) {
  const size_t rowBytes = static_cast<size_t>(s.right - s.left) * 4;
  std::atomic<unsigned> seen{0};
  ForRowBands(host, s.bottom - s.top, rowBytes, 1, [&](RowRange rows) {
    unsigned char any = 0;
    for (A_long y = rows.first; y < rows.last; ++y) {
      const unsigned char* in = Row(from, s.top + y) + static_cast<size_t>(s.left) * 4;
      for (size_t i = 0; i < rowBytes; ++i) any |= in[i];
    }
    seen.fetch_or(any, std::memory_order_relaxed);
  });
  sourceRead = static_cast<unsigned char>(seen.load(std::memory_order_relaxed));
}

// out pixel x = the pixel at in + offsets[x], for x < count.
void ScaleRow(const unsigned char* in, unsigned char* __restrict out,
              const size_t* __restrict offsets, size_t count) {
  for (size_t x = 0; x < count; ++x) std::memcpy(out + x * 4, in + offsets[x], 4);
}

// `sourceOffset[x]`: the byte of the source row that destination pixel x takes. A
// destination row taking the same source row as the one above is a copy of that row.
void CopyScaled(Host::Impl* host, const PF_EffectWorld& from, const PF_EffectWorld& dst,
                const Rects& r, const std::vector<size_t>& sourceOffset) {
  const std::int64_t sh = r.s.bottom - r.s.top;
  const std::int64_t dh = r.d.bottom - r.d.top;
  const size_t dw = sourceOffset.size();
  const size_t* const offsets = sourceOffset.data();
  const std::int64_t half = host->flavour == Host::Flavour::Down ? 1 : 0;
  const auto sourceRow = [&](std::int64_t y) {
    return static_cast<A_long>(r.s.top + (2 * y + half) * sh / (2 * dh));
  };
  ForRowBands(host, static_cast<A_long>(dh), dw * 4, 1, [&](RowRange rows) {
    for (A_long y = rows.first; y < rows.last; ++y) {
      unsigned char* out = Row(dst, r.d.top + y) + static_cast<size_t>(r.d.left) * 4;
      if (y > rows.first && sourceRow(y) == sourceRow(y - 1)) {
        std::memcpy(out, Row(dst, r.d.top + y - 1) + static_cast<size_t>(r.d.left) * 4, dw * 4);
        continue;
      }
      const unsigned char* in = Row(from, sourceRow(y));
      ScaleRow(in, out, offsets, dw);
    }
  });
}

}  // namespace

PF_Err Copy(PF_ProgPtr ref, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r,
            PF_Rect* dst_r) {
  Host::Impl* host = nullptr;
  if (PF_Err err = EnterCallback(ref, Op::Copy, &host)) return err;
  Rects r;
  if (!UsableWorld(src) || !UsableWorld(dst) || !ResolveRect(src_r, *src, &r.s) ||
      !ResolveRect(dst_r, *dst, &r.d)) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  const std::int64_t sw = r.s.right - r.s.left;
  const std::int64_t dw = r.d.right - r.d.left;
  try {
    // Where the worlds share bytes, read from a snapshot: the rows written may be rows
    // still to read.
    std::vector<unsigned char> snapshot;
    PF_EffectWorld from = *src;
    if (Overlap(*src, *dst)) from = Snapshot(*src, &snapshot);
    if (sw == dw && r.s.bottom - r.s.top == r.d.bottom - r.d.top) {
      CopySameSize(host, from, *dst, r);
      return PF_Err_NONE;
    }
    ReadWholeSource(host, from, r.s);
    const std::int64_t half = host->flavour == Host::Flavour::Down ? 1 : 0;
    std::vector<size_t> sourceOffset(static_cast<size_t>(dw));
    for (std::int64_t x = 0; x < dw; ++x) {
      sourceOffset[static_cast<size_t>(x)] =
          static_cast<size_t>(r.s.left + (2 * x + half) * sw / (2 * dw)) * 4;
    }
    CopyScaled(host, from, *dst, r, sourceOffset);
  } catch (const std::bad_alloc&) {
    return PF_Err_OUT_OF_MEMORY;
  }
  return PF_Err_NONE;
}

}  // namespace refhost
