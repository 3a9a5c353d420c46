// BMP decoder against Pillow: files Pillow writes (1, 8, 24 and 32 bits),
// and files built by a script for what Pillow cannot write (4 bits, top-down
// rows, bit fields, longer and shorter headers) but reads back.  Channel
// layouts whose rounding Pillow does differently are checked by value.
#include <gtest/gtest.h>

#include "FormatTestSupport.h"

using namespace formats_test;

namespace {

const char* const kBmpScript = R"PY(
sizes = [(1, 1), (3, 2), (17, 5), (31, 33), (64, 3)]
for i, (w, h) in enumerate(sizes):
    save(f'rgb{w}x{h}.bmp', pattern_rgb(w, h, i))
    save(f'rgba{w}x{h}.bmp', pattern_rgba(w, h, i))
    save(f'p{w}x{h}.bmp', pattern_p(w, h, 200, i))
    save(f'grey{w}x{h}.bmp', pattern_rgb(w, h, i).convert('L'))
    save(f'mono{w}x{h}.bmp', pattern_rgb(w, h, i).convert('1'))

def pack(values, bits):
    out = bytearray()
    acc, n = 0, 0
    for v in values:
        acc = (acc << bits) | v
        n += bits
        if n == 8:
            out.append(acc)
            acc, n = 0, 0
    if n:
        out.append(acc << (8 - n))
    return bytes(out)

def bmp(w, h, bits, rows, palette=(), header=40, compression=0, masks=None, topdown=False):
    stride = (w * bits + 31) // 32 * 4
    body = b''.join(r + bytes(stride - len(r)) for r in (rows if topdown else rows[::-1]))
    entry = 3 if header == 12 else 4
    pal = b''.join(bytes((b, g, r)) + bytes(entry - 3) for (r, g, b) in palette)
    extra = b''.join(le32(m) for m in masks) if masks and header == 40 else b''
    if header == 12:
        info = le32(12) + le16(w) + le16(h) + le16(1) + le16(bits)
    else:
        info = (le32(header) + le32(w) + le32(-h if topdown else h) + le16(1) + le16(bits) +
                le32(compression) + le32(len(body)) + le32(2835) + le32(2835) +
                le32(len(palette)) + le32(0))
        if header > 40:
            inner = b''.join(le32(m) for m in (masks or (0, 0, 0))) + le32(0)
            info += inner + bytes(header - 40 - len(inner))
    offset = 14 + len(info) + len(extra) + len(pal)
    return b'BM' + le32(offset + len(body)) + le32(0) + le32(offset) + info + extra + pal + body

rnd = random.Random(7)
def palette(n):
    return [tuple(rnd.randrange(256) for _ in range(3)) for _ in range(n)]
def index_rows(w, h, n):
    return [[(x * 3 + y * 5 + rnd.randrange(2)) % n for x in range(w)] for y in range(h)]

for w, h in [(5, 3), (17, 4), (1, 9)]:
    for topdown in (False, True):
        tag = f'{w}x{h}{"td" if topdown else ""}'
        for bits in (1, 4, 8):
            n = 1 << bits if bits < 8 else 40
            rows = [pack(r, bits) for r in index_rows(w, h, n)]
            raw(f'pal{bits}_{tag}.bmp', bmp(w, h, bits, rows, palette(n), topdown=topdown))
        px = pattern_rgb(w, h, w * h).tobytes()
        rgb_rows = [bytes(b for i in range(w) for b in px[(y * w + i) * 3:(y * w + i) * 3 + 3][::-1])
                    for y in range(h)]
        raw(f'bgr24_{tag}.bmp', bmp(w, h, 24, rgb_rows, topdown=topdown))
        bgrx = [bytes(b for i in range(w) for b in r[i * 3:i * 3 + 3] + b'\x00') for r in rgb_rows]
        raw(f'fields32_{tag}.bmp', bmp(w, h, 32, bgrx, compression=3,
                                      masks=(0xFF0000, 0xFF00, 0xFF), topdown=topdown))
        raw(f'v4fields32_{tag}.bmp', bmp(w, h, 32, bgrx, header=108, compression=3,
                                        masks=(0xFF0000, 0xFF00, 0xFF), topdown=topdown))
        xbgr = [bytes(b for i in range(w) for b in b'\x00' + r[i * 3:i * 3 + 3]) for r in rgb_rows]
        raw(f'v5xbgr32_{tag}.bmp', bmp(w, h, 32, xbgr, header=124, compression=3,
                                      masks=(0xFF000000, 0xFF0000, 0xFF00), topdown=topdown))
    raw(f'core24_{w}x{h}.bmp', bmp(w, h, 24, rgb_rows, header=12))
    raw(f'core8_{w}x{h}.bmp', bmp(w, h, 8, [pack(r, 8) for r in index_rows(w, h, 50)],
                                  palette(50), header=12))
)PY";

