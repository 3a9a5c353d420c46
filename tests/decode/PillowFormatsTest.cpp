// The GIF, BMP, TGA and PCX decoders against Pillow, through the library's
// public entry (so recognition and the size query are checked too): one
// table of formats, picture kinds and Pillow save options over a spread of
// sizes, plus files built by the script for what Pillow cannot write (4-bit
// and bit-field BMP, longer and shorter BMP headers, PCX runs across planes
// and rows, padded rows and a moved corner).
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
         ('pcx', ['p256', 'l'], [{}]),
         ('gif', ['p2', 'p16', 'p256', 'l'], [dict(interlace=False), dict(interlace=True)]),
         ('gif', ['p16'], [dict(transparency=3)])]
for i, (w, h) in enumerate([(1, 1), (3, 2), (17, 5), (31, 33), (130, 4)]):
    for t, (ext, names, variants) in enumerate(table):
        for kind in names:
            for k, options in enumerate(variants):
                save(f'{kind}_{w}x{h}_{t}{k}.{ext}', kinds[kind](w, h, i), **options)
noise = Image.new('P', (200, 150))
noise.putpalette([random.Random(5).randrange(256) for _ in range(768)])
noise.putdata([random.Random(6).randrange(256) for _ in range(200 * 150)])
save('noise_200x150.gif', noise, optimize=False)
frames = [pattern_p(30, 20, 64, k) for k in range(3)]
save('frames_30x20.gif', frames[0], save_all=True, append_images=frames[1:], duration=50)

rnd = random.Random(7)
def palette(n): return [tuple(rnd.randrange(256) for _ in range(3)) for _ in range(n)]
def pack(values, bits):
    n = (len(values) * bits + 7) // 8
    return (int(''.join(format(v, f'0{bits}b') for v in values), 2) << (8 * n - len(values) * bits)).to_bytes(n, 'big')
def index_rows(w, h, n): return [[(x * 3 + y * 5 + rnd.randrange(2)) % n for x in range(w)] for y in range(h)]
def bgr(im, pad=b'', front=b''):
    px = im.tobytes()
    return [b''.join(front + px[k:k + 3][::-1] + pad for k in range(y * im.width * 3, (y + 1) * im.width * 3, 3))
            for y in range(im.height)]


def bmp(w, h, bits, rows, palette=(), header=40, compression=0, masks=None, topdown=False):
    stride = (w * bits + 31) // 32 * 4
    body = b''.join(r + bytes(stride - len(r)) for r in (rows if topdown else rows[::-1]))
    pal = b''.join(bytes((b, g, r)) + bytes(header != 12) for (r, g, b) in palette)
    extra = b''.join(le32(m) for m in masks) if masks and header == 40 else b''
    if header == 12:
        info = le32(12) + le16(w) + le16(h) + le16(1) + le16(bits)
    else:
        info = (le32(header) + le32(w) + le32(-h if topdown else h) + le16(1) + le16(bits) + le32(compression) +
                le32(len(body)) + le32(2835) * 2 + le32(len(palette)) + le32(0))
        inner = b''.join(le32(m) for m in (masks or (0, 0, 0))) + le32(0)
        info += (inner + bytes(header))[:header - 40]
    offset = 14 + len(info) + len(extra) + len(pal)
    return b'BM' + le32(offset + len(body)) + le32(0) + le32(offset) + info + extra + pal + body

# Palettes of 1, 4 and 8 bits, bit fields after a 40-byte header and inside
# 108- and 124-byte ones, 3-byte palette entries after a 12-byte header.
for w, h, topdown in [(5, 3, False), (17, 4, True), (1, 9, False)]:
    im = pattern_rgb(w, h, w * h)
    for bits in (1, 4, 8):
        n = 1 << bits if bits < 8 else 40
        raw(f'pal{bits}_{w}x{h}.bmp', bmp(w, h, bits, [pack(r, bits) for r in index_rows(w, h, n)], palette(n), topdown=topdown))
    for header, rows, masks in ((40, bgr(im, b'\0'), (0xFF0000, 0xFF00, 0xFF)), (108, bgr(im, b'\0'), (0xFF0000, 0xFF00, 0xFF)),
                                (124, bgr(im, front=b'\0'), (0xFF000000, 0xFF0000, 0xFF00))):
        raw(f'fields{header}_{w}x{h}.bmp', bmp(w, h, 32, rows, header=header, compression=3, masks=masks, topdown=topdown))
    raw(f'core8_{w}x{h}.bmp', bmp(w, h, 8, [pack(r, 8) for r in index_rows(w, h, 50)], palette(50), header=12))

# Runs over the whole byte stream (rows and planes joined), so they cross
# row and plane ends; rows padded; the corner not at (0, 0).  Pillow cannot
# read such files, so the reference is the picture encoded.
def pcx_rle(stream):
    out, i = bytearray(), 0
    while i < len(stream):
        run = 1
        while i + run < len(stream) and run < 63 and stream[i + run] == stream[i]:
            run += 1
        out += bytes((192 + run, stream[i])) if run > 1 or stream[i] >= 192 else bytes((stream[i],))
        i += run
    return bytes(out)

for w, h, pad in [(5, 3, 0), (8, 4, 3), (1, 6, 1), (64, 2, 0), (63, 2, 1)]:
    x0, y0 = 3 * (w % 2), 2
    header = (bytes((10, 5, 1, 8)) + le16(x0) + le16(y0) + le16(x0 + w - 1) + le16(y0 + h - 1)).ljust(65, b'\0')
    p = pattern_p(w, h, 256, w)
    p.putdata([rnd.choice((7, 7, 7, 200, 201)) for _ in range(w * h)])
    stream = b''.join(p.tobytes()[y * w:(y + 1) * w] + bytes(pad) for y in range(h))
    raw(f'runs_p_{w}x{h}.pcx', (header + bytes((1,)) + le16(w + pad)).ljust(128, b'\0') + pcx_rle(stream) + b'\x0c' + bytes(p.getpalette()), p)
    rgb = pattern_rgb(w, h, w)
    planes = b''.join(rgb.getchannel(c).tobytes()[y * w:(y + 1) * w] + bytes(pad) for y in range(h) for c in range(3))
    raw(f'runs_rgb_{w}x{h}.pcx', (header + bytes((3,)) + le16(w + pad)).ljust(128, b'\0') + pcx_rle(planes), rgb)
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
  EXPECT_EQ(perFormat, (std::map<std::string, int>{{".bmp", 46}, {".gif", 47}, {".pcx", 20}, {".tga", 80}}));
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
      {"p200_17x5_00.bmp", RenderBmp, 34, true},         {"pal4_17x4.bmp", RenderBmp, 34, true},
      {"rgb_31x33_00.bmp", RenderBmp, 34, true},         {"core8_5x3.bmp", RenderBmp, 34, true},
      {"rgb_17x5_11.tga", RenderTga, 18, true},          {"p100_31x33_13.tga", RenderTga, 18, true},
      {"l_130x4_13.tga", RenderTga, 18, true},       {"p100_17x5_11.tga", RenderTga, 18, true},
      {"p256_31x33_20.pcx", RenderPcx, 128, false},      {"runs_p_8x4.pcx", RenderPcx, 128, false},
      {"l_17x5_20.pcx", RenderPcx, 128, false},           {"runs_rgb_64x2.pcx", RenderPcx, 128, false},
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
