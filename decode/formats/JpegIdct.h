// The inverse DCT of one 8x8 block: dequantise, transform, level-shift and
// clamp to 8-bit samples.
//
// It is the Loeffler-Ligtenberg-Moschytz factorisation in fixed point (13
// fractional bits for the constants, 2 extra bits kept between the column
// and the row pass), which is accurate to the IEEE 1180 limits and matches
// what the common "slow integer" decoders produce, so our pixels agree with
// theirs.  Arithmetic is 64-bit: hostile coefficient and divisor values
// cannot overflow.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jpeg {

// coefficients and quant are in natural order; out receives 8 rows of 8
// samples, outStride bytes apart.
void InverseDct(const int16_t* coefficients, const uint16_t* quant, uint8_t* out, int outStride);

}  // namespace jpeg
