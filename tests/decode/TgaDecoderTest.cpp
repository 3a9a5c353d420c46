// TGA decoder against Pillow: grey, colour-mapped and true-colour files,
// raw and run-length, bottom-up and top-down as Pillow writes them, plus
// script-built files for runs that cross rows, right-to-left rows, an image
// ID and maps that start past entry 0.  The 5:5:5
// layout (which Pillow rounds differently) and the packet rules are checked
// by value.
#include <gtest/gtest.h>

#include "FormatTestSupport.h"

using namespace formats_test;

namespace {

const char* const kTgaScript = R"PY(
sizes = [(1, 1), (3, 2), (17, 5), (31, 33), (130, 4)]
for i, (w, h) in enumerate(sizes):
    for rle in (False, True):
        for orientation in (-1, 1):
            tag = f'{w}x{h}{"rle" if rle else "raw"}{"top" if orientation > 0 else "bottom"}'
            options = dict(orientation=orientation)
            if rle:
                options['compression'] = 'tga_rle'
            save(f'rgb_{tag}.tga', pattern_rgb(w, h, i), **options)
            save(f'rgba_{tag}.tga', pattern_rgba(w, h, i), **options)
            save(f'grey_{tag}.tga', pattern_rgb(w, h, i).convert('L'), **options)
            save(f'p_{tag}.tga', pattern_p(w, h, 100, i), **options)

def tga(w, h, imagetype, bits, data, desc=0, ident=b'', cmap=None):
    first, count, entry_bits, entries = cmap or (0, 0, 0, b'')
    header = (bytes((len(ident), 1 if cmap else 0, imagetype)) + le16(first) + le16(count) +
              bytes((entry_bits,)) + le16(0) + le16(0) + le16(w) + le16(h) + bytes((bits, desc)))
    return header + ident + entries + data

# Run-length coding over the whole pixel stream, so packets cross row ends.
def rle(pixels, size):
    out, i = bytearray(), 0
    while i < len(pixels):
        run = 1
        while i + run < len(pixels) and run < 128 and pixels[i + run] == pixels[i]:
            run += 1
        if run > 1:
            out += bytes((127 + run,)) + pixels[i]
            i += run
        else:
            n = 1
            while i + n < len(pixels) and n < 128 and (i + n + 1 >= len(pixels) or pixels[i + n] != pixels[i + n + 1]):
                n += 1
            out += bytes((n - 1,)) + b''.join(pixels[i:i + n])
            i += n
    return bytes(out)

def stored(im, bottom_up, chans):
    rows = [im.crop((0, y, im.width, y + 1)).tobytes() for y in range(im.height)]
    if bottom_up:
        rows.reverse()
    flat = b''.join(rows)
    return [flat[k:k + chans][::-1] if chans >= 3 else flat[k:k + chans] for k in range(0, len(flat), chans)]

rnd = random.Random(3)
for w, h in [(7, 3), (130, 3), (1, 5)]:
    im = pattern_rgb(w, h, w)
    flipped = im.transpose(Image.Transpose.FLIP_LEFT_RIGHT)
    for desc in (0x00, 0x10, 0x20, 0x30):
        src = flipped if desc & 0x10 else im
        px = stored(src, not desc & 0x20, 3)
        stored_name = f'bgr_raw_{w}x{h}_{desc:02x}.tga'
        raw(stored_name, tga(w, h, 2, 24, b''.join(px), desc, ident=b'hello'))
        # Pillow cannot read some packets that cross rows: compare with the raw file.
        raw(f'bgr_rle_{w}x{h}_{desc:02x}.tga', tga(w, h, 10, 24, rle(px, 3), desc), stored_name)
    grey = im.convert('L')
    raw(f'grey_{w}x{h}.tga', tga(w, h, 3, 8, b''.join(stored(grey, True, 1))))
    raw(f'grey_rle_{w}x{h}.tga', tga(w, h, 11, 8, rle(stored(grey, True, 1), 1)), f'grey_{w}x{h}.tga')
    pal = bytes(rnd.randrange(256) for _ in range(50 * 3))
    idx = [bytes((10 + (x * 7 + y * 3 + rnd.randrange(3)) % 50,)) for y in range(h) for x in range(w)]
    raw(f'map24_{w}x{h}.tga', tga(w, h, 1, 8, b''.join(idx), 0x20, cmap=(10, 50, 24, pal)))
    raw(f'map24_rle_{w}x{h}.tga', tga(w, h, 9, 8, rle(idx, 1), 0x20, cmap=(10, 50, 24, pal)),
        f'map24_{w}x{h}.tga')
)PY";

