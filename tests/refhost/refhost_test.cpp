// The reference host's own promises that the effect's tests rest on. (Failure
// injection by the fault sweep, which checks the operation and code of each call it fails.)
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "pf_effect.h"
#include "pf_suites.h"
#include "refhost/host.h"
#include "refhost/image.h"

namespace refhost {

// A readable failure message rather than the image's bytes.
void PrintTo(const Image& image, std::ostream* os) {
  *os << image.width << "x" << image.height << " image";
}

namespace {

// A world whose bytes the test owns; the padding bytes hold 0xEE, so a reader that
// ignores rowbytes sees them.
struct World {
  std::vector<unsigned char> bytes;
  PF_EffectWorld world{};
};

World MakeWorld(const Image& image) {
  World w;
  const A_long rowbytes = PaddedRowbytes(image.width);
  w.bytes.assign(static_cast<size_t>(rowbytes) * static_cast<size_t>(image.height), 0xEE);
  w.world.data = w.bytes.data();
  w.world.rowbytes = rowbytes;
  w.world.width = image.width;
  w.world.height = image.height;
  image.CopyInto(w.world);
  return w;
}

// Every byte different from its neighbours, and the full 0 … 255 range covered.
Image Pattern(int width, int height, unsigned seed) {
  Image image(width, height);
  std::uint32_t state = seed * 2654435761u + 1;
  for (PF_Pixel& p : image.pixels) {
    auto next = [&] {
      state = state * 1664525u + 1013904223u;
      return static_cast<A_u_char>(state >> 24);
    };
    p = PF_Pixel{next(), next(), next(), next()};
  }
  return image;
}

A_u_char Channel(const PF_Pixel& p, int c) {
  const A_u_char values[4] = {p.alpha, p.red, p.green, p.blue};
  return values[c];
}

// out = clamp(⌊(2·acc + D) / (2·D)⌋, 0, 255), acc summed tap by tap (truncation differs
// from the floor only below 0, which clamps to 0 either way).
Image ReferenceConvolve(const Image& src, int n, const std::vector<A_long> kernels[4]) {
  Image out(src.width, src.height);
  const int h = n / 2;
  const std::int64_t d = 255LL * n * n;
  for (int y = 0; y < src.height; ++y) {
    for (int x = 0; x < src.width; ++x) {
      A_u_char result[4];
      for (int c = 0; c < 4; ++c) {
        std::int64_t acc = 0;
        for (int i = 0; i < n; ++i) {
          for (int j = 0; j < n; ++j) {
            const int sx = x + j - h, sy = y + i - h;
            if (sx < 0 || sy < 0 || sx >= src.width || sy >= src.height) continue;
            acc += std::int64_t{kernels[c][static_cast<size_t>(i * n + j)]} *
                   Channel(src.At(sx, sy), c);
          }
        }
        result[c] =
            static_cast<A_u_char>(std::clamp<std::int64_t>((2 * acc + d) / (2 * d), 0, 255));
      }
      out.At(x, y) = PF_Pixel{result[0], result[1], result[2], result[3]};
    }
  }
  return out;
}

// d = (s1 · (65536 − r) + s2 · r + half) >> 16 on every byte, r clamped to 0 … 65536.
Image ReferenceBlend(const Image& a, const Image& b, PF_Fixed ratio, std::uint32_t half) {
  const auto r = static_cast<std::uint32_t>(std::clamp(ratio, 0, 65536));
  Image out(a.width, a.height);
  for (size_t i = 0; i < out.pixels.size(); ++i) {
    A_u_char d[4];
    for (int c = 0; c < 4; ++c) {
      d[c] = static_cast<A_u_char>(
          (Channel(a.pixels[i], c) * (65536 - r) + Channel(b.pixels[i], c) * r + half) >> 16);
    }
    out.pixels[i] = PF_Pixel{d[0], d[1], d[2], d[3]};
  }
  return out;
}

// Destination pixel (x, y) takes source pixel (⌊(2x + half) · sw / 2dw⌋, likewise in y).
Image ReferenceScaledCopy(const Image& src, int width, int height, int half) {
  Image out(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      out.At(x, y) = src.At(static_cast<int>((2LL * x + half) * src.width / (2LL * width)),
                            static_cast<int>((2LL * y + half) * src.height / (2LL * height)));
    }
  }
  return out;
}

class RefHostTest : public ::testing::Test {
 protected:
  RefHostTest() : in(host.MakeInData(64, 48)) {
    const void* table = nullptr;
    EXPECT_EQ(in.pica_basicP->AcquireSuite(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1,
                                           &table),
              0);
    transform = static_cast<const PF_WorldTransformSuite1*>(table);
  }
  ~RefHostTest() override {
    in.pica_basicP->ReleaseSuite(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1);
  }

