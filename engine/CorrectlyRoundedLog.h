// The natural logarithm, rounded correctly to the nearest double.
//
// The engine's choices (the adaptive filter's entropy table, the block
// splitter's cut costs) compare sums of logarithms, so a last-bit difference
// in one logarithm can move a block boundary or flip a filter and change the
// file.  The C libraries do not agree on that last bit: glibc's log is
// within 0.52 units in the last place, MinGW's runtime differs from it for
// some integers, and an x87 build rounds differently again.  A correctly
// rounded result has one right answer, so every build computes the same one.
//
// Method: x = 2^e * m with m in [sqrt(1/2), sqrt(2)), and
//   ln x = e ln 2 + 2 atanh(s),  s = (m - 1) / (m + 1),  |s| < 0.172,
// with the atanh series summed in double-double arithmetic (about 106 bits)
// from plain IEEE additions and multiplications, which every SSE2 build
// rounds alike (the engine is built without fused multiply-adds).  The
// result is correct unless the exact logarithm lies within about 2^-100 of
// a midpoint between two doubles, which for the integers the engine asks
// about (below 2^32) has not been seen.  It takes about a quarter of a
// microsecond, and the engine asks at most a few hundred thousand times per
// run.
#pragma once

// ln(x) for a finite x > 0; NaN for x <= 0 or NaN, +inf for +inf.
double CorrectlyRoundedLog(double x);
