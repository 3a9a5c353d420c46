// The GIF, BMP, TGA and PCX decoders against Pillow, through the library's
// public entry (so recognition and the size query are checked too): one
// table of formats, picture kinds and Pillow save options over a spread of
// sizes, plus files built by the script for what Pillow cannot write but
// reads back (4-bit and bit-field BMP, longer and shorter BMP headers, TGA
// runs across rows, right-to-left rows, an image ID and maps starting past
// entry 0, PCX runs across planes and rows, padded rows and a moved corner,
// GIF local colour tables).
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
         ('tga', ['rgb', 'rgba', 'l', 'p100'],
          [dict(orientation=o, compression=c) for o in (-1, 1) for c in (None, 'tga_rle')]),
         ('pcx', ['p256', 'l'], [{}]),
         ('gif', ['p2', 'p16', 'p256', 'l'], [dict(interlace=False), dict(interlace=True)]),
         ('gif', ['p16'], [dict(transparency=3)])]

# Moves the global colour table of a Pillow GIF to a local table of its
# image; with `decoy`, a global table of other colours stays behind.
def localise(data, decoy):
    flags, i = data[10], 0
    size = 3 * (2 << (flags & 7))
    table, rest = data[13:13 + size], data[13 + size:]
    while rest[i] == 0x21:
        i += 2
        while rest[i]:
            i += rest[i] + 1
        i += 1
    descriptor = bytearray(rest[i:i + 10])
    descriptor[9] = (descriptor[9] & 0x40) | 0x80 | (flags & 7)
    header = bytearray(data[:13])
    if not decoy:
        header[10] = flags & 0x70
    glob = bytes(255 - b for b in table) if decoy else b''
    return bytes(header) + glob + rest[:i] + bytes(descriptor) + table + rest[i + 10:]

for i, (w, h) in enumerate([(1, 1), (3, 2), (17, 5), (31, 33), (130, 4)]):
    for t, (ext, names, variants) in enumerate(table):
        for kind in names:
            for k, options in enumerate(variants):
                save(f'{kind}_{w}x{h}_{t}{k}.{ext}', kinds[kind](w, h, i), **options)
    # Pillow reads its own 24-bit PCX files wrongly when rows carry a
    # padding byte (odd widths), and writes one-pixel-wide ones without
    # their blue plane.
    if w > 1:
        save(f'rgb_{w}x{h}.pcx', pattern_rgb(w, h, i), reference=pattern_rgb(w, h, i) if w % 2 else None)
    with open(os.path.join(OUT, f'p16_{w}x{h}_31.gif'), 'rb') as f:
        data = f.read()
    raw(f'local_{w}x{h}.gif', localise(data, False))
    raw(f'local_decoy_{w}x{h}.gif', localise(data, True))

noise = Image.new('P', (200, 150))
noise.putpalette([random.Random(5).randrange(256) for _ in range(768)])
noise.putdata([random.Random(6).randrange(256) for _ in range(200 * 150)])
save('noise_200x150.gif', noise, optimize=False)
frames = [pattern_p(30, 20, 64, k) for k in range(3)]
save('frames_30x20.gif', frames[0], save_all=True, append_images=frames[1:], duration=50)

rnd = random.Random(7)
def palette(n): return [tuple(rnd.randrange(256) for _ in range(3)) for _ in range(n)]
def pack(values, bits):
    acc = int(''.join(format(v, f'0{bits}b') for v in values) or '0', 2)
    n = (len(values) * bits + 7) // 8
    return (acc << (8 * n - len(values) * bits)).to_bytes(n, 'big')
def index_rows(w, h, n): return [[(x * 3 + y * 5 + rnd.randrange(2)) % n for x in range(w)] for y in range(h)]
def bgr_rows(im):
    px = im.tobytes()
    return [b''.join(px[(y * im.width + x) * 3:(y * im.width + x) * 3 + 3][::-1] for x in range(im.width))
            for y in range(im.height)]