  PF_ProgPtr ref() const { return in.effect_ref; }
  PF_UtilCallbacks& utils() const { return *in.utils; }
  PF_EffectWorld NewWorld(A_long width, A_long height) {
    PF_EffectWorld world{};
    EXPECT_EQ(utils().new_world(ref(), width, height, PF_NewWorldFlag_NONE, &world), PF_Err_NONE);
    return world;
  }
  Image Blend(const Image& a, const Image& b, PF_Fixed ratio) {
    World wa = MakeWorld(a), wb = MakeWorld(b), out = MakeWorld(Image(a.width, a.height));
    EXPECT_EQ(transform->blend(ref(), &wa.world, &wb.world, ratio, &out.world), PF_Err_NONE);
    return Image::FromWorld(out.world);
  }
  Image Copy(const Image& source, int width, int height) {
    World src = MakeWorld(source), dst = MakeWorld(Image(width, height, PF_Pixel{1, 2, 3, 4}));
    EXPECT_EQ(utils().copy(ref(), &src.world, &dst.world, nullptr, nullptr), PF_Err_NONE);
    return Image::FromWorld(dst.world);
  }
  // Into a world of other bytes, so a pixel left unwritten shows.
  Image Convolve(const Image& source, A_long n, std::vector<A_long> k[4]) {
    World src = MakeWorld(source);
    World dst = MakeWorld(Image(source.width, source.height, PF_Pixel{1, 2, 3, 4}));
    EXPECT_EQ(transform->convolve(ref(), &src.world, nullptr, 0, n, k[0].data(), k[1].data(),
                                  k[2].data(), k[3].data(), &dst.world),
              PF_Err_NONE);
    return Image::FromWorld(dst.world);
  }

  Host host;
  PF_InData in;
  const PF_WorldTransformSuite1* transform = nullptr;
};

// Each image operation must give its formula's bytes for every input it accepts: here the
// blend in both flavours, at the ends and either side of half weight, for every
// pair of bytes once: channel c of pixel (x, y) holds x in the first image, 4y + c in the
// second.
TEST_F(RefHostTest, BlendMatchesItsFlavoursFormulaForEveryPairOfBytes) {
  Image first(256, 64), second(256, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 256; ++x) {
      const auto s1 = static_cast<A_u_char>(x);
      const auto s2 = [&](int c) { return static_cast<A_u_char>(4 * y + c); };
      first.At(x, y) = PF_Pixel{s1, s1, s1, s1};
      second.At(x, y) = PF_Pixel{s2(0), s2(1), s2(2), s2(3)};
    }
  }
  for (auto [flavour, half] :
       {std::pair{Host::Flavour::Nearest, 32768u}, {Host::Flavour::Down, 0u}}) {
    host.SetFlavour(flavour);
    for (PF_Fixed ratio : {-5, 0, 1, 128, 129, 32767, 32768, 65535, 65536, 70000}) {
      EXPECT_EQ(Blend(first, second, ratio), ReferenceBlend(first, second, ratio, half))
          << "ratio " << ratio << ", half " << half;
    }
  }
}

