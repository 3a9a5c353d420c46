// GIF decoder against Pillow: palette sizes from 2 to 256 colours, grey,
// interlaced and not, a transparent index, local colour tables (moved there
// from the global table by the script) and several frames of which only the
// first is drawn.  The screen fill, interlace order and the LZW corner cases
// are checked on files whose codes the test writes bit by bit.
#include <gtest/gtest.h>

#include "FormatTestSupport.h"

using namespace formats_test;

namespace {

const char* const kGifScript = R"PY(
# Moves the global colour table of a Pillow GIF to a local table of its image;
# with `decoy`, a global table of other colours stays behind.
def localise(data, decoy=False):
    flags = data[10]
    size = 3 * (2 << (flags & 7))
    table, rest = data[13:13 + size], data[13 + size:]
    i = 0
    while rest[i] == 0x21:
        i += 2
        while rest[i]:
            i += rest[i] + 1
        i += 1
    descriptor = bytearray(rest[i:i + 10])
    descriptor[9] = (descriptor[9] & 0x40) | 0x80 | (flags & 7)
    header = bytearray(data[:13])
    glob = b''
    if decoy:
        glob = bytes(255 - b for b in table)
    else:
        header[10] = flags & 0x70
    return bytes(header) + glob + rest[:i] + bytes(descriptor) + table + rest[i + 10:]

sizes = [(1, 1), (5, 3), (17, 16), (40, 37), (100, 100)]
for i, (w, h) in enumerate(sizes):
    for colours in (2, 16, 256):
        picture = pattern_p(w, h, colours, i)
        save(f'p{colours}_{w}x{h}.gif', picture, interlace=False)
        save(f'p{colours}_{w}x{h}_interlaced.gif', picture, interlace=True)
    save(f'grey_{w}x{h}.gif', pattern_rgb(w, h, i).convert('L'))
    save(f'transparent_{w}x{h}.gif', pattern_p(w, h, 16, i), transparency=3)
    with open(os.path.join(OUT, f'p16_{w}x{h}_interlaced.gif'), 'rb') as f:
        data = f.read()
    raw(f'local_{w}x{h}.gif', localise(data))
    raw(f'local_decoy_{w}x{h}.gif', localise(data, decoy=True))

noise = Image.new('P', (200, 150))
noise.putpalette([random.Random(5).randrange(256) for _ in range(768)])
noise.putdata([random.Random(6).randrange(256) for _ in range(200 * 150)])
save('noise_200x150.gif', noise, optimize=False)

frames = [pattern_p(30, 20, 64, k) for k in range(3)]
save('frames_30x20.gif', frames[0], save_all=True, append_images=frames[1:], duration=50)
)PY";

const std::vector<ReferenceFile>& GifFiles() {
  static const std::vector<ReferenceFile> files = MakeReferenceFiles(kGifScript);
  return files;
}

// Codes packed least significant bit first, each with its own width.
struct Code {
  unsigned value;
  unsigned width;
};

std::vector<uint8_t> PackCodes(const std::vector<Code>& codes) {
  std::vector<uint8_t> out;
  uint32_t buffer = 0;
  unsigned count = 0;
  for (const Code& c : codes) {
    buffer |= c.value << count;
    count += c.width;
    while (count >= 8) {
      out.push_back(static_cast<uint8_t>(buffer));
      buffer >>= 8;
      count -= 8;
    }
  }
  if (count > 0) out.push_back(static_cast<uint8_t>(buffer));
  return out;
}

// Every index as a literal code, with a clear code often enough that the
// code width never grows: the simplest valid LZW stream.
std::vector<uint8_t> LiteralCodes(const std::vector<uint8_t>& indices, unsigned minCodeSize, bool end = true) {
  const unsigned clear = 1u << minCodeSize;
  const unsigned width = minCodeSize + 1;
  std::vector<Code> codes;
  for (size_t i = 0; i < indices.size(); ++i) {
    if (i % (clear - 2) == 0) codes.push_back({clear, width});
    codes.push_back({indices[i], width});
  }
  if (end) codes.push_back({clear + 1, width});
  return PackCodes(codes);
}