def bmp(w, h, bits, rows, palette=(), header=40, compression=0, masks=None, topdown=False):
    stride = (w * bits + 31) // 32 * 4
    body = b''.join(r + bytes(stride - len(r)) for r in (rows if topdown else rows[::-1]))
    entry = 3 if header == 12 else 4
    pal = b''.join(bytes((b, g, r)) + bytes(entry - 3) for (r, g, b) in palette)
    extra = b''.join(le32(m) for m in masks) if masks and header == 40 else b''
    if header == 12:
        info = le32(12) + le16(w) + le16(h) + le16(1) + le16(bits)
    else:
        info = (le32(header) + le32(w) + le32(-h if topdown else h) + le16(1) + le16(bits) + le32(compression) +
                le32(len(body)) + le32(2835) + le32(2835) + le32(len(palette)) + le32(0))
        if header > 40:
            inner = b''.join(le32(m) for m in (masks or (0, 0, 0))) + le32(0)
            info += inner + bytes(header - 40 - len(inner))
    offset = 14 + len(info) + len(extra) + len(pal)
    return b'BM' + le32(offset + len(body)) + le32(0) + le32(offset) + info + extra + pal + body

for w, h in [(5, 3), (17, 4), (1, 9)]:
    rgb = bgr_rows(pattern_rgb(w, h, w * h))
    for topdown in (False, True):
        tag = f'{w}x{h}{"td" if topdown else ""}'
        for bits in (1, 4, 8):
            n = 1 << bits if bits < 8 else 40
            rows = [pack(r, bits) for r in index_rows(w, h, n)]
            raw(f'pal{bits}_{tag}.bmp', bmp(w, h, bits, rows, palette(n), topdown=topdown))
        raw(f'bgr24_{tag}.bmp', bmp(w, h, 24, rgb, topdown=topdown))
        bgrx = [b''.join(r[i:i + 3] + b'\0' for i in range(0, len(r), 3)) for r in rgb]
        xbgr = [b''.join(b'\0' + r[i:i + 3] for i in range(0, len(r), 3)) for r in rgb]
        for header, rows, masks in ((40, bgrx, (0xFF0000, 0xFF00, 0xFF)), (108, bgrx, (0xFF0000, 0xFF00, 0xFF)),
                                    (124, xbgr, (0xFF000000, 0xFF0000, 0xFF00))):
            raw(f'fields{header}_{tag}.bmp', bmp(w, h, 32, rows, header=header, compression=3, masks=masks,
                                                  topdown=topdown))
    raw(f'core24_{w}x{h}.bmp', bmp(w, h, 24, rgb, header=12))
    raw(f'core8_{w}x{h}.bmp', bmp(w, h, 8, [pack(r, 8) for r in index_rows(w, h, 50)], palette(50), header=12))

def tga(w, h, imagetype, bits, data, desc=0, ident=b'', cmap=None):
    first, count, entry_bits, entries = cmap or (0, 0, 0, b'')
    return (bytes((len(ident), 1 if cmap else 0, imagetype)) + le16(first) + le16(count) + bytes((entry_bits,)) +
            le16(0) + le16(0) + le16(w) + le16(h) + bytes((bits, desc)) + ident + entries + data)

# Run-length coding over the whole pixel stream, so packets cross row ends.
def tga_rle(pixels):
    out, i = bytearray(), 0
    while i < len(pixels):
        run = 1
        while i + run < len(pixels) and run < 128 and pixels[i + run] == pixels[i]:
            run += 1
        if run == 1:
            while i + run < len(pixels) and run < 128 and pixels[i + run] != pixels[i + run - 1]:
                run += 1
            out += bytes((run - 1,)) + b''.join(pixels[i:i + run])
        else:
            out += bytes((127 + run,)) + pixels[i]
        i += run
    return bytes(out)

def stored(im, bottom_up, chans):
    flat = b''.join(im.crop((0, y, im.width, y + 1)).tobytes() for y in (reversed(range(im.height)) if bottom_up else range(im.height)))
    return [flat[k:k + chans][::-1] for k in range(0, len(flat), chans)]