// A scaled copy takes the source pixel at the destination pixel's corner, or in the Down
// flavour at its centre: 0, 2 or 1, 3 of four columns and rows.
TEST_F(RefHostTest, ScaledCopyTakesTheFlavoursPixel) {
  const Image source = Pattern(4, 4, 9);
  for (int offset : {0, 1}) {
    host.SetFlavour(static_cast<Host::Flavour>(offset));
    World src = MakeWorld(source), dst = MakeWorld(Image(2, 2));
    EXPECT_EQ(utils().copy(ref(), &src.world, &dst.world, nullptr, nullptr), PF_Err_NONE);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(Image::FromWorld(dst.world).pixels[i],
                source.At(i % 2 * 2 + offset, i / 2 * 2 + offset));
    }
  }
}

// Only the thread inside the entry point may call: another one is refused, changes
// nothing and is recorded.
TEST_F(RefHostTest, CallsFromAThreadOutsideTheEntryPointAreRefusedAndRecorded) {
  PF_EffectWorld world{};
  PF_Err err = PF_Err_NONE;
  PF_Handle handle = nullptr;
  std::thread([&] {
    err = utils().new_world(ref(), 2, 2, PF_NewWorldFlag_NONE, &world);
    handle = utils().host_new_handle(8);
  }).join();
  EXPECT_EQ(std::tuple(err, world.data, handle),
            std::tuple(PF_Err_BAD_CALLBACK_PARAM, nullptr, nullptr));
  const Ledger ledger = host.GetLedger();
  EXPECT_EQ(std::tuple(ledger.faults, ledger.liveWorlds, host.CallCount(Op::NewWorld)),
            std::tuple(2, 0, 0));
}

// Kernels uniform per channel, as the effect passes them, and others only the formula serves:
// 1 × 1 for every decay tap and byte value in every channel (taps outside 0 … 255 need the
// table), 3 × 3 for the diffusion's taps and others, and last one whose taps differ within
// each channel; on images whose widths leave a partial group of pixels and whose bytes reach
// both ends of the range, with wide vector loops and with the 128-bit ones Windows builds run.
TEST_F(RefHostTest, KernelsMatchTheFormula) {
  Image values(67, 4);  // 268 pixels: every value per channel, and a partial last group
  for (int i = 0; i < 268; ++i) {
    const auto v = [&](int c) { return static_cast<A_u_char>((i + 61 * c) % 256); };
    values.pixels[static_cast<size_t>(i)] = PF_Pixel{v(0), v(1), v(2), v(3)};
  }
  Image bright(9, 5, PF_Pixel{255, 255, 255, 255});
  bright.At(4, 2) = PF_Pixel{0, 0, 0, 0};
  struct Case {
    int n;
    Image image;
    std::array<A_long, 4> taps;
    A_long step = 0;  // added to a channel's tap from one kernel entry to the next
  };
  std::vector<Case> cases;
  std::vector<A_long> taps{256, 300, 1000, -1, -255};
  for (A_long k = 0; k <= 255; ++k) taps.push_back(k);
  for (A_long k : taps) {
    cases.push_back({1, values, {255, k, k, k}});
    cases.push_back({1, values, {k, k, k, k}});
  }
  for (const Image& image : {Pattern(37, 11, 9), bright, Pattern(3, 1, 4), Pattern(5, 2, 6)}) {
    for (std::array<A_long, 4> set : {std::array<A_long, 4>{2295, 255, 255, 255},
                                      {255, 255, 255, 255},
                                      {1, 1, 1, 1},
                                      {9999, 2294, 2296, 128},
                                      {65535, 7, 0, 300},
                                      {2295, -255, 255, 255}}) {
      cases.push_back({3, image, set});
    }
  }
  cases.push_back({3, Pattern(37, 11, 9), {2295, 255, -255, 9999}, -301});
  for (bool wide : {true, false}) {
    host.SetWideVectors(wide);
    for (const Case& c : cases) {
      std::vector<A_long> kernels[4];
      for (int i = 0; i < 4; ++i) {
        for (int k = 0; k < c.n * c.n; ++k) kernels[i].push_back(c.taps[i] + k * c.step);
      }
      ASSERT_EQ(Convolve(c.image, c.n, kernels), ReferenceConvolve(c.image, c.n, kernels))
          << "case " << &c - cases.data() << (wide ? ", wide vectors" : ", 128-bit vectors");
    }
  }
}

