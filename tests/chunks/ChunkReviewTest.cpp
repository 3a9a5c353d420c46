// The background of a palette source whose bKGD index lies beyond the
// palette: the chunk still marks a background as present, only its colour is
// unknown, so the job gets black with the presence byte, exactly as for a
// palette source read without a palette table.  The engine then writes a
// bKGD of its own; a job with bkgd 0 would write none.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ChunkBytesForTests.h"

namespace {

using namespace chunktest;

TEST(ChunkReview, PaletteBackgroundIndexBeyondThePaletteIsPresentWithoutColour) {
  struct Case {
    Bytes plte;
    uint8_t index;
    int room;  // palcount on entry; 0 leaves the 256-entry table's room
    uint32_t expected;
  };
  const Case cases[] = {
      {{10, 20, 30, 40, 50, 60}, 1, 0, 0xFF28323C},  // inside: the entry's colour
      {{10, 20, 30, 40, 50, 60}, 2, 0, 0xFF000000},  // one past the two entries
      {{10, 20, 30, 40, 50, 60}, 255, 0, 0xFF000000},
      {{10, 20, 30, 40, 50, 60, 70, 80, 90}, 2, 2, 0xFF000000},  // cut to a room of 2
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "index " << int{c.index} << ", room " << c.room);
    Bytes png = PngBuilder(3, 8).Add("PLTE", c.plte).Add("bKGD", {c.index}).Add("IDAT", {1}).Build();
    Extraction x;
    x.job.palcount = c.room;
    x.Run(png, "ALL");
    EXPECT_EQ(x.job.bkgd, c.expected);
    EXPECT_EQ(x.KeptTypes(), std::vector<std::string>{"bKGD"});
  }
}

// A second bKGD whose index lies beyond the palette gives no colour of its
// own, so the colour of the first one stays.
TEST(ChunkReview, BackgroundIndexBeyondThePaletteKeepsAnEarlierColour) {
  Bytes png = PngBuilder(3, 8)
                  .Add("PLTE", {10, 20, 30, 40, 50, 60})
                  .Add("bKGD", {1})
                  .Add("bKGD", {9})
                  .Add("IDAT", {1})
                  .Build();
  Extraction x;
  x.Run(png, "ALL");
  EXPECT_EQ(x.job.bkgd, 0xFF28323Cu);
  EXPECT_EQ(x.KeptTypes(), (std::vector<std::string>{"bKGD", "bKGD"}));
}

}  // namespace
