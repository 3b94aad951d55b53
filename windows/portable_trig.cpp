// Sine and cosine from additions and multiplications only, for diagnosing differences
// between two platforms' builds of the plug-in. Linked into a diagnostic build with
// -Wl,--wrap=sin,--wrap=cos,--wrap=sincos, they replace the C library's functions in the
// plug-in on every platform alike; IEEE double arithmetic without contraction gives the
// same bits everywhere. If two platforms' frames differ with their own libraries and agree
// with these, the difference came from the libraries' sine and cosine.
//
// Accuracy is that of a good library within a few units in the last place for |x| up to
// about 1.6e6 (where n * kPio2High stops being exact), and degrades smoothly beyond;
// headings in the simulation stay far below that.
#include <cmath>

namespace {

// pi/2 split into two 33-bit heads and a tail, so that n * head is exact for |n| < 2^20.
constexpr double kPio2High = 0x1.921fb54400000p+0;
constexpr double kPio2Mid = 0x1.0b4611a600000p-34;
constexpr double kPio2Low = 0x1.3198a2e037073p-69;
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;

// Taylor series on |r| <= pi/4: the first omitted terms are below 1e-19.
double SinKernel(double r) {
  const double r2 = r * r;
  double p = 1.0 / 355687428096000.0;  // 1/17!
  p = p * r2 - 1.0 / 1307674368000.0;  // 1/15!
  p = p * r2 + 1.0 / 6227020800.0;     // 1/13!
  p = p * r2 - 1.0 / 39916800.0;       // 1/11!
  p = p * r2 + 1.0 / 362880.0;         // 1/9!
  p = p * r2 - 1.0 / 5040.0;           // 1/7!
  p = p * r2 + 1.0 / 120.0;            // 1/5!
  p = p * r2 - 1.0 / 6.0;              // 1/3!
  return r + r * (r2 * p);
}

double CosKernel(double r) {
  const double r2 = r * r;
  double p = 1.0 / 6402373705728000.0;  // 1/18!
  p = p * r2 - 1.0 / 20922789888000.0;  // 1/16!
  p = p * r2 + 1.0 / 87178291200.0;     // 1/14!
  p = p * r2 - 1.0 / 479001600.0;       // 1/12!
  p = p * r2 + 1.0 / 3628800.0;         // 1/10!
  p = p * r2 - 1.0 / 40320.0;           // 1/8!
  p = p * r2 + 1.0 / 720.0;             // 1/6!
  p = p * r2 - 1.0 / 24.0;              // 1/4!
  p = p * r2 + 1.0 / 2.0;               // 1/2!
  return 1.0 - r2 * p;
}

// x = n * pi/2 + r with |r| <= pi/4 (about); the quadrant is n mod 4.
void PortableSinCos(double x, double* s, double* c) {
  const double n = std::floor(x * kTwoOverPi + 0.5);
  const double r = ((x - n * kPio2High) - n * kPio2Mid) - n * kPio2Low;
  const double sr = SinKernel(r);
  const double cr = CosKernel(r);
  switch (static_cast<long long>(n) & 3) {
    case 0:
      *s = sr;
      *c = cr;
      break;
    case 1:
      *s = cr;
      *c = -sr;
      break;
    case 2:
      *s = -sr;
      *c = -cr;
      break;
    default:
      *s = -cr;
      *c = sr;
      break;
  }
}

}  // namespace

extern "C" {

double __wrap_sin(double x) {
  double s, c;
  PortableSinCos(x, &s, &c);
  return s;
}

double __wrap_cos(double x) {
  double s, c;
  PortableSinCos(x, &s, &c);
  return c;
}

void __wrap_sincos(double x, double* s, double* c) {
  PortableSinCos(x, s, c);
}

}  // extern "C"
