// PCX decoder against Pillow: 8-bit palette, grey and 24-bit files as
// Pillow writes them (odd widths carry a padding byte per row), plus
// script-built files whose runs cross plane and row ends, whose rows are
// longer than the image and whose corner is not at (0, 0).  Plane counts
// without a layout, short rows, and the alpha of 24-bit pixels by value.
#include <gtest/gtest.h>

#include "FormatTestSupport.h"

using namespace formats_test;

namespace {

const char* const kPcxScript = R"PY(
sizes = [(1, 1), (3, 2), (17, 5), (31, 33), (100, 7)]
for i, (w, h) in enumerate(sizes):
    # Pillow reads its own 24-bit files wrongly when rows carry a padding
    # byte (odd widths): there the reference is the picture it encoded.  It
    # writes one-pixel-wide 24-bit files without their blue plane.
    picture = pattern_rgb(w, h, i)
    if w > 1:
        save(f'rgb{w}x{h}.pcx', picture, reference=picture if w % 2 else None)
    save(f'p{w}x{h}.pcx', pattern_p(w, h, 256, i))
    save(f'grey{w}x{h}.pcx', pattern_rgb(w, h, i).convert('L'))

def pcx(w, h, planes, line, data, palette=b'', x0=0, y0=0):
    header = (bytes((10, 5, 1, 8)) + le16(x0) + le16(y0) + le16(x0 + w - 1) + le16(y0 + h - 1) +
              le16(72) + le16(72) + bytes(48) + bytes((0, planes)) + le16(line) + le16(1))
    header += bytes(128 - len(header))
    return header + data + palette

# Runs over the whole byte stream (rows and planes joined), so they cross
# row and plane ends.  Pillow cannot read such files (nor rows padded by more
# than a byte), so the reference is the picture encoded.
def encode(stream):
    out, i = bytearray(), 0
    while i < len(stream):
        run = 1
        while i + run < len(stream) and run < 63 and stream[i + run] == stream[i]:
            run += 1
        if run > 1 or stream[i] >= 192:
            out += bytes((192 + run, stream[i]))
        else:
            out.append(stream[i])
        i += run
    return bytes(out)

rnd = random.Random(11)
for w, h, pad in [(5, 3, 0), (8, 4, 3), (1, 6, 1), (64, 2, 0), (63, 2, 1)]:
    line = w + pad
    rows = [[rnd.choice((7, 7, 7, 200, 201)) for _ in range(w)] for _ in range(h)]
    palette = bytes(rnd.randrange(256) for _ in range(768))
    picture = Image.new('P', (w, h))
    picture.putpalette(palette)
    picture.putdata(sum(rows, []))
    stream = bytes(sum((r + [0] * pad for r in rows), []))
    raw(f'runs_p_{w}x{h}.pcx', pcx(w, h, 1, line, encode(stream), b'\x0c' + palette, 3, 2), picture)
    picture = pattern_rgb(w, h, w)
    im = picture.tobytes()
    planes = bytearray()
    for y in range(h):
        for c in range(3):
            planes += bytes(im[(y * w + x) * 3 + c] for x in range(w)) + bytes(pad)
    raw(f'runs_rgb_{w}x{h}.pcx', pcx(w, h, 3, line, encode(planes)), picture)
)PY";

const std::vector<ReferenceFile>& PcxFiles() {
  static const std::vector<ReferenceFile> files = MakeReferenceFiles(kPcxScript);
  return files;
}

std::vector<uint8_t> Pcx(int width, int height, int planes, int bytesPerLine, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out(128, 0);
  out[0] = 0x0A;
  out[1] = 0x05;
  out[2] = 0x01;
  out[3] = 0x08;
  PutLe16(out, 4, 0);
  PutLe16(out, 6, 0);
  PutLe16(out, 8, static_cast<unsigned>(width - 1));
  PutLe16(out, 10, static_cast<unsigned>(height - 1));
  out[65] = static_cast<uint8_t>(planes);
  PutLe16(out, 66, static_cast<unsigned>(bytesPerLine));
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

// A palette whose entry i is (i, 255 - i, 7).
std::vector<uint8_t> RampPalette() {
  std::vector<uint8_t> palette;
  for (int i = 0; i < 256; ++i) palette.insert(palette.end(), {uint8_t(i), uint8_t(255 - i), 7});
  return palette;
}

uint32_t Ramp(unsigned i) { return 0xFF000000u | (i << 16) | ((255 - i) << 8) | 7; }

TEST(PcxDecoder, MatchesPillowOnPaletteGreyAndTrueColour) {
  ASSERT_GE(PcxFiles().size(), 24u);
  for (const ReferenceFile& file : PcxFiles()) ExpectMatchesReference(RenderPcx, file);
}

TEST(PcxDecoder, PlaneCountsWithoutALayoutDrawNothingAndSucceed) {
  for (int planes : {0, 2, 4, 255}) {
    SCOPED_TRACE(planes);
    const Rendered r = Render(RenderPcx, Pcx(2, 2, planes, 2, {1, 2, 3, 4, 5, 6, 7, 8}), 2, 2);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.frame.pixels, std::vector<uint32_t>(4, kUntouched));
  }
}

