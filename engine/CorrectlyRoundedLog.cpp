#include "engine/CorrectlyRoundedLog.h"

#include <array>
#include <cmath>
#include <limits>

namespace {

// A double-double: the value hi + lo with |lo| at most half an ulp of hi.
struct Wide {
  double hi;
  double lo;
};

// Error-free transformations (Knuth's two-sum, Dekker's product).  They rely
// on every operation being rounded to double on its own, which is why the
// engine is compiled without contraction into fused multiply-adds.
constexpr Wide TwoSum(double a, double b) {
  const double sum = a + b;
  const double bPart = sum - a;
  const double error = (a - (sum - bPart)) + (b - bPart);
  return {sum, error};
}

constexpr Wide FastTwoSum(double a, double b) {  // |a| >= |b|
  const double sum = a + b;
  return {sum, b - (sum - a)};
}

constexpr Wide Split(double a) {
  constexpr double kSplitter = 134217729.0;  // 2^27 + 1
  const double scaled = kSplitter * a;
  const double hi = scaled - (scaled - a);
  return {hi, a - hi};
}

constexpr Wide TwoProduct(double a, double b) {
  const double product = a * b;
  const Wide x = Split(a), y = Split(b);
  const double error = ((x.hi * y.hi - product) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo;
  return {product, error};
}

constexpr Wide Add(Wide a, Wide b) {
  const Wide sum = TwoSum(a.hi, b.hi);
  const Wide low = TwoSum(a.lo, b.lo);
  Wide result = FastTwoSum(sum.hi, sum.lo + low.hi);
  return FastTwoSum(result.hi, result.lo + low.lo);
}

constexpr Wide Multiply(Wide a, Wide b) {
  const Wide product = TwoProduct(a.hi, b.hi);
  return FastTwoSum(product.hi, product.lo + (a.hi * b.lo + a.lo * b.hi));
}

constexpr Wide Divide(Wide a, Wide b) {
  const double q1 = a.hi / b.hi;
  const Wide r1 = Add(a, Multiply({-q1, 0}, b));
  const double q2 = r1.hi / b.hi;
  const Wide r2 = Add(r1, Multiply({-q2, 0}, b));
  const double q3 = r2.hi / b.hi;
  return Add(FastTwoSum(q1, q2), {q3, 0});
}


constexpr Wide kLn2 = {0x1.62e42fefa39efp-1, 0x1.abc9e3b39803fp-56};

// Terms from this index on are below 2^-53 of the part summed before them
// and are added in plain doubles; the first ones need the full width.
constexpr int kFirstNarrowTerm = 11;
constexpr int kTerms = 24;

// 2 / (2k + 1) as double-doubles for the wide terms, computed by the
// compiler with the same operations (constant evaluation rounds each one
// to double, as the run-time code does).
constexpr std::array<Wide, kFirstNarrowTerm> MakeWideCoefficients() {
  std::array<Wide, kFirstNarrowTerm> coefficients{};
  for (int k = 0; k < kFirstNarrowTerm; ++k) coefficients[k] = Divide({2, 0}, {double(2 * k + 1), 0});
  return coefficients;
}
constexpr std::array<Wide, kFirstNarrowTerm> kWideCoefficients = MakeWideCoefficients();

constexpr std::array<double, kTerms + 1> MakeNarrowCoefficients() {
  std::array<double, kTerms + 1> coefficients{};
  for (int k = kFirstNarrowTerm; k <= kTerms; ++k) coefficients[k] = 2.0 / double(2 * k + 1);
  return coefficients;
}
constexpr std::array<double, kTerms + 1> kNarrowCoefficients = MakeNarrowCoefficients();

// 2 atanh(s) = s (2 + 2 s^2 / 3 + 2 s^4 / 5 + ...), by Horner's rule.
Wide TwiceAtanh(Wide s) {
  const Wide s2 = Multiply(s, s);
  double tail = 0;
  for (int k = kTerms; k >= kFirstNarrowTerm; --k) tail = tail * s2.hi + kNarrowCoefficients[k];
  Wide sum = {tail, 0};
  for (int k = kFirstNarrowTerm - 1; k >= 0; --k) sum = Add(Multiply(sum, s2), kWideCoefficients[k]);
  return Multiply(sum, s);
}

}  // namespace

double CorrectlyRoundedLog(double x) {
  if (std::isnan(x) || x <= 0) return std::numeric_limits<double>::quiet_NaN();
  if (std::isinf(x)) return x;
  if (x == 1) return 0;
  int exponent = 0;
  double m = std::frexp(x, &exponent);  // exact: x = m 2^exponent, m in [0.5, 1)
  if (m < 0x1.6a09e667f3bcdp-1) {       // below sqrt(1/2): take m into [sqrt(1/2), sqrt(2))
    m *= 2;
    --exponent;
  }
  const Wide numerator = {m - 1, 0};    // exact for m in [0.5, 2]
  const Wide denominator = TwoSum(m, 1);
  const Wide atanhPart = TwiceAtanh(Divide(numerator, denominator));
  const Wide exponentPart = Multiply({double(exponent), 0}, kLn2);
  const Wide sum = Add(exponentPart, atanhPart);
  return sum.hi + sum.lo;
}