struct GifFile {
  int screenWidth = 1;
  int screenHeight = 1;
  std::vector<uint32_t> global = {};  // RGB entries; empty: no global table
  int background = 0;
  int transparent = -1;
  int left = 0;
  int top = 0;
  int width = 1;
  int height = 1;
  bool interlaced = false;
  std::vector<uint32_t> local = {};  // empty: no local table
  unsigned minCodeSize = 2;
};

void PutTable(std::vector<uint8_t>& out, const std::vector<uint32_t>& table) {
  size_t entries = 2;
  while (entries < table.size()) entries *= 2;
  for (size_t i = 0; i < entries; ++i) {
    const uint32_t rgb = i < table.size() ? table[i] : 0;
    out.insert(out.end(), {uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb)});
  }
}

unsigned TableBits(const std::vector<uint32_t>& table) {
  unsigned bits = 0;
  while ((2u << bits) < table.size()) ++bits;
  return bits;
}

// Everything up to and including the minimum code size byte.
std::vector<uint8_t> GifHead(const GifFile& g) {
  std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
  PutLe16(out, 6, static_cast<unsigned>(g.screenWidth));
  PutLe16(out, 8, static_cast<unsigned>(g.screenHeight));
  out.push_back(static_cast<uint8_t>(g.global.empty() ? 0 : 0x80 | TableBits(g.global)));
  out.push_back(static_cast<uint8_t>(g.background));
  out.push_back(0);
  if (!g.global.empty()) PutTable(out, g.global);
  if (g.transparent >= 0) out.insert(out.end(), {0x21, 0xF9, 4, 1, 0, 0, uint8_t(g.transparent), 0});
  out.push_back(0x2C);
  for (int v : {g.left, g.top, g.width, g.height}) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  }
  unsigned flags = g.interlaced ? 0x40 : 0;
  if (!g.local.empty()) flags |= 0x80 | TableBits(g.local);
  out.push_back(static_cast<uint8_t>(flags));
  if (!g.local.empty()) PutTable(out, g.local);
  out.push_back(static_cast<uint8_t>(g.minCodeSize));
  return out;
}

// The head, the codes in sub-blocks of up to 255 bytes, the terminator and the trailer.
std::vector<uint8_t> Gif(const GifFile& g, const std::vector<uint8_t>& codes) {
  std::vector<uint8_t> out = GifHead(g);
  for (size_t at = 0; at < codes.size(); at += 255) {
    const size_t n = std::min<size_t>(255, codes.size() - at);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), codes.begin() + static_cast<ptrdiff_t>(at), codes.begin() + static_cast<ptrdiff_t>(at + n));
  }
  out.insert(out.end(), {0, 0x3B});
  return out;
}

// Offset of the first image's data (its minimum code size byte), found by
// walking the blocks; corrupting anything before it may legally move the
// image off the screen.
size_t ImageDataOffset(const std::vector<uint8_t>& gif) {
  size_t at = 13;
  if (gif[10] & 0x80) at += 3u * (2u << (gif[10] & 7));
  while (gif[at] == 0x21) {
    at += 2;
    while (gif[at] != 0) at += gif[at] + 1u;
    ++at;
  }
  const uint8_t flags = gif[at + 9];
  at += 10;
  if (flags & 0x80) at += 3u * (2u << (flags & 7));
  return at;
}

const std::vector<uint32_t> kFour = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

TEST(GifDecoder, MatchesPillowOnPalettesInterlaceTransparencyAndLocalTables) {
  ASSERT_GE(GifFiles().size(), 50u);
  for (const ReferenceFile& file : GifFiles()) ExpectMatchesReference(RenderGif, file);
}