TEST(PcxDecoder, RowsAreReadByBytesPerLine) {
  struct Case {
    const char* name;
    int width;
    int bytesPerLine;
    std::vector<uint8_t> data;
    std::vector<uint32_t> want;  // two rows
  };
  const Case cases[] = {
      {"padding skipped", 2, 5, {1, 2, 97, 98, 99, 3, 4, 97, 98, 99}, {Ramp(1), Ramp(2), Ramp(3), Ramp(4)}},
      {"short rows leave the rest", 3, 2, {1, 2, 3, 4},
       {Ramp(1), Ramp(2), kUntouched, Ramp(3), Ramp(4), kUntouched}},
      {"no bytes per line", 2, 0, {1, 2, 3, 4}, std::vector<uint32_t>(4, kUntouched)},
      {"a run crosses the row end", 2, 2, {0xC3, 9, 5}, {Ramp(9), Ramp(9), Ramp(9), Ramp(5)}},
      {"a zero-length run is nothing", 2, 2, {0xC0, 9, 1, 2, 0xC1, 0xC5, 4},
       {Ramp(1), Ramp(2), Ramp(0xC5), Ramp(4)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> file = Pcx(c.width, 2, 1, c.bytesPerLine, c.data);
    const std::vector<uint8_t> palette = RampPalette();
    file.insert(file.end(), palette.begin(), palette.end());
    const Rendered r = Render(RenderPcx, file, c.width, 2);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.frame.pixels, c.want);
  }
}

TEST(PcxDecoder, TrueColourMakesCoveredPixelsOpaqueFirst) {
  // Data for the red plane of the first row only: every covered pixel turns
  // opaque, the first row gets its red, the rest keeps its colour.
  const std::vector<uint8_t> file = Pcx(2, 2, 3, 2, {0xAA, 0xBB});
  const Rendered r = Render(RenderPcx, file, 3, 2, 0, 0, 0x00123456);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.frame.pixels, (std::vector<uint32_t>{0xFFAA3456, 0xFFBB3456, 0x00123456,  //
                                                   0xFF123456, 0xFF123456, 0x00123456}));
  // A run carries on from the blue plane of one row into the red of the next.
  const std::vector<uint8_t> full = Pcx(1, 2, 3, 1, {0x10, 0x20, 0xC2, 0x30, 0x40, 0x50});
  const Rendered both = Render(RenderPcx, full, 1, 2, 0, 0, 0);
  EXPECT_EQ(both.frame.pixels, (std::vector<uint32_t>{0xFF102030, 0xFF304050}));
}

TEST(PcxDecoder, PaletteIsTheLast768BytesOrBlack) {
  // Without 768 bytes in the file there is no palette: indices draw opaque black.
  const Rendered r = Render(RenderPcx, Pcx(2, 1, 1, 2, {5, 6}), 2, 1);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.frame.pixels, (std::vector<uint32_t>{0xFF000000, 0xFF000000}));
}

TEST(PcxDecoder, RejectsHeadersItDoesNotAccept) {
  const std::vector<uint8_t> good = Pcx(1, 1, 1, 1, {0});
  ASSERT_EQ(Render(RenderPcx, good, 1, 1).result, 0);
  struct Case {
    const char* name;
    size_t at;
    unsigned value;
  };
  const Case cases[] = {
      {"x max below x min", 8, 0xFFFF}, {"y max below y min", 10, 0xFFFF},
      {"x min past x max", 4, 2},       {"version 3", 1, 3},
      {"4 bits per plane", 3, 4},       {"not run-length", 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bad = good;
    if (c.at == 8 || c.at == 10 || c.at == 4) {
      PutLe16(bad, c.at, c.value);
    } else {
      bad[c.at] = static_cast<uint8_t>(c.value);
    }
    EXPECT_EQ(Render(RenderPcx, bad, 1, 1).result, -1);
  }
  std::vector<uint8_t> cut = good;
  cut.resize(127);
  EXPECT_EQ(Render(RenderPcx, cut, 1, 1).result, -1);
}

TEST(PcxDecoder, WidestHeaderWithLittleDataEndsQuickly) {
  // Corners at -32768 and 32767: 65536 x 65536 pixels declared, a few bytes present.
  std::vector<uint8_t> file = Pcx(1, 1, 3, 0xFFFF, {0xFF, 1, 0xFF, 2});
  PutLe16(file, 4, 0x8000);
  PutLe16(file, 6, 0x8000);
  PutLe16(file, 8, 0x7FFF);
  PutLe16(file, 10, 0x7FFF);
  const Rendered r = Render(RenderPcx, file, 70, 2, 0, 0, 0);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.frame.pixels[0], 0xFF010000u);
  EXPECT_EQ(r.frame.pixels[62], 0xFF010000u);
  EXPECT_EQ(r.frame.pixels[63], 0xFF020000u);
  EXPECT_EQ(r.frame.pixels[69], 0xFF020000u);
  EXPECT_EQ(r.frame.pixels[70], 0xFF000000u);
}

TEST(PcxDecoder, CutShortOrCorruptFilesStayInBounds) {
  for (const ReferenceFile& file : PcxFiles()) {
    const bool palette = file.name == "p31x33.pcx" || file.name == "runs_p_8x4.pcx";
    const bool trueColour = file.name == "rgb17x5.pcx" || file.name == "runs_rgb_64x2.pcx";
    if (!palette && !trueColour) continue;
    SCOPED_TRACE(file.name);
    // A cut file takes its palette from other bytes, and a cut inside a
    // 24-bit row leaves pixels half-written: only where pixels land is checked.
    ExpectPrefixesSafe(RenderPcx, file.bytes, file.expected.width, file.expected.height, false);
    ExpectCorruptionContained(RenderPcx, file.bytes, file.expected.width, file.expected.height, 128);
  }
}

}  // namespace
