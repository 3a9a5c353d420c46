#include "decode/formats/JpegIdct.h"

namespace jpeg {

namespace {

constexpr int kConstBits = 13;
constexpr int kPass1Bits = 2;

// round(c * 2^13) for the rotation constants of the factorisation.
constexpr int64_t kC0_298631336 = 2446;
constexpr int64_t kC0_390180644 = 3196;
constexpr int64_t kC0_541196100 = 4433;
constexpr int64_t kC0_765366865 = 6270;
constexpr int64_t kC0_899976223 = 7373;
constexpr int64_t kC1_175875602 = 9633;
constexpr int64_t kC1_501321110 = 12299;
constexpr int64_t kC1_847759065 = 15137;
constexpr int64_t kC1_961570560 = 16069;
constexpr int64_t kC2_053119869 = 16819;
constexpr int64_t kC2_562915447 = 20995;
constexpr int64_t kC3_072711026 = 25172;

constexpr int64_t Descale(int64_t x, int n) { return (x + (int64_t{1} << (n - 1))) >> n; }

// One 1-D pass over eight inputs in[0], in[step], ...; writes the eight
// outputs scaled up by 2^kConstBits (not yet descaled) to out[0..7].
void Transform1d(const int64_t* in, int step, int64_t out[8]) {
  // Even part: inputs 0, 2, 4, 6.
  int64_t z2 = in[2 * step];
  int64_t z3 = in[6 * step];
  int64_t z1 = (z2 + z3) * kC0_541196100;
  const int64_t tmp2e = z1 - z3 * kC1_847759065;
  const int64_t tmp3e = z1 + z2 * kC0_765366865;
  z2 = in[0];
  z3 = in[4 * step];
  const int64_t tmp0e = (z2 + z3) * (int64_t{1} << kConstBits);
  const int64_t tmp1e = (z2 - z3) * (int64_t{1} << kConstBits);
  const int64_t tmp10 = tmp0e + tmp3e;
  const int64_t tmp13 = tmp0e - tmp3e;
  const int64_t tmp11 = tmp1e + tmp2e;
  const int64_t tmp12 = tmp1e - tmp2e;

  // Odd part: inputs 7, 5, 3, 1.
  int64_t t0 = in[7 * step];
  int64_t t1 = in[5 * step];
  int64_t t2 = in[3 * step];
  int64_t t3 = in[1 * step];
  z1 = t0 + t3;
  z2 = t1 + t2;
  z3 = t0 + t2;
  int64_t z4 = t1 + t3;
  const int64_t z5 = (z3 + z4) * kC1_175875602;
  t0 *= kC0_298631336;
  t1 *= kC2_053119869;
  t2 *= kC3_072711026;
  t3 *= kC1_501321110;
  z1 *= -kC0_899976223;
  z2 *= -kC2_562915447;
  z3 = z3 * -kC1_961570560 + z5;
  z4 = z4 * -kC0_390180644 + z5;
  t0 += z1 + z3;
  t1 += z2 + z4;
  t2 += z2 + z3;
  t3 += z1 + z4;

  out[0] = tmp10 + t3;
  out[7] = tmp10 - t3;
  out[1] = tmp11 + t2;
  out[6] = tmp11 - t2;
  out[2] = tmp12 + t1;
  out[5] = tmp12 - t1;
  out[3] = tmp13 + t0;
  out[4] = tmp13 - t0;
}

uint8_t ClampSample(int64_t v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

}  // namespace

void InverseDct(const int16_t* coefficients, const uint16_t* quant, uint8_t* out, int outStride) {
  int64_t work[64];
  int64_t column[64];
  for (int i = 0; i < 64; ++i) column[i] = static_cast<int64_t>(coefficients[i]) * quant[i];

  // Columns first; the results keep kPass1Bits of extra precision.
  for (int c = 0; c < 8; ++c) {
    const int64_t* in = column + c;
    bool acZero = true;
    for (int r = 1; r < 8 && acZero; ++r) acZero = in[8 * r] == 0;
    if (acZero) {
      // Exactly what the full transform yields for a lone DC term.
      for (int r = 0; r < 8; ++r) work[8 * r + c] = in[0] * (1 << kPass1Bits);
      continue;
    }
    int64_t res[8];
    Transform1d(in, 8, res);
    for (int r = 0; r < 8; ++r) work[8 * r + c] = Descale(res[r], kConstBits - kPass1Bits);
  }

  // Rows, then remove all scaling (and the DCT's factor 8) and level-shift.
  constexpr int kRowShift = kConstBits + kPass1Bits + 3;
  for (int r = 0; r < 8; ++r) {
    const int64_t* in = work + 8 * r;
    uint8_t* dst = out + static_cast<ptrdiff_t>(r) * outStride;
    int64_t res[8];
    Transform1d(in, 1, res);
    for (int c = 0; c < 8; ++c) dst[c] = ClampSample(Descale(res[c], kRowShift) + 128);
  }
}

}  // namespace jpeg
