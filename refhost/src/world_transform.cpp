// "PF World Transform Suite" 1: convolve here, blend and copy in their own files.
//
// convolve: for each channel c with its kernel k_c of n × n taps (h = n / 2, pixels
//           outside the image read as 0, D = 255 · n²):
//             acc = Σ_i Σ_j k_c[i·n + j] · P_c(x + j − h, y + i − h)
//             out = clamp(⌊(2·acc + D) / (2·D)⌋, 0, 255)      (round half up)
//
// convolve runs twice per simulated frame over full-HD trail fields, so a channel whose
// taps are all equal (t) is computed as t times the sum over its window (a box sum),
// which running sums give at a cost independent of n: a column sum per row kept up to
// date by adding the row entering the window and subtracting the row leaving it, then a
// running sum along the row. Being integer sums of the same terms, the result is exactly
// that of the general formula, which the other channels use directly.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "host_impl.h"
#include "vector_paths.h"

namespace refhost {

namespace {

// Above this size a window of 2^21 in-image taps could be reached, and 2·acc might no
// longer fit 64 bits (|tap| < 2^31, pixel < 2^8).
constexpr A_long kMaxKernelSize = 1447;
// Box sums map to output bytes through a table while it stays this small (n <= 31).
constexpr std::int64_t kMaxTableSize = 1 << 18;

inline unsigned char Rounded(std::int64_t acc, std::int64_t d) {
  const std::int64_t num = 2 * acc + d;
  const std::int64_t den = 2 * d;
  std::int64_t q = num / den;
  if (num % den != 0 && num < 0) --q;  // floor, where C++ truncates towards zero
  return static_cast<unsigned char>(std::clamp<std::int64_t>(q, 0, 255));
}

// table[s] = Rounded(tap · s, d) for s = 0 … d, without a division per entry: the
// numerator 2·tap·s + d grows by 2·tap a step, so its quotient by 2·d grows by that step's
// quotient, plus one whenever the remainders carry. Any sign of tap: the step's remainder
// is taken in 0 … 2·d − 1, which keeps the floor.
void RoundedTable(std::int64_t tap, std::int64_t d, unsigned char* table) {
  const std::int64_t den = 2 * d;
  std::int64_t stepQuotient = 2 * tap / den;
  std::int64_t stepRemainder = 2 * tap % den;
  if (stepRemainder < 0) {
    stepRemainder += den;
    --stepQuotient;
  }
  std::int64_t quotient = 0;  // s = 0: ⌊d / 2d⌋
  std::int64_t remainder = d;
  for (std::int64_t s = 0; s <= d; ++s) {
    table[s] = static_cast<unsigned char>(std::clamp<std::int64_t>(quotient, 0, 255));
    quotient += stepQuotient;
    remainder += stepRemainder;
    if (remainder >= den) {
      remainder -= den;
      ++quotient;
    }
  }
}

bool AllTapsEqual(const A_long* taps, A_long n) {
  const size_t count = static_cast<size_t>(n) * static_cast<size_t>(n);
  return std::all_of(taps, taps + count, [&](A_long t) { return t == taps[0]; });
}

// A channel's table written as arithmetic that vectorises 8 lanes wide: table[s] = min(255,
// ((s · scale + add) · mul) >> shift) with s · scale + add and mul within 16 bits (so the
// product is a 16 × 16 multiply, high half), shift being one for all channels. The
// forms follow the rounded rule ⌊(t·s + (D − 1)/2) / D⌋ (D = 255 · n² is odd, so the half
// never ties): for 1 × 1 kernels with 0 <= t <= 255, scale t, add 127 and mul ⌈2^23 / 255⌉;
// for box sums, scale 1, mul ≈ 2^16 · t / D and add ≈ ((D − 1)/2) / t (an alpha that
// saturates, t = D, is min(255, ((s + 1) · 65535) >> 16)). Each candidate is
// checked against the whole table, and used only if it reproduces every entry.
constexpr int kPointwiseShift = 23;
constexpr int kBoxShift = 16;

struct ChannelArithmetic {
  std::uint32_t scale;
  std::uint32_t add;
  std::uint32_t mul;
};

bool Reproduces(const unsigned char* table, std::int64_t d, const ChannelArithmetic& a, int shift) {
  // The high half stays below 2^15, so the clamp is a signed 16-bit minimum (SSE2 has no
  // unsigned one).
  const std::int64_t largest = d * a.scale + a.add;
  if (largest > 65535 || a.mul > 65535 || ((largest * a.mul) >> 16) > 32767) return false;
  for (std::int64_t s = 0; s <= d; ++s) {
    const std::int64_t v = ((s * a.scale + a.add) * a.mul) >> shift;
    if (std::min<std::int64_t>(255, v) != table[s]) return false;
  }
  return true;
}

bool FindArithmetic(const unsigned char* table, std::int64_t d, std::int64_t tap, int shift,
                    ChannelArithmetic* found) {
  if (tap < 0) return false;
  if (shift == kPointwiseShift) {
    *found = {static_cast<std::uint32_t>(tap), 127, 32897};
    return tap <= 255 && Reproduces(table, d, *found, shift);
  }
  if (tap == 0 || d > 65535) return false;
  const std::int64_t mulFloor = std::min<std::int64_t>(65536 * tap / d, 65535);
  const std::int64_t addFloor = (d - 1) / 2 / tap;
  for (std::int64_t mul : {std::min<std::int64_t>(mulFloor + 1, 65535), mulFloor}) {
    for (std::int64_t add : {addFloor, addFloor + 1}) {
      *found = {1, static_cast<std::uint32_t>(add), static_cast<std::uint32_t>(mul)};
      if (mul > 0 && Reproduces(table, d, *found, shift)) return true;
    }
  }
  return false;
}

// The four channels' arithmetic laid out for eight pixels at a time (a 512-bit group of
// 16-bit values, or two 256-bit ones).
struct RowArithmetic {
  static constexpr size_t kValues = 32;
  std::uint16_t scale[kValues];
  std::uint16_t add[kValues];
  std::uint16_t mul[kValues];
};

// False when some channel has no such arithmetic.
bool FindRowArithmetic(const unsigned char* const tables[4], std::int64_t d,
                       const A_long* const taps[4], int shift, RowArithmetic* row) {
  for (int c = 0; c < 4; ++c) {
    ChannelArithmetic channel;
    if (!FindArithmetic(tables[c], d, taps[c][0], shift, &channel)) return false;
    for (size_t k = static_cast<size_t>(c); k < RowArithmetic::kValues; k += 4) {
      row->scale[k] = static_cast<std::uint16_t>(channel.scale);
      row->add[k] = static_cast<std::uint16_t>(channel.add);
      row->mul[k] = static_cast<std::uint16_t>(channel.mul);
    }
  }
  return true;
}

// One value through its channel's arithmetic: a 16-bit multiply-add, then the high half
// of a 16 × 16 multiply.
template <int kShift>
[[gnu::always_inline]] inline unsigned char Mapped(std::uint16_t s, std::uint16_t scale,
                                                   std::uint16_t add, std::uint16_t mul) {
  const auto v = static_cast<std::uint16_t>(s * scale + add);
  const auto high = static_cast<std::int16_t>((std::uint32_t{v} * mul) >> 16);
  return static_cast<unsigned char>(std::min<std::int16_t>(high >> (kShift - 16), 255));
}

// out[i] = table_c[in[i]] through the arithmetic, row by row, a group of values at a time.
// (Unlike the 3 × 3 pass, this one gains nothing from fetching the next rows ahead.)
[[gnu::always_inline]] inline void MapRows(const PF_EffectWorld& src, const PF_EffectWorld& dst,
                                           const RowArithmetic& arithmetic) {
  constexpr size_t kGroup = RowArithmetic::kValues;
  // A local copy: the output bytes could alias the caller's record, not this.
  const RowArithmetic a = arithmetic;
  const size_t values = static_cast<size_t>(src.width) * 4;
  for (A_long y = 0; y < src.height; ++y) {
    const unsigned char* in = Row(src, y);
    unsigned char* __restrict out = Row(dst, y);
    size_t i = 0;
    for (; i + kGroup <= values; i += kGroup) {
      for (size_t k = 0; k < kGroup; ++k) {
        out[i + k] = Mapped<kPointwiseShift>(in[i + k], a.scale[k], a.add[k], a.mul[k]);
      }
    }
    for (; i < values; ++i) {
      const size_t k = i % kGroup;
      out[i] = Mapped<kPointwiseShift>(in[i], a.scale[k], a.add[k], a.mul[k]);
    }
  }
}

// The 1 × 1 case: each output byte is a function of one input byte.
void ConvolvePointwise(Host::Impl* host, const PF_EffectWorld& src, const PF_EffectWorld& dst,
                       const A_long* const taps[4], unsigned mask) {
  unsigned char table[4][256];
  for (int c = 0; c < 4; ++c) RoundedTable(taps[c][0], 255, table[c]);
  const size_t values = static_cast<size_t>(src.width) * 4;
  const unsigned char* const tables[4] = {table[0], table[1], table[2], table[3]};
  RowArithmetic arithmetic;
  if (mask == 0xF && FindRowArithmetic(tables, 255, taps, kPointwiseShift, &arithmetic)) {
    ForRowBands(host, src.height, 2 * values, 1, [&](RowRange rows) {
      RunPass<MapRows>(host->wideVectors, RowsOf(src, rows), RowsOf(dst, rows), arithmetic);
    });
    return;
  }
  ForRowBands(host, src.height, 2 * values, 1, [&](RowRange rows) {
    for (A_long y = rows.first; y < rows.last; ++y) {
      const unsigned char* in = Row(src, y);
      unsigned char* out = Row(dst, y);
      if (mask == 0xF) {
        for (size_t i = 0; i < values; i += 4) {
          out[i] = table[0][in[i]];
          out[i + 1] = table[1][in[i + 1]];
          out[i + 2] = table[2][in[i + 2]];
          out[i + 3] = table[3][in[i + 3]];
        }
        continue;
      }
      for (unsigned c = 0; c < 4; ++c) {
        if (!(mask & (1u << c))) continue;
        for (size_t i = c; i < values; i += 4) out[i] = table[c][in[i]];
      }
    }
  });
}

// column += entering − leaving, for the rows that exist.
void UpdateColumnSums(const unsigned char* entering, const unsigned char* leaving,
                      std::int32_t* column, size_t values) {
  if (entering != nullptr && leaving != nullptr) {
    for (size_t i = 0; i < values; ++i) column[i] += entering[i] - leaving[i];
  } else if (entering != nullptr) {
    for (size_t i = 0; i < values; ++i) column[i] += entering[i];
  } else if (leaving != nullptr) {
    for (size_t i = 0; i < values; ++i) column[i] -= leaving[i];
  }
}

// box[x] = box[x − 1] + column[x + h] (if inside) − column[x − h − 1] (if inside), per
// channel, for x in [x0, x1). Values are interleaved by channel, so the recurrence
// reaches back 4 values and vectorises 4 wide.
template <bool kEnter, bool kLeave>
void SlideWindow(const std::int32_t* column, std::int32_t* box, A_long h, A_long x0, A_long x1) {
  const size_t reach = 4 * static_cast<size_t>(h);
  for (size_t i = 4 * static_cast<size_t>(x0); i < 4 * static_cast<size_t>(x1); ++i) {
    std::int32_t v = box[i - 4];
    if constexpr (kEnter) v += column[i + reach];
    if constexpr (kLeave) v -= column[i - reach - 4];
    box[i] = v;
  }
}

// The sums over [x − h, x + h] clipped to the row, for every x and channel.
void BoxSumsAlongRow(const std::int32_t* column, std::int32_t* box, A_long width, A_long h) {
  for (int c = 0; c < 4; ++c) box[c] = 0;
  for (A_long j = 0; j <= std::min(h, width - 1); ++j) {
    for (int c = 0; c < 4; ++c) box[c] += column[4 * static_cast<size_t>(j) + c];
  }
  // From x = 1 on, column x + h enters while x < width − h, and column x − h − 1 leaves
  // once x > h: the row splits into at most three runs with fixed terms.
  const A_long enterEnd = std::clamp<A_long>(width - h, 1, width);
  const A_long leaveStart = std::clamp<A_long>(h + 1, 1, width);
  if (leaveStart <= enterEnd) {
    SlideWindow<true, false>(column, box, h, 1, leaveStart);
    SlideWindow<true, true>(column, box, h, leaveStart, enterEnd);
    SlideWindow<false, true>(column, box, h, enterEnd, width);
  } else {
    SlideWindow<true, false>(column, box, h, 1, enterEnd);
    SlideWindow<false, false>(column, box, h, enterEnd, leaveStart);
    SlideWindow<false, true>(column, box, h, leaveStart, width);
  }
}

// One output row from its column sums (`columns` holds four zeros on either side for the
// pixels beyond the left and right edges): each sum with its neighbours one pixel (four
// values) to either side, through the arithmetic. While it computes, it fetches the rows
// the next pass reads and writes, which come from beyond this core's caches.
[[gnu::always_inline]] inline void MapBox3Row(const std::uint16_t* columns, unsigned char* out,
                                              size_t values, const RowArithmetic& a,
                                              const unsigned char* nextIn, unsigned char* nextOut) {
  constexpr size_t kGroup = RowArithmetic::kValues;
  const std::uint16_t* const left = columns;
  const std::uint16_t* const column = columns + 4;
  const std::uint16_t* const right = columns + 8;
  size_t i = 0;
  for (; i + kGroup <= values; i += kGroup) {
    __builtin_prefetch(nextIn + i);
    __builtin_prefetch(nextOut + i, 1);
    for (size_t k = 0; k < kGroup; ++k) {
      const auto box = static_cast<std::uint16_t>(left[i + k] + column[i + k] + right[i + k]);
      out[i + k] = Mapped<kBoxShift>(box, 1, a.add[k], a.mul[k]);
    }
  }
  for (; i < values; ++i) {
    const size_t k = i % kGroup;
    const auto box = static_cast<std::uint16_t>(left[i] + column[i] + right[i]);
    out[i] = Mapped<kBoxShift>(box, 1, a.add[k], a.mul[k]);
  }
}

// The 3 × 3 box sums in 16 bits (a sum is at most 9 · 255), two output rows at a time:
// rows y and y + 1 share the sum of source rows y and y + 1, so one pass over four source
// rows (a row beyond the top or bottom edge is a row of zeros) makes both rows' column
// sums in L1-resident buffers, and a second pass per output row maps them.
[[gnu::always_inline]] inline void Box3InSixteenBits(const PF_EffectWorld& src,
                                                     const PF_EffectWorld& dst,
                                                     const RowArithmetic& arithmetic,
                                                     const RowRange& rows) {
  const size_t values = static_cast<size_t>(src.width) * 4;
  const std::vector<unsigned char> zeros(values, 0);
  std::vector<std::uint16_t> upperColumns(values + 8, 0);
  std::vector<std::uint16_t> lowerColumns(values + 8, 0);
  std::uint16_t* const upper = upperColumns.data() + 4;
  std::uint16_t* const lower = lowerColumns.data() + 4;
  // A local copy: the output bytes could alias the caller's record, not this.
  const RowArithmetic a = arithmetic;
  const A_long height = src.height;
  const auto rowOrZeros = [&](A_long y) {
    return y >= 0 && y < height ? Row(src, y) : zeros.data();
  };
  for (A_long y = rows.first; y < rows.last; y += 2) {
    const unsigned char* r0 = rowOrZeros(y - 1);
    const unsigned char* r1 = Row(src, y);
    const unsigned char* r2 = rowOrZeros(y + 1);
    const unsigned char* r3 = rowOrZeros(y + 2);
    for (size_t i = 0; i < values; ++i) {
      const auto shared = static_cast<std::uint16_t>(r1[i] + r2[i]);
      upper[i] = static_cast<std::uint16_t>(r0[i] + shared);
      lower[i] = static_cast<std::uint16_t>(shared + r3[i]);
    }
    // The next pair of rows adds source rows y + 3 and y + 4 and writes y + 2 and y + 3.
    const A_long last = height - 1;
    MapBox3Row(upperColumns.data(), Row(dst, y), values, a, Row(src, std::min(y + 3, last)),
               Row(dst, std::min(y + 2, last)));
    if (y + 1 < rows.last) {
      MapBox3Row(lowerColumns.data(), Row(dst, y + 1), values, a, Row(src, std::min(y + 4, last)),
                 Row(dst, std::min(y + 3, last)));
    }
  }
}

// The channels in `mask`, whose kernels hold one repeated tap each, through box sums.
void ConvolveBox(Host::Impl* host, const PF_EffectWorld& src, const PF_EffectWorld& dst, A_long n,
                 const A_long* const taps[4], unsigned mask) {
  if (n == 1) {
    ConvolvePointwise(host, src, dst, taps, mask);
    return;
  }
  const A_long width = src.width;
  const A_long height = src.height;
  const A_long h = n / 2;
  const std::int64_t d = 255LL * n * n;
  const size_t values = static_cast<size_t>(width) * 4;

  // A box sum lies in 0 … 255 · n² (below 2^31 for n <= kMaxKernelSize).
  const bool useTable = d + 1 <= kMaxTableSize;
  std::vector<unsigned char> tables[4];
  if (useTable) {
    for (unsigned c = 0; c < 4; ++c) {
      if (!(mask & (1u << c))) continue;
      tables[c].resize(static_cast<size_t>(d) + 1);
      RoundedTable(taps[c][0], d, tables[c].data());
    }
  }

  if (n == 3 && useTable && mask == 0xF) {
    const unsigned char* const tablePointers[4] = {tables[0].data(), tables[1].data(),
                                                   tables[2].data(), tables[3].data()};
    RowArithmetic arithmetic;
    if (FindRowArithmetic(tablePointers, d, taps, kBoxShift, &arithmetic)) {
      // Bands start on even rows, as the pairs of rows do.
      ForRowBands(host, height, 2 * values, 2, [&](RowRange rows) {
        RunPass<Box3InSixteenBits>(host->wideVectors, src, dst, arithmetic, rows);
      });
      return;
    }
  }

  ForRowBands(host, height, 2 * values, 1, [&](RowRange rows) {
    std::vector<std::int32_t> column(values, 0);  // per x and channel: sum over the rows
    std::vector<std::int32_t> box(values);
    // Before row y the columns hold the sums over rows y − 1 − h … y − 1 + h.
    for (A_long y = std::max(rows.first - 1 - h, 0); y < std::min(rows.first + h, height); ++y) {
      UpdateColumnSums(Row(src, y), nullptr, column.data(), values);
    }
    for (A_long y = rows.first; y < rows.last; ++y) {
      UpdateColumnSums(y + h < height ? Row(src, y + h) : nullptr,
                       y - h - 1 >= 0 ? Row(src, y - h - 1) : nullptr, column.data(), values);
      BoxSumsAlongRow(column.data(), box.data(), width, h);

      unsigned char* out = Row(dst, y);
      if (useTable && mask == 0xF) {
        const unsigned char* t0 = tables[0].data();
        const unsigned char* t1 = tables[1].data();
        const unsigned char* t2 = tables[2].data();
        const unsigned char* t3 = tables[3].data();
        for (size_t i = 0; i < values; i += 4) {
          out[i] = t0[box[i]];
          out[i + 1] = t1[box[i + 1]];
          out[i + 2] = t2[box[i + 2]];
          out[i + 3] = t3[box[i + 3]];
        }
        continue;
      }
      for (unsigned c = 0; c < 4; ++c) {
        if (!(mask & (1u << c))) continue;
        if (useTable) {
          const unsigned char* table = tables[c].data();
          for (size_t i = c; i < values; i += 4) out[i] = table[box[i]];
        } else {
          for (size_t i = c; i < values; i += 4)
            out[i] = Rounded(taps[c][0] * std::int64_t{box[i]}, d);
        }
      }
    }
  });
}

// One channel by the formula itself: each tap adds its multiple of a shifted source row.
void ConvolveGeneral(Host::Impl* host, const PF_EffectWorld& src, const PF_EffectWorld& dst,
                     A_long n, const A_long* taps, unsigned c) {
  const A_long width = src.width;
  const A_long height = src.height;
  const A_long h = n / 2;
  const std::int64_t d = 255LL * n * n;
  ForRowBands(host, height, static_cast<size_t>(width) * 8, 1, [&](RowRange rows) {
    std::vector<std::int64_t> acc(static_cast<size_t>(width));
    for (A_long y = rows.first; y < rows.last; ++y) {
      std::fill(acc.begin(), acc.end(), 0);
      const A_long iFirst = std::max<A_long>(0, h - y);
      const A_long iLast = std::min<A_long>(n - 1, height - 1 - y + h);
      for (A_long i = iFirst; i <= iLast; ++i) {
        const unsigned char* in = Row(src, y + i - h) + c;
        for (A_long j = 0; j < n; ++j) {
          const std::int64_t t =
              taps[static_cast<size_t>(i) * static_cast<size_t>(n) + static_cast<size_t>(j)];
          if (t == 0) continue;
          const A_long dx = j - h;
          const A_long x0 = std::max<A_long>(0, -dx);
          const A_long x1 = std::min<A_long>(width, width - dx);
          for (A_long x = x0; x < x1; ++x) acc[static_cast<size_t>(x)] += t * in[4 * (x + dx)];
        }
      }
      unsigned char* out = Row(dst, y) + c;
      for (A_long x = 0; x < width; ++x) out[4 * x] = Rounded(acc[static_cast<size_t>(x)], d);
    }
  });
}

PF_Err Convolve(PF_ProgPtr ref, PF_EffectWorld* src, const PF_Rect* area, PF_KernelFlags flags,
                A_long kernel_size, void* a_kernel, void* r_kernel, void* g_kernel, void* b_kernel,
                PF_EffectWorld* dst) {
  Host::Impl* host = nullptr;
  if (PF_Err err = EnterCallback(ref, Op::Convolve, &host)) return err;
  const A_long* const taps[4] = {
      static_cast<const A_long*>(a_kernel), static_cast<const A_long*>(r_kernel),
      static_cast<const A_long*>(g_kernel), static_cast<const A_long*>(b_kernel)};
  if (area != nullptr || flags != PF_KernelFlag_NONE || kernel_size < 1 || kernel_size % 2 == 0 ||
      kernel_size > kMaxKernelSize || !UsableWorld(src) || !UsableWorld(dst) ||
      Overlap(*src, *dst) || !SameSize(*src, *dst) ||
      std::find(std::begin(taps), std::end(taps), nullptr) != std::end(taps)) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  unsigned boxMask = 0;
  for (unsigned c = 0; c < 4; ++c) {
    if (AllTapsEqual(taps[c], kernel_size)) boxMask |= 1u << c;
  }
  try {
    if (boxMask != 0) ConvolveBox(host, *src, *dst, kernel_size, taps, boxMask);
    for (unsigned c = 0; c < 4; ++c) {
      if (!(boxMask & (1u << c))) ConvolveGeneral(host, *src, *dst, kernel_size, taps[c], c);
    }
  } catch (const std::bad_alloc&) {
    // The row buffers of a huge world: no exception may cross back into the effect.
    return PF_Err_OUT_OF_MEMORY;
  }
  return PF_Err_NONE;
}

// The slots this host does not offer stay null.
const PF_WorldTransformSuite1 kWorldTransformSuite = [] {
  PF_WorldTransformSuite1 suite{};
  suite.blend = Blend;
  suite.convolve = Convolve;
  suite.copy = Copy;
  return suite;
}();

}  // namespace

const PF_WorldTransformSuite1* WorldTransformSuiteTable() {
  return &kWorldTransformSuite;
}

}  // namespace refhost