const std::vector<ReferenceFile>& BmpFiles() {
  static const std::vector<ReferenceFile> files = MakeReferenceFiles(kBmpScript);
  return files;
}

// A BMP with the 40-byte header, no palette, pixel rows given bottom row first.
std::vector<uint8_t> TrueColourBmp(int width, int height, int bits, const std::vector<uint8_t>& rows,
                                   uint32_t compression = 0, std::vector<uint32_t> masks = {}) {
  const uint32_t offset = 54 + 4 * static_cast<uint32_t>(masks.size());
  std::vector<uint8_t> out(offset);
  out[0] = 'B';
  out[1] = 'M';
  PutLe32(out, 10, offset);
  PutLe32(out, 14, 40);
  PutLe32(out, 18, static_cast<uint32_t>(width));
  PutLe32(out, 22, static_cast<uint32_t>(height));
  PutLe16(out, 26, 1);
  PutLe16(out, 28, static_cast<unsigned>(bits));
  PutLe32(out, 30, compression);
  for (size_t i = 0; i < masks.size(); ++i) PutLe32(out, 54 + 4 * i, masks[i]);
  out.insert(out.end(), rows.begin(), rows.end());
  return out;
}

std::vector<uint32_t> RenderPixels(const std::vector<uint8_t>& file, int width, int height) {
  const Rendered r = Render(RenderBmp, file, width, height);
  EXPECT_EQ(r.result, 0);
  return r.frame.pixels;
}

TEST(BmpDecoder, MatchesPillowOnEveryDepthHeaderAndRowOrder) {
  ASSERT_GE(BmpFiles().size(), 60u);
  for (const ReferenceFile& file : BmpFiles()) ExpectMatchesReference(RenderBmp, file);
}

TEST(BmpDecoder, NegativeHeightIsTopDownPositiveIsBottomUp) {
  // Two rows of one 24-bit pixel each (padded to four bytes): red first, then blue.
  const std::vector<uint8_t> rows = {0, 0, 0xFF, 0, 0xFF, 0, 0, 0};
  EXPECT_EQ(RenderPixels(TrueColourBmp(1, -2, 24, rows), 1, 2),
            (std::vector<uint32_t>{0xFFFF0000, 0xFF0000FF}));
  EXPECT_EQ(RenderPixels(TrueColourBmp(1, 2, 24, rows), 1, 2),
            (std::vector<uint32_t>{0xFF0000FF, 0xFFFF0000}));
}

TEST(BmpDecoder, ChannelFieldsLandAtTheTopOfEachByte) {
  struct Case {
    const char* name;
    int bits;
    uint32_t compression;
    std::vector<uint32_t> masks;
    uint32_t stored;
    uint32_t want;
  };
  const Case cases[] = {
      // 16 bits without masks: 5:5:5, low three bits of each channel 0, top bit ignored.
      {"555 white", 16, 0, {}, 0x7FFF, 0xFFF8F8F8},
      {"555 red", 16, 0, {}, 0x7C00, 0xFFF80000},
      {"555 green", 16, 0, {}, 0x03E0, 0xFF00F800},
      {"555 blue", 16, 0, {}, 0x001F, 0xFF0000F8},
      {"555 top bit", 16, 0, {}, 0x8000, 0xFF000000},
      {"555 mixed", 16, 0, {}, 0x4A52, 0xFF909090},
      {"565 red", 16, 3, {0xF800, 0x07E0, 0x001F}, 0xF800, 0xFFF80000},
      {"565 green", 16, 3, {0xF800, 0x07E0, 0x001F}, 0x07E0, 0xFF00FC00},
      {"565 blue", 16, 3, {0xF800, 0x07E0, 0x001F}, 0x001F, 0xFF0000F8},
      // 32 bits: stored alpha ignored; fields wider than a byte keep their top eight bits.
      {"888 alpha dropped", 32, 0, {}, 0x12345678, 0xFF345678},
      {"10-bit fields", 32, 3, {0x3FF00000, 0x000FFC00, 0x000003FF}, 0x3FF80001, 0xFFFF8000},
      {"10-bit mixed", 32, 3, {0x3FF00000, 0x000FFC00, 0x000003FF}, (0x200u << 20) | (0x3FFu << 10) | 0x2FF,
       0xFF80FFBF},
      {"fields swapped", 32, 3, {0x000000FF, 0x0000FF00, 0x00FF0000}, 0x00112233, 0xFF332211},
      {"empty mask", 32, 3, {0, 0xFF00, 0xFF}, 0x00FFFFFF, 0xFF00FFFF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> row(4, 0);
    for (int i = 0; i < c.bits / 8; ++i) row[static_cast<size_t>(i)] = static_cast<uint8_t>(c.stored >> (8 * i));
    EXPECT_EQ(RenderPixels(TrueColourBmp(1, 1, c.bits, row, c.compression, c.masks), 1, 1),
              std::vector<uint32_t>{c.want});
  }
}

TEST(BmpDecoder, TwoBitImagesAreAcceptedAndDrawNothing) {
  const std::vector<uint8_t> file = TrueColourBmp(4, 1, 2, {0x1B, 0, 0, 0});
  const Rendered r = Render(RenderBmp, file, 4, 1);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.frame.pixels, std::vector<uint32_t>(4, kUntouched));
}

