// The GIF, BMP, TGA and PCX decoders against Pillow, through the library's public entry (so recognition
// and the size query are checked too): one table of formats, picture kinds and Pillow save options over a
// spread of sizes.  What Pillow cannot write is checked by value in FormatValuesTest.
#include <gtest/gtest.h>

#include <algorithm>
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
save('noise_200x150.gif', pattern_p(200, 150, 256, 5), optimize=False)  # fills the LZW table many times
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
    EXPECT_EQ(std::pair(width, height), std::pair(file.expected.width, file.expected.height)) << file.name;
    ExpectMatchesReference(ThroughImageRender, file);
    ++perFormat[file.name.substr(file.name.rfind('.'))];
  }
  EXPECT_EQ(perFormat, (std::map<std::string, int>{{".bmp", 25}, {".gif", 47}, {".pcx", 14}, {".tga", 80}}));
}

TEST(PillowFormats, CutShortOrCorruptFilesStayInBounds) {
  for (const char* name : {"p200_17x5_00.bmp", "1_31x33_00.bmp", "rgb_31x33_00.bmp", "rgba_130x4_00.bmp", "rgb_17x5_11.tga",
                           "p100_31x33_13.tga", "l_130x4_13.tga", "p100_17x5_11.tga", "p256_31x33_20.pcx", "p256_130x4_20.pcx",
                           "rgb_17x5_20.pcx", "rgb_130x4_20.pcx", "p256_31x33_31.gif", "p16_17x5_40.gif", "frames_30x20.gif",
                           "p2_130x4_30.gif"}) {
    const auto file = std::find_if(Files().begin(), Files().end(), [&](const ReferenceFile& f) { return f.name == name; });
    ASSERT_NE(file, Files().end()) << name;
    const Bytes& b = file->bytes;
    switch (file->name.back()) {
      case 'p': ExpectDamageContained(RenderBmp, *file, 34); break;
      case 'a': ExpectDamageContained(RenderTga, *file, 18); break;
      // A cut PCX takes its palette from other bytes, and a cut 24-bit row is half-written: only where pixels land counts.
      case 'x': ExpectDamageContained(RenderPcx, *file, 128, false); break;
      // Corrupting a GIF before its image data (after the first descriptor, at (0, 0) in Pillow's files) may move the image.
      default: {
        const uint8_t descriptor[] = {0x2C, 0, 0, 0, 0};
        const auto at = std::search(b.begin() + 13 + 3 * (2 << (b[10] & 7)), b.end(), descriptor, descriptor + 5);
        ExpectDamageContained(RenderGif, *file, static_cast<size_t>(at - b.begin()) + 10);
      }
    }
  }
}

}  // namespace
