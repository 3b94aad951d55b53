// Shared by the reference host's tests: a host with its input record and suites, worlds
// owned by the test (padded like the host's), test images and the convolution formula
// written out term by term.
#ifndef VELUNARY_TESTS_REFHOST_REFHOST_FIXTURE_H
#define VELUNARY_TESTS_REFHOST_REFHOST_FIXTURE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <vector>

#include "pf_effect.h"
#include "pf_suites.h"
#include "refhost/host.h"
#include "refhost/image.h"

// Readable failure messages.
inline void PrintTo(const PF_Pixel& p, std::ostream* os) {
  *os << "{a " << int{p.alpha} << ", r " << int{p.red} << ", g " << int{p.green} << ", b "
      << int{p.blue} << "}";
}

namespace refhost {

inline void PrintTo(const Image& image, std::ostream* os) {
  *os << image.width << "x" << image.height << " image";
}

// A world whose bytes the test owns; the padding bytes hold 0xEE, so a reader that
// ignores rowbytes sees them.
struct World {
  std::vector<unsigned char> bytes;
  PF_EffectWorld world{};
};

inline World MakeWorld(const Image& image) {
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
inline Image Pattern(int width, int height, unsigned seed) {
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

inline A_u_char Channel(const PF_Pixel& p, int c) {
  const A_u_char values[4] = {p.alpha, p.red, p.green, p.blue};
  return values[c];
}

// out = clamp(⌊(2·acc + D) / (2·D)⌋, 0, 255), acc summed tap by tap.
inline Image ReferenceConvolve(const Image& src, int n, const std::vector<A_long> kernels[4]) {
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
            const int sx = x + j - h;
            const int sy = y + i - h;
            if (sx < 0 || sy < 0 || sx >= src.width || sy >= src.height) continue;
            acc += std::int64_t{kernels[c][static_cast<size_t>(i * n + j)]} *
                   Channel(src.At(sx, sy), c);
          }
        }
        const std::int64_t num = 2 * acc + d;
        std::int64_t q = num / (2 * d);
        if (num % (2 * d) != 0 && num < 0) --q;
        result[c] = static_cast<A_u_char>(std::clamp<std::int64_t>(q, 0, 255));
      }
      out.At(x, y) = PF_Pixel{result[0], result[1], result[2], result[3]};
    }
  }
  return out;
}

class HostFixture : public ::testing::Test {
 protected:
  HostFixture() : in(host.MakeInData(64, 48)) {
    const void* table = nullptr;
    EXPECT_EQ(in.pica_basicP->AcquireSuite(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1,
                                           &table),
              0);
    transform = static_cast<const PF_WorldTransformSuite1*>(table);
    EXPECT_EQ(in.pica_basicP->AcquireSuite(kPFHandleSuite, kPFHandleSuiteVersion2, &table), 0);
    handles = static_cast<const PF_HandleSuite1*>(table);
  }
  ~HostFixture() override {
    in.pica_basicP->ReleaseSuite(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1);
    in.pica_basicP->ReleaseSuite(kPFHandleSuite, kPFHandleSuiteVersion2);
  }

  PF_ProgPtr ref() const { return in.effect_ref; }
  // The ledger is empty but for the two suites the fixture holds.
  bool HoldsNothingElse() const {
    Ledger ledger = host.GetLedger();
    const bool onlyOurs = ledger.acquiredSuites == 2;
    ledger.acquiredSuites = 0;
    return onlyOurs && ledger.Empty();
  }
  PF_UtilCallbacks& utils() const { return *in.utils; }

  Image Blend(const Image& a, const Image& b, PF_Fixed ratio) {
    World wa = MakeWorld(a);
    World wb = MakeWorld(b);
    World out = MakeWorld(Image(a.width, a.height));
    EXPECT_EQ(transform->blend(ref(), &wa.world, &wb.world, ratio, &out.world), PF_Err_NONE);
    return Image::FromWorld(out.world);
  }

  Image Convolve(const Image& source, A_long n, std::vector<A_long> a, std::vector<A_long> r,
                 std::vector<A_long> g, std::vector<A_long> b) {
    World src = MakeWorld(source);
    World dst = MakeWorld(Image(source.width, source.height, PF_Pixel{1, 2, 3, 4}));
    EXPECT_EQ(transform->convolve(ref(), &src.world, nullptr, 0, n, a.data(), r.data(), g.data(),
                                  b.data(), &dst.world),
              PF_Err_NONE);
    return Image::FromWorld(dst.world);
  }

  Host host;
  PF_InData in;
  const PF_WorldTransformSuite1* transform = nullptr;
  const PF_HandleSuite1* handles = nullptr;
};

}  // namespace refhost

#endif
