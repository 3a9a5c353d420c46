#include <gtest/gtest.h>

#include <cstdint>

#include "engine/ColorHash.h"

namespace {

TEST(ColorHash, BucketsTakeTheValueAsSignedWithArithmeticShifts) {
  // Worked by hand from ((v >> 22) ^ (v >> 11)) - v, low 11 bits, with the
  // value read as a signed 32-bit number.
  struct Case {
    uint32_t v;
    int bucket;
  };
  for (const Case& c : {Case{0x00000000, 0}, Case{0xFFFFFFFF, 1}, Case{0xFF000000, 2044}, Case{0x00808080, 1938},
                        Case{0xFF123456, 356}, Case{0x7FFFFFFF, 1537}}) {
    EXPECT_EQ(ColorHash::Bucket(c.v), c.bucket) << std::hex << c.v;
  }
}

TEST(ColorHash, ChainsFindEqualColoursLatestFirstAndMissesEndAtMinusOne) {
  // 0xFF000000, 0xFF000801 and 0xFF001002 share bucket 2044.
  uint32_t palette[256] = {};
  palette[0] = 0xFF000801;
  palette[1] = 0xFF000000;
  palette[2] = 0xFF000000;  // a duplicate: inserted later, found first
  palette[3] = 0x00000000;
  ColorHash hash;
  hash.Clear(palette);
  EXPECT_EQ(hash.Lookup(0xFF000000), -1);
  for (int i = 0; i < 4; ++i) hash.Insert(palette[i], i);
  EXPECT_EQ(hash.Lookup(0xFF000801), 0);
  EXPECT_EQ(hash.Lookup(0xFF000000), 2);
  EXPECT_EQ(hash.Lookup(0x00000000), 3);
  EXPECT_EQ(hash.Lookup(0xFF001002), -1);  // same chain, not present
  EXPECT_EQ(hash.Lookup(0x01000000), -1);  // equal in colour, not in alpha

  // Inserting from the last entry to the first makes the lower index win.
  hash.Clear(palette);
  for (int i = 3; i >= 0; --i) hash.Insert(palette[i], i);
  EXPECT_EQ(hash.Lookup(0xFF000000), 1);

  // Clearing forgets everything.
  hash.Clear(palette);
  EXPECT_EQ(hash.Lookup(0xFF000801), -1);
}

}  // namespace