const std::vector<ReferenceFile>& TgaFiles() {
  static const std::vector<ReferenceFile> files = MakeReferenceFiles(kTgaScript);
  return files;
}

struct TgaHeader {
  int imageType = 2;
  int bits = 24;
  int width = 1;
  int height = 1;
  int descriptor = 0x20;  // top-down, so tests list pixels in reading order
  int mapFirst = 0;
  int mapEntryBits = 0;
  int mapCount = -1;  // entries declared, default the stored count
};

// A non-empty `map` (the stored entries) sets colour-map type 1.
std::vector<uint8_t> Tga(const TgaHeader& h, const std::vector<uint8_t>& map, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out(18, 0);
  const int entryBytes = (h.mapEntryBits + 7) / 8;
  const int count = h.mapCount >= 0 ? h.mapCount : (entryBytes ? static_cast<int>(map.size()) / entryBytes : 0);
  out[1] = map.empty() ? 0 : 1;
  out[2] = static_cast<uint8_t>(h.imageType);
  PutLe16(out, 3, static_cast<unsigned>(h.mapFirst));
  PutLe16(out, 5, static_cast<unsigned>(count));
  out[7] = static_cast<uint8_t>(h.mapEntryBits);
  PutLe16(out, 12, static_cast<unsigned>(h.width));
  PutLe16(out, 14, static_cast<unsigned>(h.height));
  out[16] = static_cast<uint8_t>(h.bits);
  out[17] = static_cast<uint8_t>(h.descriptor);
  out.insert(out.end(), map.begin(), map.end());
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

std::vector<uint32_t> Pixels(const TgaHeader& h, const std::vector<uint8_t>& data) {
  const Rendered r = Render(RenderTga, Tga(h, {}, data), h.width, h.height);
  EXPECT_EQ(r.result, 0);
  return r.frame.pixels;
}

TEST(TgaDecoder, MatchesPillowOnEveryTypeAndOrientation) {
  ASSERT_GE(TgaFiles().size(), 110u);
  for (const ReferenceFile& file : TgaFiles()) ExpectMatchesReference(RenderTga, file);
}

TEST(TgaDecoder, RunPacketRepeatsAndRawPacketStores) {
  TgaHeader grey{.imageType = 11, .bits = 8, .width = 6, .height = 2};
  // 0x85: one value six times; 0x05: six stored values.
  const std::vector<uint32_t> pixels =
      Pixels(grey, {0x85, 0x40, 0x05, 0x00, 0x10, 0x20, 0x30, 0x40, 0xFF});
  EXPECT_EQ(pixels, (std::vector<uint32_t>{0xFF404040, 0xFF404040, 0xFF404040, 0xFF404040, 0xFF404040,
                                           0xFF404040, 0xFF000000, 0xFF101010, 0xFF202020, 0xFF303030,
                                           0xFF404040, 0xFFFFFFFF}));
}

TEST(TgaDecoder, PacketsCrossRowsAndStopAtTheLastPixel) {
  // Bottom-up 4x3: a run of 6 fills the bottom row and starts the middle one;
  // the final run of 128 is cut after the last pixel and writes nothing else.
  TgaHeader grey{.imageType = 11, .bits = 8, .width = 4, .height = 3, .descriptor = 0};
  const std::vector<uint8_t> file = Tga(grey, {}, {0x85, 0x11, 0x01, 0x22, 0x33, 0xFF, 0x44});
  const Rendered r = Render(RenderTga, file, 6, 5, 1, 1);
  EXPECT_EQ(r.result, 0);
  const oracle::Image image{4, 3,
                            {0xFF444444, 0xFF444444, 0xFF444444, 0xFF444444,   //
                             0xFF111111, 0xFF111111, 0xFF222222, 0xFF333333,   //
                             0xFF111111, 0xFF111111, 0xFF111111, 0xFF111111}};
  EXPECT_TRUE(r.frame == Place(image, 6, 5, 1, 1));
}

TEST(TgaDecoder, SixteenBitPixelsAreFiveFiveFive) {
  TgaHeader h{.imageType = 2, .bits = 16, .width = 5, .height = 1};
  EXPECT_EQ(Pixels(h, {0xFF, 0x7F, 0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x00, 0x80}),
            (std::vector<uint32_t>{0xFFF8F8F8, 0xFFF80000, 0xFF00F800, 0xFF0000F8, 0xFF000000}));
}

TEST(TgaDecoder, ThirtyTwoBitPixelsKeepTheirAlpha) {
  TgaHeader h{.imageType = 2, .bits = 32, .width = 2, .height = 1};
  EXPECT_EQ(Pixels(h, {1, 2, 3, 0, 4, 5, 6, 0x80}), (std::vector<uint32_t>{0x00030201, 0x80060504}));
}

TEST(TgaDecoder, ColourMapLookups) {
  // Five-five-five entries starting at entry number 2.
  const std::vector<uint8_t> map = {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00};
  struct Case {
    const char* name;
    TgaHeader header;
    std::vector<uint8_t> map;
    std::vector<uint8_t> data;
    std::vector<uint32_t> want;
  };
  const Case cases[] = {
      {"one-byte indices, outside the map black",
       {.imageType = 1, .bits = 8, .width = 5, .height = 1, .mapFirst = 2, .mapEntryBits = 15}, map,
       {2, 3, 4, 1, 5},
       {0xFFF80000, 0xFF00F800, 0xFF0000F8, 0xFF000000, 0xFF000000}},
      {"two-byte indices",
       {.imageType = 1, .bits = 16, .width = 2, .height = 1, .mapFirst = 2, .mapEntryBits = 16}, map,
       {4, 0, 2, 1},
       {0xFF0000F8, 0xFF000000}},
      {"declared entries missing from the file",
       {.imageType = 1, .bits = 8, .width = 1, .height = 1, .mapFirst = 0, .mapEntryBits = 24, .mapCount = 3}, {1, 2, 3},
       {},
       {kUntouched}},
      {"entries wider than four bytes take room but draw black",
       {.imageType = 1, .bits = 8, .width = 2, .height = 1, .mapEntryBits = 40}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
       {0, 1},
       {0xFF000000, 0xFF000000}},
      {"four-byte entries keep their alpha",
       {.imageType = 1, .bits = 8, .width = 2, .height = 1, .mapEntryBits = 32}, {1, 2, 3, 0x40, 4, 5, 6, 0},
       {1, 0},
       {0x00060504, 0x40030201}},
      {"a map on a 16-bit true-colour file is used",
       {.imageType = 2, .bits = 16, .width = 1, .height = 1, .mapFirst = 0, .mapEntryBits = 24}, {0x10, 0x20, 0x30},
       {0, 0},
       {0xFF302010}},
      {"a map on a 24-bit file is skipped",
       {.imageType = 2, .bits = 24, .width = 1, .height = 1, .mapFirst = 0, .mapEntryBits = 24}, {0x10, 0x20, 0x30},
       {0x40, 0x50, 0x60},
       {0xFF605040}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Rendered r = Render(RenderTga, Tga(c.header, c.map, c.data), c.header.width, c.header.height);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.frame.pixels, c.want);
  }
}

TEST(TgaDecoder, RejectsHeadersItDoesNotAccept) {
  const TgaHeader good{.imageType = 2, .bits = 24, .width = 1, .height = 1};
  ASSERT_EQ(Render(RenderTga, Tga(good, {}, {1, 2, 3}), 1, 1).result, 0);
  struct Case {
    const char* name;
    size_t at;
    int value;
  };
  const Case cases[] = {
      {"width 0", 12, 0},     {"height 0", 14, 0},     {"image type 0", 2, 0}, {"image type 4", 2, 4},
      {"image type 32", 2, 32}, {"12 bits", 16, 12},   {"40 bits", 16, 40},    {"0 bits", 16, 0},
      {"descriptor 64", 17, 64}, {"map type 2", 1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bad = Tga(good, {}, {1, 2, 3});
    bad[c.at] = static_cast<uint8_t>(c.value);
    if (c.at == 12 || c.at == 14) bad[c.at + 1] = 0;
    const Rendered r = Render(RenderTga, bad, 1, 1);
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(r.frame.pixels, std::vector<uint32_t>{kUntouched});
  }
  std::vector<uint8_t> cut = Tga(good, {}, {});
  cut.resize(17);
  EXPECT_EQ(Render(RenderTga, cut, 1, 1).result, -1);
}

TEST(TgaDecoder, CutShortOrCorruptFilesStayInBounds) {
  for (const ReferenceFile& file : TgaFiles()) {
    const bool chosen = file.name == "rgb_17x5rlebottom.tga" || file.name == "p_31x33rletop.tga" ||
                        file.name == "grey_rle_130x3.tga" || file.name == "map24_rle_7x3.tga" ||
                        file.name == "rgba_31x33rawbottom.tga";
    if (!chosen) continue;
    SCOPED_TRACE(file.name);
    ExpectPrefixesSafe(RenderTga, file.bytes, file.expected.width, file.expected.height);
    ExpectCorruptionContained(RenderTga, file.bytes, file.expected.width, file.expected.height, 18);
  }
}

}  // namespace