TEST(BmpDecoder, RejectsHeadersItDoesNotAccept) {
  const std::vector<uint8_t> good = TrueColourBmp(1, 1, 24, {1, 2, 3, 0});
  ASSERT_EQ(Render(RenderBmp, good, 1, 1).result, 0);
  struct Case {
    const char* name;
    size_t at;
    int bytes;
    uint32_t value;
  };
  const Case cases[] = {
      {"not BM", 1, 1, 'X'},       {"two planes", 26, 2, 2},     {"width 0", 18, 4, 0},
      {"height 0", 22, 4, 0},      {"3 bits", 28, 2, 3},         {"64 bits", 28, 2, 64},
      {"run-length 8", 30, 4, 1},  {"run-length 4", 30, 4, 2},   {"jpeg", 30, 4, 4},
      {"header cut", 33, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bad = good;
    if (c.bytes == 0) bad.resize(c.at);
    if (c.bytes == 1) bad[c.at] = static_cast<uint8_t>(c.value);
    if (c.bytes == 2) PutLe16(bad, c.at, c.value);
    if (c.bytes == 4) PutLe32(bad, c.at, c.value);
    const Rendered r = Render(RenderBmp, bad, 1, 1);
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(r.frame.pixels, std::vector<uint32_t>(1, kUntouched));
  }
}

TEST(BmpDecoder, ShortHeaderNeedsOnePlane) {
  std::vector<uint8_t> file(26);
  file[0] = 'B';
  file[1] = 'M';
  PutLe32(file, 10, 26);
  PutLe32(file, 14, 12);
  PutLe16(file, 18, 1);
  PutLe16(file, 20, 1);
  PutLe16(file, 22, 1);
  PutLe16(file, 24, 24);
  file.insert(file.end(), {0x10, 0x20, 0x30, 0});
  EXPECT_EQ(RenderPixels(file, 1, 1), std::vector<uint32_t>{0xFF302010});
  PutLe16(file, 22, 0);
  EXPECT_EQ(Render(RenderBmp, file, 1, 1).result, -1);
}

TEST(BmpDecoder, PaletteRunsFromHeaderEndToPixelData) {
  // 8 bits, two palette entries by position although the colour count says 0;
  // index 2 lies beyond the stored entries and draws opaque black.
  std::vector<uint8_t> file = TrueColourBmp(3, 1, 8, {});
  PutLe32(file, 10, 54 + 8);
  file.insert(file.end(), {1, 2, 3, 0, 4, 5, 6, 0});
  file.insert(file.end(), {1, 0, 2, 0});
  EXPECT_EQ(RenderPixels(file, 3, 1), (std::vector<uint32_t>{0xFF060504, 0xFF030201, 0xFF000000}));
}

TEST(BmpDecoder, HugeDeclaredSizeDrawsOnlyThePixelsPresent) {
  // 2^31 - 1 rows of 4096 pixels, of which one row and a half are in the file.
  std::vector<uint8_t> rows(4096 * 3 + 4096 * 3 / 2, 0x80);
  const std::vector<uint8_t> file = TrueColourBmp(4096, -0x7FFFFFFF, 24, rows);
  const Rendered r = Render(RenderBmp, file, 4096, 3);
  EXPECT_EQ(r.result, 0);
  for (size_t i = 0; i < r.frame.pixels.size(); ++i) {
    const uint32_t want = i < 4096 + 2048 ? 0xFF808080 : kUntouched;
    ASSERT_EQ(r.frame.pixels[i], want) << i;
  }
}

TEST(BmpDecoder, CutShortOrCorruptFilesStayInBounds) {
  for (const ReferenceFile& file : BmpFiles()) {
    if (file.name.rfind("p17x5", 0) != 0 && file.name.rfind("pal4_17x4td", 0) != 0 &&
        file.name.rfind("rgb31x33", 0) != 0 && file.name.rfind("core8_5x3", 0) != 0) {
      continue;
    }
    SCOPED_TRACE(file.name);
    ExpectPrefixesSafe(RenderBmp, file.bytes, file.expected.width, file.expected.height);
    ExpectCorruptionContained(RenderBmp, file.bytes, file.expected.width, file.expected.height, 34);
  }
}

}  // namespace