TEST(GifDecoder, ImageSmallerThanItsScreenGetsTheBackgroundAround) {
  struct Case {
    const char* name;
    std::vector<uint32_t> global;
    std::vector<uint32_t> local;
    uint32_t fill;
  };
  const std::vector<uint32_t> other = {0x101010, 0x202020, 0x303030, 0x404040};
  const Case cases[] = {
      {"global table: its background entry", kFour, {}, 0xFF0000FF},
      {"local table too: the local entry", other, kFour, 0xFF0000FF},
      {"no global table: transparent black", {}, kFour, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GifFile g{.screenWidth = 4, .screenHeight = 3, .global = c.global, .background = 2, .left = 1, .top = 1,
              .width = 2, .height = 1, .local = c.local};
    const Rendered r = Render(RenderGif, Gif(g, LiteralCodes({0, 1}, 2)), 6, 3, 1, 0);
    EXPECT_EQ(r.result, 0);
    const uint32_t f = c.fill;
    const uint32_t u = kUntouched;
    EXPECT_EQ(r.frame.pixels, (std::vector<uint32_t>{u, f, f, f, f, u,                    //
                                                     u, f, 0xFFFF0000, 0xFF00FF00, f, u,  //
                                                     u, f, f, f, f, u}));
  }
}

TEST(GifDecoder, TransparentIndexLosesItsAlphaOnly) {
  GifFile g{.global = kFour, .transparent = 1, .width = 3, .height = 1};
  const Rendered r = Render(RenderGif, Gif(g, LiteralCodes({0, 1, 2}, 2)), 3, 1);
  EXPECT_EQ(r.frame.pixels, (std::vector<uint32_t>{0xFFFF0000, 0x0000FF00, 0xFF0000FF}));
  // The background entry is the table as built, transparency included.
  GifFile small{.screenWidth = 2, .global = kFour, .background = 1, .transparent = 1};
  const Rendered fill = Render(RenderGif, Gif(small, LiteralCodes({3}, 2)), 2, 1);
  EXPECT_EQ(fill.frame.pixels, (std::vector<uint32_t>{0xFFFFFFFF, 0x0000FF00}));
}

TEST(GifDecoder, InterlacedRowsArriveInFourPasses) {
  std::vector<uint32_t> grey;
  for (uint32_t i = 0; i < 16; ++i) grey.push_back(i * 0x111111);
  for (int height : {1, 2, 3, 5, 9, 10, 17}) {
    SCOPED_TRACE(height);
    GifFile g{.screenHeight = height, .global = grey, .height = height, .interlaced = true, .minCodeSize = 4};
    std::vector<uint8_t> order;
    for (int pass = 0; pass < 4; ++pass) {
      static const int kStart[] = {0, 4, 2, 1};
      static const int kStep[] = {8, 8, 4, 2};
      for (int row = kStart[pass]; row < height; row += kStep[pass]) order.push_back(static_cast<uint8_t>(row % 16));
    }
    const Rendered r = Render(RenderGif, Gif(g, LiteralCodes(order, 4)), 1, height);
    EXPECT_EQ(r.result, 0);
    for (int row = 0; row < height; ++row) EXPECT_EQ(r.frame.pixels[row], 0xFF000000u | grey[row % 16]) << row;
  }
}

TEST(GifDecoder, LzwStringsGrowAndWiden) {
  // clear, 0, then 6 and 7 while each is being defined (the previous string
  // plus its own first index): 1 + 2 + 3 pixels, after which codes are 4 bits.
  GifFile g{.global = kFour, .width = 8, .height = 1};
  const std::vector<uint8_t> codes = PackCodes({{4, 3}, {0, 3}, {6, 3}, {7, 3}, {3, 4}, {1, 4}, {5, 4}});
  const Rendered r = Render(RenderGif, Gif(g, codes), 8, 1);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.frame.pixels, (std::vector<uint32_t>{0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000,
                                                   0xFFFF0000, 0xFFFFFFFF, 0xFF00FF00}));
}