for w, h in [(7, 3), (130, 3), (1, 5)]:
    im = pattern_rgb(w, h, w)
    for desc in (0x00, 0x10, 0x20, 0x30):
        px = stored(im.transpose(Image.Transpose.FLIP_LEFT_RIGHT) if desc & 0x10 else im, not desc & 0x20, 3)
        name = f'bgr_raw_{w}x{h}_{desc:02x}.tga'
        raw(name, tga(w, h, 2, 24, b''.join(px), desc, ident=b'hello'))
        # Pillow cannot read some packets that cross rows: compare with the raw file.
        raw(f'bgr_rle_{w}x{h}_{desc:02x}.tga', tga(w, h, 10, 24, tga_rle(px), desc), name)
    grey = stored(im.convert('L'), True, 1)
    raw(f'grey_{w}x{h}.tga', tga(w, h, 3, 8, b''.join(grey)))
    raw(f'grey_rle_{w}x{h}.tga', tga(w, h, 11, 8, tga_rle(grey)), f'grey_{w}x{h}.tga')
    cmap = (10, 50, 24, bytes(rnd.randrange(256) for _ in range(50 * 3)))
    idx = [bytes((10 + (x * 7 + y * 3 + rnd.randrange(3)) % 50,)) for y in range(h) for x in range(w)]
    raw(f'map24_{w}x{h}.tga', tga(w, h, 1, 8, b''.join(idx), 0x20, cmap=cmap))
    raw(f'map24_rle_{w}x{h}.tga', tga(w, h, 9, 8, tga_rle(idx), 0x20, cmap=cmap), f'map24_{w}x{h}.tga')

def pcx(w, h, planes, line, data, palette=b'', x0=0, y0=0):
    header = (bytes((10, 5, 1, 8)) + le16(x0) + le16(y0) + le16(x0 + w - 1) + le16(y0 + h - 1) + le16(72) +
              le16(72) + bytes(48) + bytes((0, planes)) + le16(line) + le16(1))
    return header + bytes(128 - len(header)) + data + palette

# Runs over the whole byte stream (rows and planes joined), so they cross
# row and plane ends.  Pillow cannot read such files (nor rows padded by
# more than a byte), so the reference is the picture encoded.
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
    rows = [[rnd.choice((7, 7, 7, 200, 201)) for _ in range(w)] for _ in range(h)]
    pal = bytes(rnd.randrange(256) for _ in range(768))
    picture = Image.new('P', (w, h))
    picture.putpalette(pal)
    picture.putdata(sum(rows, []))
    stream = bytes(sum((r + [0] * pad for r in rows), []))
    raw(f'runs_p_{w}x{h}.pcx', pcx(w, h, 1, w + pad, pcx_rle(stream), b'\x0c' + pal, 3, 2), picture)
    picture = pattern_rgb(w, h, w)
    im = picture.tobytes()
    planes = b''.join(bytes(im[(y * w + x) * 3 + c] for x in range(w)) + bytes(pad) for y in range(h) for c in range(3))
    raw(f'runs_rgb_{w}x{h}.pcx', pcx(w, h, 3, w + pad, pcx_rle(planes)), picture)
)PY";

int ThroughImageRender(const uint8_t* data, size_t size, const DecodeFrame& f) {
  return ImageRender(data, size, f.pixels, f.stride, f.width, f.height, f.x, f.y);
}

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
  EXPECT_EQ(perFormat, (std::map<std::string, int>{{".bmp", 73}, {".gif", 57}, {".pcx", 24}, {".tga", 116}}));
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
      {"p200_17x5_00.bmp", RenderBmp, 34, true},         {"pal4_17x4td.bmp", RenderBmp, 34, true},
      {"rgb_31x33_00.bmp", RenderBmp, 34, true},         {"core8_5x3.bmp", RenderBmp, 34, true},
      {"rgb_17x5_11.tga", RenderTga, 18, true},          {"p100_31x33_13.tga", RenderTga, 18, true},
      {"grey_rle_130x3.tga", RenderTga, 18, true},       {"map24_rle_7x3.tga", RenderTga, 18, true},
      {"p256_31x33_20.pcx", RenderPcx, 128, false},      {"runs_p_8x4.pcx", RenderPcx, 128, false},
      {"rgb_17x5.pcx", RenderPcx, 128, false},           {"runs_rgb_64x2.pcx", RenderPcx, 128, false},
      {"p256_31x33_31.gif", RenderGif, 0, true},         {"p16_17x5_40.gif", RenderGif, 0, true},
      {"local_decoy_3x2.gif", RenderGif, 0, true},       {"p2_130x4_30.gif", RenderGif, 0, true},
  };
  for (const auto& c : chosen) {
    const auto file = std::find_if(Files().begin(), Files().end(), [&](const ReferenceFile& f) { return f.name == c.name; });
    ASSERT_NE(file, Files().end()) << c.name;
    ExpectDamageContained(c.render, *file, c.render == RenderGif ? GifImageDataOffset(file->bytes) : c.keepHeader,
                          c.exactPixels);
  }
}

}  // namespace