// What convolve cannot serve is refused before a byte is written: among it a destination
// sharing bytes with the source (here rows 0-1 and 1-2 of one world), whose pixels would
// be read after being overwritten. Rows 0-1 into rows 2-3 of that world is served.
TEST_F(RefHostTest, ConvolveRefusesWhatItCannotServeAndLeavesTheDestination) {
  World world = MakeWorld(Pattern(6, 4, 5));
  const World untouched = MakeWorld(Pattern(6, 4, 5));
  auto rows = [&](A_long first) {
    PF_EffectWorld part = world.world;
    part.data = world.bytes.data() + static_cast<size_t>(first) * world.world.rowbytes;
    part.height = 2;
    return part;
  };
  PF_EffectWorld top = rows(0), middle = rows(1), bottom = rows(2), narrower = rows(2);
  narrower.width = 5;
  std::vector<A_long> taps(9, 255);
  A_long* t = taps.data();
  const PF_Rect area{0, 0, 1, 1};
  struct Case {
    const char* what;
    PF_EffectWorld* dst;
    A_long n;
    const PF_Rect* area;
    PF_KernelFlags flags;
  };
  for (const Case& c :
       {Case{"overlapping rows", &middle, 3, nullptr, 0},
        Case{"the source itself", &top, 3, nullptr, 0},
        Case{"another size", &narrower, 3, nullptr, 0},
        Case{"an even kernel", &bottom, 2, nullptr, 0}, Case{"no kernel", &bottom, 0, nullptr, 0},
        Case{"an area", &bottom, 3, &area, 0}, Case{"a flag", &bottom, 3, nullptr, 1}}) {
    EXPECT_EQ(transform->convolve(ref(), &top, c.area, c.flags, c.n, t, t, t, t, c.dst),
              PF_Err_BAD_CALLBACK_PARAM)
        << c.what;
    EXPECT_EQ(world.bytes, untouched.bytes) << c.what;
  }
  EXPECT_EQ(transform->convolve(ref(), &top, nullptr, 0, 3, t, t, t, nullptr, &bottom),
            PF_Err_BAD_CALLBACK_PARAM);
  ASSERT_EQ(transform->convolve(ref(), &top, nullptr, 0, 3, t, t, t, t, &bottom), PF_Err_NONE);
  EXPECT_NE(world.bytes, untouched.bytes);
}

// Small worlds reuse freed memory and full-HD ones come from their own mappings: either
// way each starts zeroed, padding included, after the one before was scribbled on.
TEST_F(RefHostTest, NewWorldIsZeroedWithPaddedRowsAndPoisonedWhenGivenBack) {
  host.SetThreads(3);  // the full-HD world is cleared and poisoned in bands
  for (auto [width, height] : {std::pair{5, 3}, std::pair{1920, 1080}}) {
    void* previous = nullptr;
    for (int round = 0; round < 2; ++round) {
      PF_EffectWorld world = NewWorld(width, height);
      EXPECT_EQ(std::tuple(world.width, world.height, world.rowbytes),
                std::tuple(width, height, PaddedRowbytes(width)));
      if (round == 1 && width == 5) {
        EXPECT_EQ(world.data, previous);
      }
      auto* bytes = static_cast<unsigned char*>(world.data);
      const std::ptrdiff_t size = std::ptrdiff_t{world.rowbytes} * world.height;
      ASSERT_EQ(std::count(bytes, bytes + size, 0), size) << width << "x" << height;
      std::fill(bytes, bytes + size, 0xA5);
      EXPECT_TRUE(host.IsLiveEffectWorld(world));
      EXPECT_EQ(host.GetLedger().liveWorlds, 1);
      previous = world.data;
      EXPECT_EQ(utils().dispose_world(ref(), &world), PF_Err_NONE);
      EXPECT_EQ(std::count(bytes, bytes + size, 0xDB), size);  // poisoned, though still pooled
      Ledger ledger = host.GetLedger();
      --ledger.acquiredSuites;  // the fixture's transform suite
      EXPECT_TRUE(ledger.Empty());
    }
  }
}

