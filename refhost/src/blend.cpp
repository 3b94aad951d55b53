// blend of "PF World Transform Suite" 1: on every byte
//   d = (s1 · (65536 − ratio) + s2 · ratio + 32768) >> 16, ratio clamped to 0 … 65536
// (without the 32768 in the Down flavour).
//
// Since the weights add up to 65536, the sum is s1 · 65536 + (s2 − s1) · ratio + half, and
// as s1 · 65536 is a whole multiple of 65536, d = s1 + ⌊((s2 − s1) · ratio + half) / 65536⌋
// exactly. The difference fits a signed 16-bit lane and its product with the ratio fits
// 32 bits, whose high and low halves come from 16-bit multiplies (8 lanes per 128 bits,
// where a 32-bit multiply takes 4 and needs SSE4.1):
//   ratio = q + 65536 · big, q the ratio's low 16 bits read as signed (so big is 1 from
//   32768 on, 65536 included), and (s2 − s1) · ratio = (s2 − s1) · q + 65536 · big · (s2 − s1);
//   the high half is that of (s2 − s1) · q plus big · (s2 − s1), and adding half (0 or
//   32768) to the low half carries exactly when half is 32768 and the low half's top bit
//   is set.
// Everything is then exact modulo 2^16, and the true result lies in 0 … 255.
#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "host_impl.h"
#include "vector_paths.h"

namespace refhost {

namespace {

struct BlendWeights {
  std::int16_t low;        // the ratio's low 16 bits, as a signed value
  std::int16_t bigMask;    // all ones when the ratio is 32768 or more, else 0
  std::uint16_t carryBit;  // 1 when rounding to nearest, 0 when rounding down
};

[[gnu::always_inline]] inline unsigned char Blended(unsigned char s1, unsigned char s2,
                                                    const BlendWeights& w) {
  const auto difference = static_cast<std::int16_t>(s2 - s1);
  const auto high = static_cast<std::int16_t>((std::int32_t{difference} * w.low) >> 16);
  // The low half alone, as a 16-bit multiply gives it.
  const auto low = static_cast<std::uint16_t>(
      std::uint32_t{static_cast<std::uint16_t>(difference)} * static_cast<std::uint16_t>(w.low));
  const auto carry = static_cast<std::uint16_t>((low >> 15) & w.carryBit);
  return static_cast<unsigned char>(s1 + high + (difference & w.bigMask) + carry);
}

// Each destination byte depends only on the source bytes at its own place, so the loop may
// run many places at once even where the destination is one of the sources (the caller
// reads from a snapshot any source that overlaps the destination otherwise).
[[gnu::always_inline]] inline void BlendRows(const PF_EffectWorld& src1, const PF_EffectWorld& src2,
                                             const PF_EffectWorld& dst,
                                             const BlendWeights& weights) {
  const BlendWeights w = weights;
  const size_t values = static_cast<size_t>(dst.width) * 4;
  for (A_long y = 0; y < dst.height; ++y) {
    const unsigned char* a = Row(src1, y);
    const unsigned char* b = Row(src2, y);
    unsigned char* d = Row(dst, y);
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC ivdep
#endif
    for (size_t i = 0; i < values; ++i) d[i] = Blended(a[i], b[i], w);
  }
}

}  // namespace

PF_Err Blend(PF_ProgPtr ref, const PF_EffectWorld* src1, const PF_EffectWorld* src2, PF_Fixed ratio,
             PF_EffectWorld* dst) {
  Host::Impl* host = nullptr;
  if (PF_Err err = EnterCallback(ref, Op::Blend, &host)) return err;
  if (!UsableWorld(src1) || !UsableWorld(src2) || !UsableWorld(dst) || !SameSize(*src1, *dst) ||
      !SameSize(*src2, *dst)) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  // Both sources are read at every ratio, even where one weighs nothing: the weighing is
  // the host's, and an effect must not count on a source going unread.
  const PF_Fixed r = std::clamp<PF_Fixed>(ratio, 0, 65536);
  const BlendWeights weights{
      static_cast<std::int16_t>(static_cast<std::uint16_t>(r & 0xFFFF)),
      static_cast<std::int16_t>(r >= 32768 ? -1 : 0),
      static_cast<std::uint16_t>(host->flavour == Host::Flavour::Down ? 0 : 1)};
  // A source sharing bytes with the destination other than pixel for pixel is read from
  // a snapshot, so that no byte is read after it was written.
  std::vector<unsigned char> snapshots[2];
  PF_EffectWorld sources[2] = {*src1, *src2};
  try {
    for (int k = 0; k < 2; ++k) {
      if (SharesOtherPixels(*dst, sources[k])) sources[k] = Snapshot(sources[k], &snapshots[k]);
    }
  } catch (const std::bad_alloc&) {
    return PF_Err_OUT_OF_MEMORY;
  }
  ForRowBands(host, dst->height, static_cast<size_t>(dst->width) * 4 * 3, 1, [&](RowRange rows) {
    RunPass<BlendRows>(host->wideVectors, RowsOf(sources[0], rows), RowsOf(sources[1], rows),
                       RowsOf(*dst, rows), weights);
  });
  return PF_Err_NONE;
}

}  // namespace refhost
