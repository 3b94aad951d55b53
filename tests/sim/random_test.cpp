// A unit draw is the engine's next two outputs as a 64-bit fraction, low word first,
// rounded once (and kept below 1). Playback depends on it to the last bit, and a slip
// in it rarely flips a heading or a turn, so the golden frames alone may not notice.
#include "sim/random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace velunary {
namespace {

TEST(UniformUnit, IsTheNextTwoOutputsAsA64BitFractionLowWordFirst) {
  RandomEngine engine(7);
  RandomEngine raw(7);
  for (int i = 0; i < 10000; ++i) {
    const std::uint64_t low = raw();
    const std::uint64_t high = raw();
    // One rounding, of the 64-bit integer to a double; then an exact scaling.
    const double expected = std::ldexp(static_cast<double>(high << 32 | low), -64);
    ASSERT_EQ(UniformUnit(engine), expected < 1.0 ? expected : std::nextafter(1.0, 0.0)) << i;
  }
}

}  // namespace
}  // namespace velunary
