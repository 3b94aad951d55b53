// The steering rule: three sensors at distance d, straight ahead and a to either side,
// and a turn of t towards the brightest. Image rows run downwards, so a growing heading
// turns clockwise on screen: the right sensor sits at h + a and the left one at h - a.
//
// Ranges of particles share nothing they write, so any thread may sense any range; the
// draws alone follow an engine through the particles in order.
#include "sim/sense_and_steer.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "sim/pixel_math.h"
#include "sim/random.h"
#include "sim/simulation_state.h"
#include "sim/sin_cos.h"

namespace velunary {
namespace {

constexpr int kBatch = 16;

struct SteeringSettings {
  double distance;
  double sensorAngle;
  double turnAngle;
};

struct Image {
  const std::uint8_t* data;
  std::ptrdiff_t rowbytes;
  PixelGrid grid;
};

// A pixel's brightness as the pass compares it: the luminance of a host image's pixel, or
// a gray plane's byte, which orders and ties pixels exactly as their luminances do.
template <bool kGray>
auto BrightnessAt(const std::uint8_t* pixel) {
  if constexpr (kGray) {
    return *pixel;
  } else {
    return LuminanceAt(pixel);
  }
}

// The three pixels under a particle's sensors, as byte offsets into the image; meaningful
// only when all three lie inside.
struct Sensors {
  std::ptrdiff_t front;
  std::ptrdiff_t left;
  std::ptrdiff_t right;
  bool inside;
};

// One sensor point rounded to a pixel. Inlined into its three calls, so that the three
// memo reads and roundings of a particle overlap instead of running one call after another.
template <bool kGray>
[[gnu::always_inline]] inline bool Locate(const Particle& p, double distance, double angle,
                                          SinCosMemo& trig, const Image& image,
                                          std::ptrdiff_t* offset) {
  const SinCosPair direction = trig.Of(angle);
  std::int32_t column;
  std::int32_t row;
  if (!PixelOfPoint(p.x + distance * direction.cosine, p.y + distance * direction.sine, image.grid,
                    &column, &row)) {
    return false;
  }
  constexpr std::ptrdiff_t kPixelBytes = kGray ? 1 : 4;
  *offset = static_cast<std::ptrdiff_t>(row) * image.rowbytes + kPixelBytes * column;
  return true;
}

// Fills *sensors in place: a record returned by value is assembled on the stack and
// copied in 16-byte pieces, and reading a piece just written byte by byte stalls.
template <bool kGray>
void Place(const Particle& p, const SteeringSettings& s, SinCosMemo& trig, const Image& image,
           Sensors* sensors) {
  // All three are computed whatever the first ones give: an early exit would only add a
  // branch.
  const bool front = Locate<kGray>(p, s.distance, p.heading, trig, image, &sensors->front);
  const bool left =
      Locate<kGray>(p, s.distance, p.heading - s.sensorAngle, trig, image, &sensors->left);
  const bool right =
      Locate<kGray>(p, s.distance, p.heading + s.sensorAngle, trig, image, &sensors->right);
  sensors->inside = front && left && right;
}

template <bool kGray>
int Steer(Particle* particles, int first, int last, int width, int height,
          const SensingImage& sensing, SinCosMemo& trig, PendingDraw* pending) {
  const SteeringSettings healthy{simulationSettings.sensorDistance, simulationSettings.sensorAngle,
                                 simulationSettings.turnAngle};
  const SteeringSettings infected{simulationSettings.infectedSensorDistance,
                                  simulationSettings.infectedSensorAngle,
                                  simulationSettings.infectedTurnAngle};
  const Image image{sensing.data, sensing.rowbytes,
                    PixelGrid{static_cast<double>(width), static_cast<double>(height)}};

  // Each particle's sensing depends on that particle alone, so a batch is placed (and its
  // pixels prefetched) ahead of the decisions.
  int pendingCount = 0;
  Sensors batch[kBatch];
  for (int base = first; base < last; base += kBatch) {
    const int n = std::min(kBatch, last - base);
    for (int j = 0; j < n; ++j) {
      const Particle& p = particles[base + j];
      Place<kGray>(p, p.infected != 0 ? infected : healthy, trig, image, &batch[j]);
      if (batch[j].inside) {
        __builtin_prefetch(image.data + batch[j].front);
        __builtin_prefetch(image.data + batch[j].left);
        __builtin_prefetch(image.data + batch[j].right);
      }
    }

    for (int j = 0; j < n; ++j) {
      Particle& p = particles[base + j];
      const Sensors& sensors = batch[j];
      if (!sensors.inside) {
        pending[pendingCount++] = PendingDraw{base + j, true};
        continue;
      }
      const auto f = BrightnessAt<kGray>(image.data + sensors.front);
      const auto l = BrightnessAt<kGray>(image.data + sensors.left);
      const auto r = BrightnessAt<kGray>(image.data + sensors.right);
      // First matching row wins; every comparison is strict, so ties (an all-black image
      // above all) leave the heading as it is. Headings are never wrapped into [0, 2 pi).
      if (f > l && f > r) {
        continue;
      }
      if (l > f && r > f) {
        pending[pendingCount++] = PendingDraw{base + j, false};
        continue;
      }
      // Which side is brighter is chosen without a branch, on the headings' bits: to the
      // processor it is as good as random.
      const double heading = p.heading;
      const double turn = p.infected != 0 ? infected.turnAngle : healthy.turnAngle;
      auto bits = std::bit_cast<std::uint64_t>(heading);
      bits = r > l ? std::bit_cast<std::uint64_t>(heading + turn) : bits;
      bits = l > r ? std::bit_cast<std::uint64_t>(heading - turn) : bits;
      p.heading = std::bit_cast<double>(bits);
    }
  }
  return pendingCount;
}

}  // namespace

SensingImage HostSensingImage(const PF_LayerDef& world) {
  return SensingImage{static_cast<const std::uint8_t*>(world.data), world.rowbytes, false};
}

bool MakeGrayPlane(const PF_LayerDef& world, int width, int height, std::uint8_t* plane) {
  const auto* row = static_cast<const std::uint8_t*>(world.data);
  for (int y = 0; y < height; ++y, row += world.rowbytes, plane += width) {
    // Differences gathered over a row, tested once a row: the loops stay free of branches.
    unsigned differ = 0;
    int x = 0;
#if defined(__SSE2__)
    // Sixteen pixels a step. Each 32-bit lane holds one pixel, alpha in its low byte;
    // shifted down a byte it holds red, green and blue, whose neighbours' differences
    // are gathered, and whose red bytes are packed into the plane.
    const __m128i lowByte = _mm_set1_epi32(0xFF);
    const __m128i lowTwoBytes = _mm_set1_epi32(0xFFFF);
    __m128i differs = _mm_setzero_si128();
    for (; x + 16 <= width; x += 16) {
      __m128i reds[4];
      for (int k = 0; k < 4; ++k) {
        const __m128i pixels =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4 * (x + 4 * k)));
        const __m128i rgb = _mm_srli_epi32(pixels, 8);
        differs = _mm_or_si128(
            differs, _mm_and_si128(_mm_xor_si128(rgb, _mm_srli_epi32(rgb, 8)), lowTwoBytes));
        reds[k] = _mm_and_si128(rgb, lowByte);
      }
      const __m128i bytes =
          _mm_packus_epi16(_mm_packs_epi32(reds[0], reds[1]), _mm_packs_epi32(reds[2], reds[3]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(plane + x), bytes);
    }
    differ |= static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(differs, _mm_setzero_si128())) ^ 0xFFFF);
