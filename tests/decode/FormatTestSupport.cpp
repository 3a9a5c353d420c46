#include "FormatTestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace formats_test {
namespace {

// Helpers every reference script can use.  Patterns mix flat blocks (long
// runs for the run-length coders), gradients and noise (no runs at all).
const char* const kPrelude = R"PY(
import os, random, struct
from PIL import Image

def le16(v): return struct.pack('<H', v & 0xFFFF)
def le32(v): return struct.pack('<I', v & 0xFFFFFFFF)

# The reference pixels: what Pillow reads back from the file, or from an
# earlier file of the same picture, or (where Pillow's reader is known to be
# wrong) the picture the script encoded.
def _emit(name, reference=None):
    path = os.path.join(OUT, name)
    if isinstance(reference, Image.Image):
        rgba = reference.convert('RGBA')
    else:
        with Image.open(os.path.join(OUT, reference or name)) as im:
            im.load()
            rgba = im.convert('RGBA')
    with open(path + '.rgba', 'wb') as f:
        f.write(rgba.tobytes())
    print(name, rgba.size[0], rgba.size[1])

def save(name, im, reference=None, **options):
    im.save(os.path.join(OUT, name), **options)
    _emit(name, reference)

def raw(name, data, reference=None):
    with open(os.path.join(OUT, name), 'wb') as f:
        f.write(bytes(data))
    _emit(name, reference)

def _region(x, y):
    return (x // 5 + y // 3) % 3

def pattern_rgba(w, h, seed):
    rnd = random.Random(seed)
    flat = [tuple(rnd.randrange(256) for _ in range(4)) for _ in range(8)]
    px = []
    for y in range(h):
        for x in range(w):
            r = _region(x, y)
            if r == 0:
                px.append(tuple(rnd.randrange(256) for _ in range(4)))
            elif r == 1:
                px.append(flat[(x // 5 + y // 3) % 8])
            else:
                px.append(((x * 7 + y) & 255, (y * 5) & 255, (x * y) & 255, (x * 3 + y * 11) & 255))
    im = Image.new('RGBA', (w, h))
    im.putdata(px)
    return im

def pattern_rgb(w, h, seed):
    return pattern_rgba(w, h, seed).convert('RGB')

def pattern_p(w, h, colours, seed):
    rnd = random.Random(seed)
    pal = [rnd.randrange(256) for _ in range(3 * colours)]
    px = []
    for y in range(h):
        for x in range(w):
            r = _region(x, y)
            if r == 0:
                px.append(rnd.randrange(colours))
            elif r == 1:
                px.append((x // 5 + y // 3) % colours)
            else:
                px.append((x + y) % colours)
    im = Image.new('P', (w, h))
    im.putpalette(pal)
    im.putdata(px)
    return im
)PY";

std::string PythonString(const std::string& text) {
  return "r'''" + text + "'''";
}

oracle::Image FromRgba(const std::vector<uint8_t>& rgba, int width, int height) {
  oracle::Image image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < image.pixels.size() && 4 * i + 3 < rgba.size(); ++i) {
    const uint8_t* p = &rgba[4 * i];
    image.pixels[i] = (uint32_t{p[3]} << 24) | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
  }
  return image;
}

std::vector<size_t> PrefixLengths(size_t size) {
  std::vector<size_t> lengths;
  for (size_t n = 0; n < size && n < 400; ++n) lengths.push_back(n);
  const size_t step = size > 400 ? std::max<size_t>(1, (size - 400) / 300) : 1;
  for (size_t n = 400; n < size; n += step) lengths.push_back(n);
  return lengths;
}

// Where two frames first differ, for the failure message.
std::string FirstDifference(const oracle::Image& got, const oracle::Image& want) {
  if (got.width != want.width || got.height != want.height) return "sizes differ";
  for (size_t i = 0; i < got.pixels.size(); ++i) {
    if (got.pixels[i] == want.pixels[i]) continue;
    std::ostringstream text;
    text << "first at (" << i % got.width << ", " << i / got.width << "): got " << std::hex
         << got.pixels[i] << ", want " << want.pixels[i];
    return text.str();
  }
  return "none";
}

}  // namespace

Rendered Render(Renderer render, const std::vector<uint8_t>& bytes, int frameWidth, int frameHeight,
                int x, int y, uint32_t fill) {
  const std::vector<uint8_t> exact(bytes.begin(), bytes.end());
  Rendered out;
  out.frame.width = frameWidth;
  out.frame.height = frameHeight;
  out.frame.pixels.assign(static_cast<size_t>(frameWidth) * frameHeight, fill);
  const DecodeFrame frame{out.frame.pixels.data(), frameWidth * 4, frameWidth, frameHeight, x, y};
  out.result = render(exact.data(), exact.size(), frame);
  return out;
}

std::vector<ReferenceFile> MakeReferenceFiles(const std::string& body) {
  oracle::TempDir dir;
  const std::string script =
      "OUT = " + PythonString(dir.path().string()) + "\n" + kPrelude + "\n" + body + "\n";
  std::string listing;
  const int status = oracle::RunPython(script, &listing);
  EXPECT_EQ(status, 0) << "the Pillow script failed";
  std::vector<ReferenceFile> files;
  std::istringstream lines(listing);
  ReferenceFile file;
  int width = 0;
  int height = 0;
  while (lines >> file.name >> width >> height) {
    file.bytes = oracle::ReadFile(dir.path() / file.name);
    file.expected = FromRgba(oracle::ReadFile(dir.path() / (file.name + ".rgba")), width, height);
    files.push_back(file);
  }
  EXPECT_FALSE(files.empty()) << "the Pillow script wrote no files";
  return files;
}

oracle::Image Place(const oracle::Image& image, int frameWidth, int frameHeight, int x, int y) {
  oracle::Image frame;
  frame.width = frameWidth;
  frame.height = frameHeight;
  frame.pixels.assign(static_cast<size_t>(frameWidth) * frameHeight, kUntouched);
  for (int row = 0; row < image.height; ++row) {
    for (int col = 0; col < image.width; ++col) {
      const int fx = x + col;
      const int fy = y + row;
      if (fx < 0 || fy < 0 || fx >= frameWidth || fy >= frameHeight) continue;
      frame.pixels[static_cast<size_t>(fy) * frameWidth + fx] =
          image.pixels[static_cast<size_t>(row) * image.width + col];
    }
  }
  return frame;
}

void ExpectMatchesReference(Renderer render, const ReferenceFile& file) {
  SCOPED_TRACE(file.name);
  const oracle::Image& want = file.expected;
  const Rendered exact = Render(render, file.bytes, want.width, want.height);
  EXPECT_EQ(exact.result, 0);
  EXPECT_TRUE(exact.frame == want) << "pixels differ from Pillow's, " << FirstDifference(exact.frame, want);

  struct Placement {
    int frameWidth, frameHeight, x, y;
  };
  const Placement placements[] = {
      {want.width, want.height, -2, 3},
      {want.width + 5, want.height + 4, 3, -1},
  };
  for (const Placement& p : placements) {
    const Rendered placed = Render(render, file.bytes, p.frameWidth, p.frameHeight, p.x, p.y);
    EXPECT_EQ(placed.result, 0);
    const oracle::Image placedWant = Place(want, p.frameWidth, p.frameHeight, p.x, p.y);
    EXPECT_TRUE(placed.frame == placedWant) << "placement at (" << p.x << ", " << p.y << ") differs, "
                                            << FirstDifference(placed.frame, placedWant);
  }
}

void ExpectPrefixesSafe(Renderer render, const std::vector<uint8_t>& bytes, int width, int height,
                        bool exactPixels) {
  const Rendered full = Render(render, bytes, width, height);
  ASSERT_EQ(full.result, 0);
  for (size_t length : PrefixLengths(bytes.size())) {
    const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(length));
    const Rendered cut = Render(render, prefix, width, height);
    ASSERT_TRUE(cut.result == 0 || cut.result == -1) << "length " << length;
    for (size_t i = 0; i < cut.frame.pixels.size(); ++i) {
      const uint32_t pixel = cut.frame.pixels[i];
      if (pixel == kUntouched) continue;
      ASSERT_NE(cut.result, -1) << "a rejected file drew pixels, length " << length;
      if (exactPixels) {
        ASSERT_EQ(pixel, full.frame.pixels[i]) << "pixel " << i << " of a cut at " << length;
      }
    }
  }
}

void ExpectCorruptionContained(Renderer render, const std::vector<uint8_t>& bytes, int width,
                               int height, size_t keepHeader) {
  ASSERT_LT(keepHeader, bytes.size());
  constexpr int kMargin = 8;
  std::mt19937 random(12345);
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> corrupt = bytes;
    const int flips = 1 + round % 4;
    for (int i = 0; i < flips; ++i) {
      std::uniform_int_distribution<size_t> at(keepHeader, bytes.size() - 1);
      corrupt[at(random)] = static_cast<uint8_t>(random());
    }
    const Rendered r = Render(render, corrupt, width + 2 * kMargin, height + 2 * kMargin, kMargin, kMargin);
    ASSERT_TRUE(r.result == 0 || r.result == -1) << "round " << round;
    for (int y = 0; y < r.frame.height; ++y) {
      for (int x = 0; x < r.frame.width; ++x) {
        const bool inside = x >= kMargin && y >= kMargin && x < kMargin + width && y < kMargin + height;
        if (!inside) {
          ASSERT_EQ(r.frame.pixels[static_cast<size_t>(y) * r.frame.width + x], kUntouched)
              << "round " << round << " wrote outside the image at (" << x << ", " << y << ")";
        }
      }
    }
  }
}

void PutLe16(std::vector<uint8_t>& out, size_t at, unsigned value) {
  if (out.size() < at + 2) out.resize(at + 2);
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void PutLe32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  PutLe16(out, at, value & 0xFFFF);
  PutLe16(out, at + 2, value >> 16);
}

}  // namespace formats_test
