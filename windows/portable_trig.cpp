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

// The coefficient of x^k in the Taylor series of sine (k odd) or cosine (k even),
// (-1)^(k/2) / k!. The factorial is exact in a double up to 18!.
double Taylor(int k) {
  double factorial = 1.0;
  for (int i = 2; i <= k; ++i) factorial *= i;
  return (k / 2) % 2 == 0 ? 1.0 / factorial : -1.0 / factorial;
}

// The sum of Taylor(k) * r2^((k - low) / 2) over k = low, low + 2, ..., high, by Horner's
// rule from the highest term: one rounding per multiply and per add.
double Series(double r2, int low, int high) {
  double p = Taylor(high);
  for (int k = high - 2; k >= low; k -= 2) p = p * r2 + Taylor(k);
  return p;
}

// Taylor series on |r| <= pi/4: the first omitted terms are below 1e-19.
double SinKernel(double r) {
  const double r2 = r * r;
  return r + r * (r2 * Series(r2, 3, 17));
}

double CosKernel(double r) {
  const double r2 = r * r;
  return 1.0 + r2 * Series(r2, 2, 18);
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
