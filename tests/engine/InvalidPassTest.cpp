// A pass that writes a symbol without a code word (length 0) produces a
// corrupt stream.  Such a pass must never be the result: the loop runs the
// best sound pass once more instead, or writes the stored file when no sound
// pass exists.  The corruption is forced by zeroing a code length the data
// needs after the block header has gone out, which is what the real fault
// amounts to: the symbol leaves as no bits at all.

#include <gtest/gtest.h>

#include <memory>

#include "EngineRunSupport.h"
#include "engine/EngineContext.h"

namespace {

using namespace spinetest;

// The context of the run under way, for the poll hook.
EngineContext* g_context = nullptr;

struct Outcome {
  int result = kEncodeFailed;
  std::vector<uint8_t> png;
  int passes = 0;
};

// Runs the job in its own context; when corruptPass is 0 or more, the code
// length of literal 0 (the filter-type byte of every row under filter None)
// is zeroed in block 0 just before the first row of that pass is encoded.
Outcome RunForcing(Image& img, int corruptPass, int escapeAfterJudged) {
  auto ctx = std::make_unique<EngineContext>();
  g_context = ctx.get();
  EncodeJob job = DefaultJob(img);
  job.colortype = 2;
  job.filter = 0;
  job.splitthreshold = 0.0;
  Recorder& r = TheRecorder();
  r = Recorder{};
  int judged = 0;
  bool corrupted = false;
  r.onPoll = [&](int code) {
    // Past the colour analysis (which polls too) and the stream start.
    const bool inPass = g_context->olinbuf && g_context->sink == EngineContext::ByteSink::Deflate;
    if (code == 1 && inPass && job.pass == corruptPass && !corrupted) {
      g_context->deflate.blocks[0].lengths[0] = 0;
      corrupted = true;
    }
  };
  r.answer = [&](int code) { return code == 0 && ++judged >= escapeAfterJudged ? 1 : 0; };
  Outcome out;
  out.result = OptimizePngInContext(*ctx, &job);
  out.passes = job.pass;
  EXPECT_EQ(corrupted, corruptPass >= 0);
  if (out.result != kEncodeFailed) out.png.assign(job.kbuf, job.kbuf + out.result);
  FreeEncodeBuffer(job.kbuf);
  r.onPoll = nullptr;
  r.answer = nullptr;
  g_context = nullptr;
  return out;
}

Image Gradient() {
  return MakeImage(48, 24, [](int x, int y) {
    return 0xFF000000u | uint32_t(x * 5) << 16 | uint32_t((x * y) & 0xFF) << 8 | (Noise(x / 3, y) & 0x3F);
  });
}

TEST(InvalidPass, ACorruptOnlyPassLeavesTheStoredFile) {
  Image img = Gradient();
  const Outcome out = RunForcing(img, 0, 1);
  ASSERT_NE(out.result, kEncodeFailed);
  EXPECT_EQ(TheRecorder().Count("\nEarly ESC! "), 1);
  EXPECT_EQ(TheRecorder().Count("Out:" + std::string(8 - std::to_string(out.result).size(), ' ') +
                                std::to_string(out.result) + " bytes (stored)"),
            1);
  Image decoded;
  std::string error;
  ASSERT_TRUE(oracle::DecodePng(out.png, decoded, &error)) << error;
  EXPECT_TRUE(decoded == img);
}

TEST(InvalidPass, ACorruptLaterPassIsReplacedByTheBestPass) {
  Image img = Gradient();
  const Outcome reference = RunForcing(img, -1, 1);  // stops after the first pass
  ASSERT_NE(reference.result, kEncodeFailed);
  ASSERT_EQ(reference.passes, 1);

  const Outcome out = RunForcing(img, 1, 2);  // the second pass is corrupt and would end the loop
  ASSERT_NE(out.result, kEncodeFailed);
  EXPECT_EQ(out.passes, 3);  // the corrupt pass is followed by the final re-run of the first
  EXPECT_EQ(out.png, reference.png);
  Image decoded;
  ASSERT_TRUE(oracle::DecodePng(out.png, decoded));
  EXPECT_TRUE(decoded == img);
}

TEST(InvalidPass, SoundRunsAreUntouchedByTheGuard) {
  // Same image, nothing forced: the run ends where the loop's own rules end
  // it and every pass it judged was sound.
  Image img = Gradient();
  const Outcome out = RunForcing(img, -1, 1 << 30);
  ASSERT_NE(out.result, kEncodeFailed);
  std::vector<uint8_t> raw;
  ASSERT_TRUE(oracle::InflateIdat(out.png, raw));
  EXPECT_EQ(raw.size(), size_t(img.height) * (3 * img.width + 1));
}

}  // namespace
