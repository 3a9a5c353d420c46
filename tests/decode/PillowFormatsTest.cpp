// The GIF, BMP, TGA and PCX decoders against Pillow, through the library's
// public entry (so recognition and the size query are checked too): one
// table of formats, picture kinds and Pillow save options over a spread of
// sizes.  What Pillow cannot write (4-bit and bit-field BMP, longer and
// shorter BMP headers, TGA and PCX runs across rows and planes) is checked
// by value in FormatValuesTest.
#include <gtest/gtest.h>

#include <map>

#include "FormatTestSupport.h"
#include "decode/ImageDecode.h"

using namespace formats_test;

namespace {

const char* const kScript = R"PY(
def p(n): return lambda w, h, s: pattern_p(w, h, n, s)
kinds = {'rgb': pattern_rgb, 'rgba': pattern_rgba, 'l': lambda w, h, s: pattern_rgb(w, h, s).convert('L'),
         '1': lambda w, h, s: pattern_rgb(w, h, s).convert('1'), 'p2': p(2), 'p16': p(16), 'p100': p(100),
         'p200': p(200), 'p256': p(256)}
table = [('bmp', ['rgb', 'rgba', 'p200', 'l', '1'], [{}]),
         ('tga', ['rgb', 'rgba', 'l', 'p100'], [dict(orientation=o, compression=c) for o in (-1, 1) for c in (None, 'tga_rle')]),
         ('pcx', ['p256', 'l', 'rgb'], [{}]),
         ('gif', ['p2', 'p16', 'p256', 'l'], [dict(interlace=False), dict(interlace=True)]),
         ('gif', ['p16'], [dict(transparency=3)])]
for i, (w, h) in enumerate([(1, 1), (3, 2), (17, 5), (31, 33), (130, 4)]):
    for t, (ext, names, variants) in enumerate(table):
        for kind in names:
            for k, options in enumerate(variants):
                # Pillow reads its own 24-bit PCX files wrongly when rows carry a padding byte (odd widths),
                # so the PCX reference is the picture; it writes one-pixel-wide ones without their blue plane.
                picture = kinds[kind](w, h, i)
                if ext != 'pcx' or kind != 'rgb' or w > 1:
                    save(f'{kind}_{w}x{h}_{t}{k}.{ext}', picture, reference=picture if ext == 'pcx' else None, **options)
noise = Image.new('P', (200, 150))
noise.putpalette([random.Random(5).randrange(256) for _ in range(768)])
noise.putdata([random.Random(6).randrange(256) for _ in range(200 * 150)])
save('noise_200x150.gif', noise, optimize=False)
frames = [pattern_p(30, 20, 64, k) for k in range(3)]
save('frames_30x20.gif', frames[0], save_all=True, append_images=frames[1:], duration=50)
)PY";

const std::vector<ReferenceFile>& Files() {
  static const std::vector<ReferenceFile> files = MakeReferenceFiles(kScript);
  return files;
}

TEST(PillowFormats, EveryFormatKindAndOptionMatchesPillow) {
  std::map<std::string, int> perFormat;
  for (const ReferenceFile& file : Files()) {
    int width = -1, height = -1;
    ImageGetSize(file.bytes.data(), file.bytes.size(), &width, &height);
    EXPECT_EQ(width, file.expected.width) << file.name;
    EXPECT_EQ(height, file.expected.height) << file.name;
    ExpectMatchesReference(ThroughImageRender, file);
    ++perFormat[file.name.substr(file.name.rfind('.'))];
  }
  EXPECT_EQ(perFormat, (std::map<std::string, int>{{".bmp", 25}, {".gif", 47}, {".pcx", 14}, {".tga", 80}}));
}

// Offset of the first image's data (its minimum code size byte): corrupting
// anything before it may legally move the image off its rectangle.
size_t GifImageDataOffset(const Bytes& gif) {
  size_t at = 13 + (gif[10] & 0x80 ? 3u * (2u << (gif[10] & 7)) : 0);
  while (gif[at] == 0x21) {
    for (at += 2; gif[at] != 0; at += gif[at] + 1u) {
    }
    ++at;
  }
  return at + 10 + (gif[at + 9] & 0x80 ? 3u * (2u << (gif[at + 9] & 7)) : 0);
}

TEST(PillowFormats, CutShortOrCorruptFilesStayInBounds) {
  const struct {
    const char* name;
    Renderer render;
    size_t keepHeader;
    bool exactPixels;  // false where a cut file takes its PCX palette from other bytes or half-writes a row
  } chosen[] = {
      {"p200_17x5_00.bmp", RenderBmp, 34, true},         {"1_31x33_00.bmp", RenderBmp, 34, true},
      {"rgb_31x33_00.bmp", RenderBmp, 34, true},         {"rgba_130x4_00.bmp", RenderBmp, 34, true},
      {"rgb_17x5_11.tga", RenderTga, 18, true},          {"p100_31x33_13.tga", RenderTga, 18, true},
      {"l_130x4_13.tga", RenderTga, 18, true},       {"p100_17x5_11.tga", RenderTga, 18, true},
      {"p256_31x33_20.pcx", RenderPcx, 128, false},      {"p256_130x4_20.pcx", RenderPcx, 128, false},
      {"rgb_17x5_20.pcx", RenderPcx, 128, false},           {"rgb_130x4_20.pcx", RenderPcx, 128, false},
      {"p256_31x33_31.gif", RenderGif, 0, true},         {"p16_17x5_40.gif", RenderGif, 0, true},
      {"frames_30x20.gif", RenderGif, 0, true},       {"p2_130x4_30.gif", RenderGif, 0, true},
  };
  for (const auto& c : chosen) {
    const auto file = std::find_if(Files().begin(), Files().end(), [&](const ReferenceFile& f) { return f.name == c.name; });
    ASSERT_NE(file, Files().end()) << c.name;
    ExpectDamageContained(c.render, *file, c.render == RenderGif ? GifImageDataOffset(file->bytes) : c.keepHeader,
                          c.exactPixels);
  }
}

}  // namespace
