// The top level's extra filter proposals (more vectors written for the
// optimal parser to judge) pay only where a written trial is cheap: on a
// photo they cost about half again the time and can lose bytes, since the
// optimal parser's order at the proposals' level does not carry to the
// winner's.  So they stay off for large images and below the top level.

#include <gtest/gtest.h>

#include "cli/EffortLevels.h"

namespace {

size_t RawBytes(size_t width, size_t height) { return width * height * 4; }

TEST(EffortBudgets, ExtraProposalsOnlyForSmallImagesAtTheTopLevel) {
  const EffortLevel& top = kEffortLevels[FindEffortLevel("max")];
  struct Case {
    const char* level;
    size_t rawBytes;
    bool extra;
  } cases[] = {
      {"max", RawBytes(16, 16), true},    {"max", RawBytes(128, 128), true},
      {"max", RawBytes(768, 512), false}, {"max", RawBytes(300, 300), false},
      {"6", RawBytes(16, 16), false},     {"2", RawBytes(16, 16), false},
  };
  for (const Case& c : cases) {
    const EffortLevel& level = kEffortLevels[FindEffortLevel(c.level)];
    EXPECT_EQ(ExtraTrials(level, c.rawBytes) > 0, c.extra) << c.level << " " << c.rawBytes;
  }
  // The extras come beside the usual trials, never instead of them.
  EXPECT_EQ(FullTrials(top, RawBytes(128, 128)), FullTrials(kEffortLevels[FindEffortLevel("6")], RawBytes(128, 128)));
}

}  // namespace
