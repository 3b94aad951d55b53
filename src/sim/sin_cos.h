// Sine and cosine of one angle, the pair every particle step and sensor needs. Each value
// is the C library's own sin and cos of that very angle: never derived through angle-sum
// identities or tables of nearby angles, because the simulation is compared to the bit
// with one that calls sin and cos.
//
// glibc's sincos runs the same argument reduction and polynomials as its sin and cos, so
// one call yields both at the cost of one reduction; numerics_test checks the identity over
// a wide range of angles, huge and negative ones included. Elsewhere the two are called
// separately.
//
// The passes ask for few distinct angles: headings start as whole numbers and move by the
// turn angle, so at the default settings a grown network of 311,040 particles holds fewer
// than two thousand headings, and the sensors add the same values shifted by the sensor
// angle. SinCosMemo remembers the pair of each angle it was asked for, keyed by the
// angle's exact bits, so an angle seen before costs a table read instead of a library call
// and still yields exactly the library's values. Settings that spread headings widely only
// make it miss more often.
#ifndef VELUNARY_SIM_SIN_COS_H
#define VELUNARY_SIM_SIN_COS_H

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace velunary {

struct SinCosPair {
  double sine;
  double cosine;
};

inline SinCosPair SinCos(double angle) {
  SinCosPair pair;
#if defined(__GLIBC__)
  ::sincos(angle, &pair.sine, &pair.cosine);
#else
  pair.sine = std::sin(angle);
  pair.cosine = std::cos(angle);
#endif
  return pair;
}

// A direct-mapped memo of SinCos for one thread. A slot keeps the complement of its
// angle's bits, so that the all-zero slot of a new memo stands for the one NaN pattern
// whose complement is zero, and that pattern is never taken from the memo.
struct SinCosMemo {
  static constexpr int kIndexBits = 13;

  // Aligned to 32 bytes, so that no slot straddles two cache lines and its index scales
  // by a shift.
  struct alignas(32) Slot {
    std::uint64_t notAngle;
    SinCosPair pair;
  };

  SinCosPair Of(double angle) {
    const std::uint64_t key = ~std::bit_cast<std::uint64_t>(angle);
    // Fibonacci hashing: whole-number angles differ only in their high bits, which the
    // multiplication spreads into the top bits taken as the index.
    Slot& slot = slots[(key * 0x9E3779B97F4A7C15u) >> (64 - kIndexBits)];
    if (slot.notAngle == key && key != 0) {
      return slot.pair;
    }
    slot.pair = SinCos(angle);
    slot.notAngle = key;
    return slot.pair;
  }

  Slot slots[std::size_t{1} << kIndexBits];
};

// The calling thread's memo, empty when the thread first asks. The render thread's lives
// as long as the thread, and the render thread lends it to the movement pass, which runs
// on a thread of its own; the sensing workers, new every frame, are lent memos that
// outlive them in the same way.
SinCosMemo& ThreadSinCosMemo();

}  // namespace velunary

#endif
