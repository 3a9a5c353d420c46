// The MinGW build's logarithm gives the same bits as the Linux build's on
// the cases where the C libraries of the two disagree.
#include <gtest/gtest.h>

#include "engine/CorrectlyRoundedLog.h"
#include "tests/engine/CorrectlyRoundedLogCases.h"

namespace {

TEST(CorrectlyRoundedLogOnWindows, MatchesHighPrecisionValues) {
  for (const LogCase& c : kCorrectlyRoundedLogs) EXPECT_EQ(CorrectlyRoundedLog(c.x), c.ln) << std::hexfloat << c.x;
}

}  // namespace