TEST_F(RefHostTest, DisposingTwiceOrAForeignWorldIsRefusedAndRecorded) {
  PF_EffectWorld world = NewWorld(2, 2);
  PF_EffectWorld stale = world;
  ASSERT_EQ(utils().dispose_world(ref(), &world), PF_Err_NONE);
  EXPECT_EQ(utils().dispose_world(ref(), &world), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host.GetLedger().faults, 1);
  // A new world may take the old address; the stale record still names no live world.
  PF_EffectWorld fresh = NewWorld(2, 2);
  EXPECT_EQ(utils().dispose_world(ref(), &stale), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(host.IsLiveEffectWorld(fresh));
  EXPECT_EQ(utils().dispose_world(ref(), &fresh), PF_Err_NONE);
  // Nor may a world the host did not make.
  World mine = MakeWorld(Image(3, 3));
  EXPECT_EQ(utils().dispose_world(ref(), &mine.world), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host.GetLedger().faults, 3);
  EXPECT_EQ(host.GetLedger().faultLog.size(), 3u);
}

TEST_F(RefHostTest, FillSetsTheRectangleOrEveryPixelAndNoPadding) {
  World world = MakeWorld(Image(4, 3));
  const PF_Pixel c{1, 2, 3, 4};
  const PF_Rect rect{1, 1, 3, 2};
  ASSERT_EQ(utils().fill(ref(), &c, &rect, &world.world), PF_Err_NONE);
  Image expected(4, 3);
  expected.At(1, 1) = expected.At(2, 1) = c;
  EXPECT_EQ(Image::FromWorld(world.world), expected);
  const PF_Rect outside{2, 0, 5, 1};
  EXPECT_EQ(utils().fill(ref(), &c, &outside, &world.world), PF_Err_BAD_CALLBACK_PARAM);

  ASSERT_EQ(utils().fill(ref(), &c, nullptr, &world.world), PF_Err_NONE);
  EXPECT_EQ(Image::FromWorld(world.world), Image(4, 3, c));
  EXPECT_EQ(world.bytes[4 * 4], 0xEE);
}

// Images large enough for the host to split into bands of rows (an odd width, so rows end
// in a partial vector, and padded rows; an odd height, so the 3 × 3 pass's last band ends
// on a lone row): on 1, 2, 3 and 7 threads, with the band boundaries each gives, and in
// both flavours, every operation gives its formula's bytes.
TEST_F(RefHostTest, ImageOperationsGiveTheirFormulasBytesOnAnyNumberOfThreads) {
  const Image first = Pattern(523, 509, 3), second = Pattern(523, 509, 4);
  const Image small = Pattern(311, 257, 5);
  const std::vector<A_long> diffusion = std::vector<A_long>(9, 255);
  struct Kernel {
    A_long n;
    std::vector<A_long> taps[4];
  };
  const Kernel kernels[] = {
      {3, {std::vector<A_long>(9, 2295), diffusion, diffusion, diffusion}},
      {1, {{255}, {230}, {230}, {230}}},
      {3, {{1, 2, 1, 2, 4, 2, 1, 2, 1}, diffusion, {0, 0, 0, 0, 9, 0, 0, 0, 1}, diffusion}},
      {5,
       {std::vector<A_long>(25, 255), std::vector<A_long>(25, 7), std::vector<A_long>(25, 0),
        std::vector<A_long>(25, 255)}}};
  std::vector<Image> convolved;
  for (const Kernel& k : kernels) convolved.push_back(ReferenceConvolve(first, k.n, k.taps));
  const PF_Pixel colour{9, 8, 7, 6};
  const PF_Rect rect{3, 5, 517, 508};
  Image filled = first;
  for (int y = rect.top; y < rect.bottom; ++y) {
    for (int x = rect.left; x < rect.right; ++x) filled.At(x, y) = colour;
  }
  for (auto [threads, wide] :
       {std::pair{1u, true}, {1u, false}, {2u, true}, {3u, false}, {7u, true}}) {
    host.SetThreads(threads);
    host.SetWideVectors(wide);
    for (auto [flavour, half] :
         {std::pair{Host::Flavour::Nearest, 32768u}, {Host::Flavour::Down, 0u}}) {
      host.SetFlavour(flavour);
      const auto where = ::testing::Message()
                         << threads << " threads, wide " << wide << ", half " << half;
      for (PF_Fixed ratio : {1, 40000, 65536}) {
        EXPECT_EQ(Blend(first, second, ratio), ReferenceBlend(first, second, ratio, half))
            << where << ", ratio " << ratio;
      }
      for (size_t k = 0; k < std::size(kernels); ++k) {
        std::vector<A_long> taps[4] = {kernels[k].taps[0], kernels[k].taps[1], kernels[k].taps[2],
                                       kernels[k].taps[3]};
        EXPECT_EQ(Convolve(first, kernels[k].n, taps), convolved[k]) << where << ", kernel " << k;
      }
      const int h = half == 0 ? 1 : 0;
      EXPECT_EQ(Copy(first, 523, 509), first) << where;
      EXPECT_EQ(Copy(small, 523, 509), ReferenceScaledCopy(small, 523, 509, h)) << where;
      EXPECT_EQ(Copy(first, 311, 257), ReferenceScaledCopy(first, 311, 257, h)) << where;
      World world = MakeWorld(first);
      ASSERT_EQ(utils().fill(ref(), &colour, &rect, &world.world), PF_Err_NONE);
      EXPECT_EQ(Image::FromWorld(world.world), filled) << where;
      ASSERT_EQ(utils().fill(ref(), &colour, nullptr, &world.world), PF_Err_NONE);
      EXPECT_EQ(Image::FromWorld(world.world), Image(523, 509, colour)) << where;
      EXPECT_EQ(world.bytes[523 * 4], 0xEE) << where;  // the padding
    }
  }
}

// A single row wider than any band's threshold, and of a width no vector divides.
TEST_F(RefHostTest, BlendOfOneLongRowMatchesTheFormula) {
  const Image a = Pattern(300001, 1, 1), b = Pattern(300001, 1, 2);
  EXPECT_EQ(Blend(a, b, 12345), ReferenceBlend(a, b, 12345, 32768));
}

// A destination sharing rows with a source one row down: the call reads the source as it
// was before the call, not rows it has already written.
TEST_F(RefHostTest, ASourceOverlappingTheDestinationIsReadAsItWas) {
  const Image original = Pattern(523, 510, 7), other = Pattern(523, 509, 8);
  for (int k = 0; k < 3; ++k) {
    World world = MakeWorld(original), second = MakeWorld(other);
    PF_EffectWorld upper = world.world;
    upper.height = 509;
    PF_EffectWorld lower = upper;
    lower.data = world.bytes.data() + world.world.rowbytes;
    const Image before = Image::FromWorld(upper);
    Image expected = before;
    if (k == 0) {
      ASSERT_EQ(transform->blend(ref(), &upper, &second.world, 40000, &lower), PF_Err_NONE);
      expected = ReferenceBlend(before, other, 40000, 32768);
    } else if (k == 1) {
      ASSERT_EQ(transform->blend(ref(), &second.world, &upper, 40000, &lower), PF_Err_NONE);
      expected = ReferenceBlend(other, before, 40000, 32768);
    } else {
      ASSERT_EQ(utils().copy(ref(), &upper, &lower, nullptr, nullptr), PF_Err_NONE);
    }
    EXPECT_EQ(Image::FromWorld(lower), expected) << "case " << k;
  }
}

class RefHostParamsTest : public RefHostTest {
 protected:
  // Parameters 1, 2 and 3: a slider, a checkbox and a layer.
  RefHostParamsTest() {
    for (PF_ParamType type : {PF_Param_FLOAT_SLIDER, PF_Param_CHECKBOX, PF_Param_LAYER}) {
      PF_ParamDef def{};
      def.param_type = type;
      std::strcpy(def.name, "Control");
      if (type == PF_Param_FLOAT_SLIDER) {
        def.u.fs_d.valid_max = 1;
        def.u.fs_d.value = 0.1;
      }
      EXPECT_EQ(in.inter.add_param(ref(), -1, &def), PF_Err_NONE);
    }
  }

  // Checks out at `whatTime` in frames of 2, checks in, answers the record.
  PF_ParamDef At(PF_ParamIndex index, A_long whatTime) {
    PF_ParamDef param{};
    EXPECT_EQ(in.inter.checkout_param(ref(), index, whatTime, 2, 24, &param), PF_Err_NONE);
    EXPECT_EQ(in.inter.checkin_param(ref(), &param), PF_Err_NONE);
    return param;
  }
};

// (How a slider interpolates between keyframes is held by the golden frames.)
TEST_F(RefHostParamsTest, KeyframesHoldOutsideTheirRangeAndACheckboxBetweenThem) {
  EXPECT_EQ(At(1, 6).u.fs_d.value, 0.1) << "the declared default";
  EXPECT_EQ(At(2, 6).u.bd.value, 0) << "the declared default";
  host.SetKeyframe(1, 10, 0.2);
  host.SetKeyframe(1, 4, 0.9);
  host.SetKeyframe(2, 3, 1);
  host.SetKeyframe(2, 6, 0);
  EXPECT_EQ(At(1, 0).u.fs_d.value, 0.9);    // frame 0, before the first keyframe
  EXPECT_EQ(At(1, 8).u.fs_d.value, 0.9);    // frame 4, the keyframe itself
  EXPECT_EQ(At(1, 100).u.fs_d.value, 0.2);  // frame 50, after the last
  EXPECT_EQ(At(2, 0).u.bd.value, 1);        // before the first keyframe: its value
  EXPECT_EQ(At(2, 11).u.bd.value, 1);       // frame 5.5
  EXPECT_EQ(At(2, 12).u.bd.value, 0);       // frame 6
}

TEST_F(RefHostParamsTest, ALayerIsAHostWorldWithPaddedRowsOrAllZero) {
  EXPECT_EQ(At(3, 0).u.ld.data, nullptr);
  const Image image = Pattern(5, 4, 8);
  host.SetLayer(3, image);
  const PF_LayerDef layer = At(3, 0).u.ld;
  EXPECT_EQ(layer.rowbytes, PaddedRowbytes(5));
  EXPECT_EQ(Image::FromWorld(layer), image);
  EXPECT_FALSE(host.IsLiveEffectWorld(layer));
  EXPECT_THROW(host.SetLayer(1, image), std::invalid_argument);
  host.SetLayer(3, Image());
  EXPECT_EQ(At(3, 0).u.ld.data, nullptr);
}

TEST_F(RefHostParamsTest, OpenCheckoutsAreCountedAndFalseCheckinsAreFaults) {
  PF_ParamDef a{}, b{};
  ASSERT_EQ(in.inter.checkout_param(ref(), 1, 0, 1, 24, &a), PF_Err_NONE);
  ASSERT_EQ(in.inter.checkout_param(ref(), 1, 0, 1, 24, &b), PF_Err_NONE);
  EXPECT_EQ(host.GetLedger().openCheckouts, 2);
  PF_ParamDef copy = a;  // a copy of the record checks in the check-out
  EXPECT_EQ(in.inter.checkin_param(ref(), &copy), PF_Err_NONE);
  EXPECT_EQ(in.inter.checkin_param(ref(), &a), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(in.inter.checkin_param(ref(), &b), PF_Err_NONE);
  const Ledger ledger = host.GetLedger();
  EXPECT_EQ(ledger.openCheckouts, 0);
  EXPECT_EQ(ledger.faults, 1);
}

}  // namespace
}  // namespace refhost