TEST(GifDecoder, CorruptOrShortImageDataEndsThePicture) {
  GifFile g{.global = kFour, .width = 4, .height = 1};
  const uint32_t u = kUntouched;
  struct Case {
    const char* name;
    std::vector<uint8_t> codes;
    std::vector<uint32_t> want;
  };
  const Case cases[] = {
      {"end code before the last row", LiteralCodes({2, 3}, 2), {0xFF0000FF, 0xFFFFFFFF, u, u}},
      {"code past the next free entry", PackCodes({{4, 3}, {1, 3}, {7, 3}, {2, 3}}), {0xFF00FF00, u, u, u}},
      {"string code right after a clear", PackCodes({{4, 3}, {6, 3}, {1, 3}}), {u, u, u, u}},
      {"data ends without an end code", LiteralCodes({3}, 2, false), {0xFFFFFFFF, u, u, u}},
      {"no data at all", {}, {u, u, u, u}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Rendered r = Render(RenderGif, Gif(g, c.codes), 4, 1);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.frame.pixels, c.want);
  }
  for (unsigned size : {0u, 9u, 12u, 255u}) {
    SCOPED_TRACE(size);
    GifFile odd = g;
    odd.minCodeSize = size;
    const Rendered r = Render(RenderGif, Gif(odd, LiteralCodes({1, 1, 1, 1}, 2)), 4, 1);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.frame.pixels, std::vector<uint32_t>(4, kUntouched));
  }
}

TEST(GifDecoder, OnlyTheFirstImageIsDrawn) {
  GifFile g{.global = kFour, .width = 2, .height = 1};
  std::vector<uint8_t> file = Gif(g, LiteralCodes({0, 1}, 2));
  file.pop_back();  // trailer: a second image follows
  const std::vector<uint8_t> second = Gif(g, LiteralCodes({3, 3}, 2));
  const size_t descriptor = 13 + 12;
  file.insert(file.end(), second.begin() + static_cast<ptrdiff_t>(descriptor), second.end());
  EXPECT_EQ(Render(RenderGif, file, 2, 1).frame.pixels, (std::vector<uint32_t>{0xFFFF0000, 0xFF00FF00}));
}

TEST(GifDecoder, RejectsFilesWithoutAnImageHeader) {
  GifFile g{.global = kFour, .width = 2, .height = 1};
  const std::vector<uint8_t> good = Gif(g, LiteralCodes({0, 1}, 2));
  ASSERT_EQ(Render(RenderGif, good, 2, 1).result, 0);
  const size_t descriptor = 13 + 12;
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
  };
  auto with = [&](size_t at, uint8_t value) {
    std::vector<uint8_t> bad = good;
    bad[at] = value;
    return bad;
  };
  auto cut = [&](size_t length) { return std::vector<uint8_t>(good.begin(), good.begin() + static_cast<ptrdiff_t>(length)); };
  std::vector<uint8_t> unterminated = cut(descriptor);
  unterminated.insert(unterminated.end(), {0x21, 0xFE, 5, 'h', 'e'});
  const Case cases[] = {
      {"aspect ratio set", with(12, 49)},
      {"not GIF", with(2, 'X')},
      {"trailer instead of an image", with(descriptor, 0x3B)},
      {"unknown block", with(descriptor, 0x00)},
      {"header cut", cut(12)},
      {"global table cut", cut(20)},
      {"descriptor cut", cut(descriptor + 5)},
      {"extension runs off the end", unterminated},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Rendered r = Render(RenderGif, c.file, 2, 1);
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(r.frame.pixels, std::vector<uint32_t>(2, kUntouched));
  }
}

TEST(GifDecoder, HugeImageWithLittleDataEndsQuickly) {
  GifFile g{.screenWidth = 65535, .screenHeight = 65535, .global = kFour, .background = 3, .width = 65535,
            .height = 65535, .interlaced = true};
  const Rendered r = Render(RenderGif, Gif(g, LiteralCodes({0, 1}, 2)), 3, 2);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.frame.pixels, (std::vector<uint32_t>{0xFFFF0000, 0xFF00FF00, kUntouched, kUntouched,
                                                   kUntouched, kUntouched}));
}

TEST(GifDecoder, CutShortOrCorruptFilesStayInBounds) {
  for (const ReferenceFile& file : GifFiles()) {
    const bool chosen = file.name == "p256_40x37_interlaced.gif" || file.name == "transparent_17x16.gif" ||
                        file.name == "local_decoy_5x3.gif" || file.name == "p2_100x100.gif";
    if (!chosen) continue;
    SCOPED_TRACE(file.name);
    ExpectPrefixesSafe(RenderGif, file.bytes, file.expected.width, file.expected.height);
    ExpectCorruptionContained(RenderGif, file.bytes, file.expected.width, file.expected.height,
                              ImageDataOffset(file.bytes));
  }
}

}  // namespace
