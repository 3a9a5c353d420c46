// The split pre-pass buffer is sized for the longest stream any colour type
// could give (four bytes a pixel plus a filter byte a row).  For a wide image
// of a small colour type that size can pass 2 GB while the stream itself stays
// far below it (the output estimate, checked before, bounds the stream), so
// such a run must not be refused for the size of the buffer alone.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "engine/EngineContext.h"
#include "engine/PassLoop.h"

namespace {

int IgnorePrint(const char*, ...) { return 0; }
int NeverStop(int) { return 0; }

TEST(SplitPrePassBuffer, Beyond2GBIsAllocatedWhenTheMachineHasIt) {
  // 2^20 one-bit grey pixels a row need 131,073 stream bytes a row, yet the
  // buffer is (4 * 2^20 + 1) * 513 = 2,151,678,465 bytes.
  constexpr int kWidth = 1 << 20;
  constexpr int kHeight = 513;
  constexpr int64_t kBufferBytes = (4 * int64_t(kWidth) + 1) * kHeight;
  static_assert(kBufferBytes > 2147483647);

  // Only untouched address space is asked for; a machine that cannot give
  // even that would rightly fail the run, which is not what is tested here.
  void* probe = std::malloc(size_t(kBufferBytes));
  if (probe == nullptr) GTEST_SKIP() << "no 2 GB of address space for the pre-pass buffer";
  std::free(probe);

  EngineContext ctx;
  EncodeJob job{};
  job.width = kWidth;
  job.height = kHeight;
  job.numblocks = 1;
  ctx.job = &job;
  ctx.print = IgnorePrint;
  ctx.poll = NeverStop;

  ASSERT_TRUE(SetUpPasses(ctx));
  EXPECT_EQ(job.pass, -1);
  EXPECT_TRUE(ctx.collected != nullptr);
  EXPECT_EQ(ctx.collectedCapacity, kBufferBytes);
  EXPECT_EQ(ctx.collectedCount, 0);
}

}  // namespace
