#include "decode/formats/JpegUpsample.h"

#include <algorithm>
#include <cstddef>

namespace jpeg {

namespace {

const uint8_t* Row(const SamplePlane& plane, int r) {
  r = std::clamp(r, 0, plane.height - 1);
  return plane.samples + static_cast<size_t>(r) * plane.stride;
}

// Output sample i of a row being doubled across; the last input sample may
// cover one column past the picture's width.
void Emit(uint8_t* out, int width, int i, int v) {
  if (i < width) out[i] = static_cast<uint8_t>(v);
}

// Doubles a row across: 3/4 nearer + 1/4 farther, rounding alternately
// down and up so the filter has no drift.
void DoubleAcross(const uint8_t* in, int n, int width, uint8_t* out) {
  Emit(out, width, 0, in[0]);
  Emit(out, width, 1, (in[0] * 3 + in[1] + 2) >> 2);
  for (int i = 1; i < n - 1; ++i) {
    Emit(out, width, 2 * i, (in[i] * 3 + in[i - 1] + 1) >> 2);
    Emit(out, width, 2 * i + 1, (in[i] * 3 + in[i + 1] + 2) >> 2);
  }
  Emit(out, width, 2 * n - 2, (in[n - 1] * 3 + in[n - 2] + 1) >> 2);
  Emit(out, width, 2 * n - 1, in[n - 1]);
}

// Doubles both ways: first 3/4 of the nearer row plus 1/4 of the farther
// (kept at 4x scale), then the same across, with one rounding at the end.
void DoubleBoth(const uint8_t* nearRow, const uint8_t* farRow, int n, int width, uint8_t* out) {
  auto sum = [&](int i) { return nearRow[i] * 3 + farRow[i]; };
  int last = sum(0);
  int cur = last;
  for (int i = 0; i < n; ++i) {
    const int next = i + 1 < n ? sum(i + 1) : cur;
    // At the edges the missing neighbour is the sample itself; the first
    // and last outputs then reduce to the column sum alone.
    Emit(out, width, 2 * i, (cur * 3 + last + 8) >> 4);
    Emit(out, width, 2 * i + 1, (cur * 3 + next + 7) >> 4);
    last = cur;
    cur = next;
  }
}

void Nearest(const SamplePlane& plane, int hMax, int vMax, int y, int width, uint8_t* out) {
  const uint8_t* in = Row(plane, static_cast<int>(static_cast<long long>(y) * plane.v / vMax));
  if (plane.h == hMax) {
    std::copy(in, in + width, out);
    return;
  }
  for (int x = 0; x < width; ++x) out[x] = in[static_cast<long long>(x) * plane.h / hMax];
}

}  // namespace

void UpsampleRow(const SamplePlane& plane, int hMax, int vMax, int y, int width, uint8_t* out) {
  const bool filter = plane.width > 2;
  const bool halfAcross = plane.h * 2 == hMax;
  const bool halfDown = plane.v * 2 == vMax;
  if (filter && halfAcross && plane.v == vMax) {
    DoubleAcross(Row(plane, y), plane.width, width, out);
  } else if (filter && halfAcross && halfDown) {
    const int r = y / 2;
    DoubleBoth(Row(plane, r), Row(plane, (y & 1) ? r + 1 : r - 1), plane.width, width, out);
  } else if (filter && plane.h == hMax && halfDown) {
    const int r = y / 2;
    const uint8_t* nearRow = Row(plane, r);
    const uint8_t* farRow = Row(plane, (y & 1) ? r + 1 : r - 1);
    const int bias = (y & 1) ? 2 : 1;
    for (int x = 0; x < width; ++x) out[x] = static_cast<uint8_t>((nearRow[x] * 3 + farRow[x] + bias) >> 2);
  } else {
    Nearest(plane, hMax, vMax, y, width, out);
  }
}

}  // namespace jpeg