#endif
    for (; x < width; ++x) {
      const std::uint8_t* argb = row + 4 * static_cast<std::ptrdiff_t>(x);
      differ |= static_cast<unsigned>((argb[1] ^ argb[2]) | (argb[1] ^ argb[3]));
      plane[x] = argb[1];
    }
    if (differ != 0) return false;
  }
  return true;
}

int SteerWithoutDraws(Particle* particles, int first, int last, int width, int height,
                      const SensingImage& sensing, SinCosMemo& trig, PendingDraw* pending) {
  if (sensing.gray) {
    return Steer<true>(particles, first, last, width, height, sensing, trig, pending);
  }
  return Steer<false>(particles, first, last, width, height, sensing, trig, pending);
}

void DrawPendingTurns(Particle* particles, const PendingDraw* pending, int count,
                      RandomEngine& engine) {
  const double healthyTurn = simulationSettings.turnAngle;
  const double infectedTurn = simulationSettings.infectedTurnAngle;
  for (int i = 0; i < count; ++i) {
    Particle& p = particles[pending[i].index];
    if (pending[i].offImage) {
      p.heading = RandomHeading(engine);
      continue;
    }
    const double turn = p.infected != 0 ? infectedTurn : healthyTurn;
    p.heading = UniformUnit(engine) > 0.5 ? p.heading + turn : p.heading - turn;
  }
}

}  // namespace velunary
