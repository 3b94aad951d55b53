// Sine and cosine of one angle, the pair every particle step needs. Each value is the C
// library's own sin and cos of that very angle: never derived through angle-sum identities
// or tables, because the simulation is compared to the bit with one that calls sin and cos.
//
// glibc's sincos runs the same argument reduction and polynomials as its sin and cos, so
// one call yields both at the cost of one reduction; sin_cos_test checks the identity over
// a wide range of angles, huge and negative ones included. Elsewhere the two are called
// separately.
#ifndef VELUNARY_SIM_SIN_COS_H
#define VELUNARY_SIM_SIN_COS_H

#include <cmath>

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

}  // namespace velunary

#endif
