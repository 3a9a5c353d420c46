// Natural logarithms rounded to the nearest double, computed with 113-bit
// arithmetic.  The integers are ones where common C libraries round the
// other way (7285, 11448, 19143: MinGW's runtime; 9170, 136837, 416542,
// 504274: glibc), plus the range ends the engine reaches and a few values
// that stress the argument reduction.
#pragma once

struct LogCase {
  double x;
  double ln;
};

inline constexpr LogCase kCorrectlyRoundedLogs[] = {
    {0x1p+1, 0x1.62e42fefa39efp-1},                      // 2
    {0x1.8p+1, 0x1.193ea7aad030bp+0},                    // 3
    {0x1.4p+3, 0x1.26bb1bbb55516p+1},                    // 10
    {0x1.c75p+12, 0x1.1c9825d0638abp+3},                 // 7285
    {0x1.1e9p+13, 0x1.23f54a1c504c1p+3},                 // 9170
    {0x1.65cp+13, 0x1.2b0ee97d85b2bp+3},                 // 11448
    {0x1.2b1cp+14, 0x1.3b82999ed20cfp+3},                // 19143
    {0x1.0b428p+17, 0x1.7a7310000e6dbp+3},               // 136837
    {0x1.96c78p+18, 0x1.9e125f05bcaf9p+3},               // 416542
    {0x1.ec748p+18, 0x1.a43020df84722p+3},               // 504274
    {0x1p+16, 0x1.62e42fefa39efp+3},                     // 65536
    {0x1.ffffep+19, 0x1.bb9d39eb8c76bp+3},               // 1048575
    {0x1.fffffep+23, 0x1.0a2b23e3bab73p+4},              // 16777215
    {0x1.fffffffep+31, 0x1.62e42fef939efp+4},            // 4294967295
    {0x1p-1, -0x1.62e42fefa39efp-1},                     // 0.5
    {0x1.56e1fc2f8f359p-997, -0x1.5963447f87fb5p+9},     // 1e-300
    {0x1.0000000000001p+0, 0x1.fffffffffffffp-53},       // 1 + 2^-52
};
