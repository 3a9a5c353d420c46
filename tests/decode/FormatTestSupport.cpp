#include "FormatTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

#include "decode/ImageDecode.h"

namespace formats_test {
namespace {

const char* const kPrelude = R"PY(
import os, random
from PIL import Image

def save(name, im, reference=None, **options):
    im.save(os.path.join(OUT, name), **options)
    _emit(name, reference)

def raw(name, data, reference=None):
    open(os.path.join(OUT, name), 'wb').write(bytes(data))
    _emit(name, reference)

def _emit(name, reference):
    if not isinstance(reference, Image.Image):
        reference = Image.open(os.path.join(OUT, reference or name))
    open(os.path.join(OUT, name) + '.rgba', 'wb').write(reference.convert('RGBA').tobytes())
    print(name, reference.size[0], reference.size[1])

# Noise (no runs at all), flat blocks (long runs for the run-length coders)
# and diagonal ramps, in bands.
def pattern_p(w, h, colours, seed):
    rnd = random.Random(seed)
    im = Image.new('P', (w, h))
    im.putpalette([rnd.randrange(256) for _ in range(3 * colours)])
    band = lambda x, y: (x // 5 + y // 3) % 3
    im.putdata([rnd.randrange(colours) if band(x, y) == 0 else (x // 5 + y // 3) % colours if band(x, y) == 1
                else (x + y) % colours for y in range(h) for x in range(w)])
    return im

def pattern_rgb(w, h, seed): return pattern_p(w, h, 256, seed).convert('RGB')

def pattern_rgba(w, h, seed):
    im = pattern_rgb(w, h, seed)
    im.putalpha(pattern_p(w, h, 256, seed + 99).convert('L'))
    return im
)PY";

}  // namespace

Rendered Render(Renderer render, const Bytes& bytes, int width, int height, int x, int y, uint32_t fill) {
  // The frame lies inside a larger buffer with a wider stride.
  constexpr int kMargin = 3;
  const int stride = width + 2 * kMargin;
  Pixels buffer(static_cast<size_t>(stride) * (height + 2 * kMargin), kUntouched);
  uint32_t* origin = buffer.data() + kMargin * stride + kMargin;
  for (int row = 0; row < height; ++row) std::fill(origin + row * stride, origin + row * stride + width, fill);
  const Bytes exact(bytes);
  Rendered out{render(exact.data(), exact.size(), DecodeFrame{origin, stride * 4, width, height, x, y}), {width, height, {}}};
  size_t outside = 0;
  for (int row = -kMargin; row < height + kMargin; ++row)
    for (int col = -kMargin; col < width + kMargin; ++col) {
      if (row >= 0 && col >= 0 && row < height && col < width) out.frame.pixels.push_back(origin[row * stride + col]);
      else outside += origin[row * stride + col] != kUntouched;
    }
  EXPECT_EQ(outside, 0u) << "pixels written outside the frame";
  return out;
}

int ThroughImageRender(const uint8_t* data, size_t size, const DecodeFrame& f) { return ImageRender(data, size, f.pixels, f.stride, f.width, f.height, f.x, f.y); }

void ExpectRenders(Renderer render, const std::vector<ValueCase>& cases) {
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Rendered r = Render(render, c.file, c.width, c.height, c.x, c.y, c.fill);
    EXPECT_EQ(r.result, c.result);
    EXPECT_EQ(r.frame.pixels, c.want.empty() ? Pixels(r.frame.pixels.size(), c.fill) : c.want);
  }
}

std::vector<ReferenceFile> MakeReferenceFiles(const std::string& body) {
  oracle::TempDir dir;
  std::string listing;
  EXPECT_EQ(oracle::RunPython("OUT = r'''" + dir.path().string() + "'''\n" + kPrelude + body, &listing), 0) << "the script failed";
  std::vector<ReferenceFile> files;
  std::istringstream lines(listing);
  for (ReferenceFile file; lines >> file.name >> file.expected.width >> file.expected.height;) {
    file.bytes = oracle::ReadFile(dir.path() / file.name);
    const Bytes rgba = oracle::ReadFile(dir.path() / (file.name + ".rgba"));
    file.expected.pixels.assign(static_cast<size_t>(file.expected.width) * file.expected.height, 0);
    for (size_t i = 0; i < file.expected.pixels.size() && 4 * i + 3 < rgba.size(); ++i)
      file.expected.pixels[i] = uint32_t{rgba[4 * i + 3]} << 24 | rgba[4 * i] << 16 | rgba[4 * i + 1] << 8 | rgba[4 * i + 2];
    files.push_back(file);
  }
  EXPECT_FALSE(files.empty()) << "the script wrote no files";
  return files;
}

oracle::Image Place(const oracle::Image& image, int frameWidth, int frameHeight, int x, int y) {
  oracle::Image frame{frameWidth, frameHeight, Pixels(static_cast<size_t>(frameWidth) * frameHeight, kUntouched)};
  for (int row = std::max(0, -y); row < image.height && row + y < frameHeight; ++row)
    for (int col = std::max(0, -x); col < image.width && col + x < frameWidth; ++col)
      frame.pixels[static_cast<size_t>(row + y) * frameWidth + col + x] = image.pixels[static_cast<size_t>(row) * image.width + col];
  return frame;
}

void ExpectMatchesReference(Renderer render, const ReferenceFile& file) {
  const oracle::Image& want = file.expected;
  for (const auto& [width, height, x, y] : {std::array{want.width, want.height, 0, 0}, {want.width, want.height, -2, 3},
                                            {want.width + 5, want.height + 4, 3, -1}}) {
    const Rendered placed = Render(render, file.bytes, width, height, x, y);
    EXPECT_EQ(placed.result, 0) << file.name;
    EXPECT_EQ(placed.frame.pixels, Place(want, width, height, x, y).pixels) << file.name << " at (" << x << ", " << y << ")";
  }
}

void ExpectDamageContained(Renderer render, const ReferenceFile& file, size_t keepHeader, bool exactPixels) {
  SCOPED_TRACE(file.name);
  const Bytes& bytes = file.bytes;
  const int width = file.expected.width + 16, height = file.expected.height + 16;  // a margin of 8 round the image
  const Rendered full = Render(render, bytes, width, height, 8, 8);
  const oracle::Image inside = Place({file.expected.width, file.expected.height, Pixels(file.expected.pixels.size(), 0)}, width, height, 8, 8);
  ASSERT_TRUE(full.result == 0 && keepHeader < bytes.size());
  std::vector<size_t> cuts;  // every prefix up to 400 bytes, then a spread
  for (size_t n = 0; n < bytes.size(); n += n < 400 ? 1 : std::max<size_t>(1, (bytes.size() - 400) / 300)) cuts.push_back(n);
  std::mt19937 random(12345);
  for (size_t round = 0; round < cuts.size() + 200; ++round) {  // the cuts, then 200 rounds of corrupt bytes
    const bool cut = round < cuts.size();
    Bytes damaged = cut ? Cut(bytes, cuts[round]) : bytes;
    for (size_t i = 0; !cut && i <= round % 4; ++i)
      damaged[std::uniform_int_distribution<size_t>(keepHeader, bytes.size() - 1)(random)] = static_cast<uint8_t>(random());
    const Rendered r = Render(render, damaged, width, height, 8, 8);
    ASSERT_TRUE(r.result == 0 || r.result == -1) << "round " << round;
    for (size_t i = 0; i < r.frame.pixels.size(); ++i) {
      const uint32_t p = r.frame.pixels[i];
      // Only inside the image; a cut file draws nothing when refused, else (with exactPixels) the full render's pixels.
      ASSERT_TRUE(p == kUntouched || (inside.pixels[i] == 0 && (!cut || (r.result == 0 && (!exactPixels || p == full.frame.pixels[i])))))
          << (cut ? "cut at " : "corruption round ") << (cut ? cuts[round] : round) << ", pixel " << i;
    }
  }
}

void Put(Bytes& out, const Field& field) {
  out.resize(std::max(out.size(), field.at + field.bytes));
  for (int i = 0; i < field.bytes; ++i) out[field.at + i] = static_cast<uint8_t>(field.value >> (8 * i));
}
Bytes Fields(size_t size, std::initializer_list<Field> fields) { return Edit(Bytes(size, 0), fields); }
Bytes Edit(Bytes file, std::initializer_list<Field> fields) {
  for (const Field& f : fields) Put(file, f);
  return file;
}
Bytes Cut(Bytes file, size_t size) { return Bytes(file.begin(), file.begin() + static_cast<ptrdiff_t>(size)); }

}  // namespace formats_test
