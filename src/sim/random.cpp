// The draws are our own arithmetic over raw MT19937 outputs: the standard distributions
// are free to differ between library implementations, and playback must not.
#include "sim/random.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace velunary {

namespace {

constexpr double kTwoTo32 = 4294967296.0;
constexpr double kTwoTo64 = 18446744073709551616.0;
constexpr std::uint32_t kMaxOutput = 0xFFFFFFFFu;

}  // namespace

RandomEngine sharedRandom{5489u};

double UniformUnit(RandomEngine& engine) {
  const std::uint32_t low = static_cast<std::uint32_t>(engine());
  const std::uint32_t high = static_cast<std::uint32_t>(engine());
  // Both terms are exact in a double; the one rounding is that of the sum. It can round up
  // to 2^64 only when high is 2^32 - 1 and low is large, which would give 1.
  const double sum = static_cast<double>(low) + static_cast<double>(high) * kTwoTo32;
  if (sum >= kTwoTo64) return std::nextafter(1.0, 0.0);
  return sum / kTwoTo64;
}

double UniformReal(RandomEngine& engine, double lo, double hi) {
  const double u = UniformUnit(engine);
  return u * (hi - lo) + lo;
}

double RandomHeading(RandomEngine& engine) {
  // u * 360 < 360 for every u below 1, so the whole part never reaches 360.
  return static_cast<double>(static_cast<std::int32_t>(UniformReal(engine, 0.0, 360.0)));
}

std::int32_t UniformInt(RandomEngine& engine, std::int32_t lo, std::int32_t hi) {
  // The span in unsigned 32-bit arithmetic, so the full int range does not overflow.
  const std::uint32_t span = static_cast<std::uint32_t>(hi) - static_cast<std::uint32_t>(lo);
  const std::uint32_t base = static_cast<std::uint32_t>(lo);
  if (span == kMaxOutput) {
    return static_cast<std::int32_t>(base + static_cast<std::uint32_t>(engine()));
  }
  const std::uint32_t n = span + 1;
  if (n == 1) return lo;
  // The outputs fall into floor(max / n) whole blocks of n values and a partial top
  // block; a draw from the partial block would favour the low residues and is repeated.
  // When n divides 2^32 the top block is whole (max mod n = n - 1) and nothing is rejected.
  const std::uint32_t wholeBlocks = kMaxOutput / n;
  const bool topBlockWhole = kMaxOutput % n == n - 1;
  for (;;) {
    const std::uint32_t r = static_cast<std::uint32_t>(engine());
    if (r / n < wholeBlocks || topBlockWhole) {
      return static_cast<std::int32_t>(base + r % n);
    }
  }
}

static_assert(std::numeric_limits<double>::is_iec559, "the draws assume IEEE doubles");

}  // namespace velunary
