// Animations through the velkor command: an APNG keeps every frame (read
// back by Pillow), whatever the keep list; an animated GIF is refused unless
// its first frame is asked for.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli/CliSupport.h"

namespace fs = std::filesystem;
using namespace clitest;

namespace {

// Compares each APNG in dir with ref/NAME: the frames Pillow decodes
// (Pillow cannot read interlaced APNG frames, so those are left to the
// second check), and every fdAT stream inflated by zlib, which must be the
// source's filtered bytes exactly.  Prints "NAME same" or "NAME DIFFERENT".
std::string CompareFramesScript(const fs::path& dir, const std::vector<std::string>& names) {
  std::string list;
  for (const auto& n : names) list += "'" + n + "',";
  return "from PIL import Image, ImageSequence\n"
         "import os, struct, zlib\n"
         "os.chdir(r'" + dir.string() + "')\n"
         "def frames(path):\n"
         "    with Image.open(path) as im:\n"
         "        if im.info.get('interlace'): return ['interlaced'] * getattr(im, 'n_frames', 1)\n"
         "        return [f.convert('RGBA').tobytes() for f in ImageSequence.Iterator(im)]\n"
         "def streams(path):\n"
         "    data, pos, out, idat = open(path, 'rb').read(), 8, [], b''\n"
         "    while pos < len(data):\n"
         "        n, t = struct.unpack('>I4s', data[pos:pos + 8])\n"
         "        body = data[pos + 8:pos + 8 + n]\n"
         "        if t == b'fcTL': out.append(b'')\n"
         "        if t == b'fdAT': out[-1] += body[4:]\n"
         "        if t == b'IDAT' and data[28]: idat += body\n"
         "        pos += n + 12\n"
         "    return [zlib.decompress(z) for z in [idat] + out if z]\n"
         "for n in [" + list + "]:\n"
         "    a, b = frames('ref/' + n), frames(n)\n"
         "    same = a == b and len(a) > 1 and streams('ref/' + n) == streams(n)\n"
         "    print(n, 'same' if same else 'DIFFERENT')\n";
}

}  // namespace

TEST(CliAnimation, ApngFramesSurviveEveryKeepListAndNeverGrow) {
  oracle::TempDir dir;
  fs::create_directory(dir.path() / "ref");
  // RGBA frames by Pillow; a 4-bit palette APNG with tRNS and an interlaced
  // one, both written by hand with zlib (Pillow writes neither).
  const std::string pillow =
      "from PIL import Image\n"
      "frames = []\n"
      "for k in range(4):\n"
      "    im = Image.new('RGBA', (40, 30))\n"
      "    im.putdata([((x * 7 + k * 20) % 256, (y * 5) % 256, (x * y + k) % 256, 255 if (x + y + k) % 5 else 0)\n"
      "                for y in range(30) for x in range(40)])\n"
      "    frames.append(im)\n"
      "frames[0].save(r'" + (dir.path() / "ref/rgba.png").string() +
      "', save_all=True, append_images=frames[1:], duration=100, loop=0)\n";
  ASSERT_EQ(oracle::RunPython(pillow), 0);
  const std::string byHand =
      "def fctl(seq, w, h, x, y):\n"
      "    return chunk(b'fcTL', struct.pack('>IIIIIHHBB', seq, w, h, x, y, 1, 10, 0, 0))\n"
      "def encode(px, w, h, rowbytes, bpp, interlace):\n"
      "    if not interlace:\n"
      "        return rows(px, rowbytes, h, 1)\n"
      "    # Adam7 by hand (8-bit samples only): each pass's rows, filter None\n"
      "    raw = b''\n"
      "    for x0, y0, dx, dy in [(0,0,8,8),(4,0,8,8),(0,4,4,8),(2,0,4,4),(0,2,2,4),(1,0,2,2),(0,1,1,2)]:\n"
      "        xs = list(range(x0, w, dx))\n"
      "        for y in range(y0, h, dy):\n"
      "            if xs: raw += b'\\x00' + b''.join(px[(y * w + x) * bpp:(y * w + x + 1) * bpp] for x in xs)\n"
      "    return zlib.compress(raw, 9)\n"
      "def apng(path, depth, ct, interlace, bpp, extra):\n"
      "    w, h = 24, 16\n"
      "    data = SIG + ihdr(w, h, depth, ct, interlace) + chunk(b'acTL', struct.pack('>II', 3, 0)) + extra\n"
      "    seq = 0\n"
      "    for k in range(3):\n"
      "        fw, fh = (w, h) if k == 0 else (10 + k, 7)\n"
      "        if depth == 4:\n"
      "            rb = (fw + 1) // 2\n"
      "            px = bytes(((x + y + k) % 16) << 4 | ((x * y) % 16) for y in range(fh) for x in range(rb))\n"
      "        else:\n"
      "            rb = fw * bpp\n"
      "            px = bytes((x * 9 + y * 3 + k * 40 + c * 70) % 256 for y in range(fh) for x in range(fw) for c in range(bpp))\n"
      "        z = encode(px, fw, fh, rb, bpp, interlace)\n"
      "        data += fctl(seq, fw, fh, k, k); seq += 1\n"
      "        if k == 0:\n"
      "            data += chunk(b'IDAT', z[:5]) + chunk(b'IDAT', z[5:])\n"
      "        else:\n"
      "            data += chunk(b'fdAT', struct.pack('>I', seq) + z[:7]); seq += 1\n"
      "            data += chunk(b'fdAT', struct.pack('>I', seq) + z[7:]); seq += 1\n"
      "    open(path, 'wb').write(data + chunk(b'tEXt', b'Comment\\x00frames') + IEND)\n"
      "pal = bytes((i * 16, 255 - i * 16, (i * 77) % 256)[c] for i in range(16) for c in range(3))\n"
      "apng(r'" + (dir.path() / "ref/pal4.png").string() + "', 4, 3, 0, 1,\n"
      "     chunk(b'PLTE', pal) + chunk(b'tRNS', bytes([0, 128] + [255] * 14)))\n"
      "apng(r'" + (dir.path() / "ref/rgb-interlaced.png").string() + "', 8, 2, 1, 3, b'')\n";
  ASSERT_EQ(RunPythonPng(byHand), 0);
  const std::vector<std::string> names = {"rgba.png", "pal4.png", "rgb-interlaced.png"};
  for (const char* args : {"", "--keep ALL", "--strip all", "-o 0"}) {
    for (const auto& n : names) fs::copy_file(dir.path() / "ref" / n, dir.path() / n, fs::copy_options::overwrite_existing);
    const CommandResult r = RunVelkor(std::string(args) + " rgba.png pal4.png rgb-interlaced.png", dir.path());
    ASSERT_EQ(r.status, 0) << args << r.err;
    std::string out;
    ASSERT_EQ(oracle::RunPython(CompareFramesScript(dir.path(), names), &out), 0);
    for (const auto& n : names) {
      EXPECT_NE(out.find(n + " "), std::string::npos) << out;
      EXPECT_EQ(out.find("DIFFERENT"), std::string::npos) << args << "\n" << out;
      EXPECT_LE(fs::file_size(dir.path() / n), fs::file_size(dir.path() / "ref" / n)) << n;
      EXPECT_NE(ChunkTypes(dir.path() / n).find("acTL"), std::string::npos) << n;
    }
  }
}

TEST(CliAnimation, AnimatedGifIsRefusedUnlessTheFirstFrameIsAsked) {
  oracle::TempDir dir;
  const std::string script =
      "from PIL import Image\n"
      "frames = [Image.new('RGB', (20, 10), (k * 60, 0, 255 - k * 60)) for k in range(3)]\n"
      "frames[0].save(r'" + (dir.path() / "anim.gif").string() +
      "', save_all=True, append_images=frames[1:], duration=100)\n"
      "frames[0].save(r'" + (dir.path() / "first.png").string() + "')\n"
      "frames[0].save(r'" + (dir.path() / "still.gif").string() + "')\n";
  ASSERT_EQ(oracle::RunPython(script), 0);
  const CommandResult refused = RunVelkor("anim.gif", dir.path());
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("anim.gif: animated GIF (3 frames)"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("--first-frame"), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists(dir.path() / "anim.png"));
  EXPECT_NE(refused.out.find("(0.00% saved)"), std::string::npos) << "no saving claimed: " << refused.out;

  const CommandResult first = RunVelkor("--first-frame anim.gif", dir.path());
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(DecodeFile(dir.path() / "anim.png"), DecodeFile(dir.path() / "first.png"));
  EXPECT_EQ(RunVelkor("still.gif", dir.path()).status, 0) << "a still GIF needs no flag";
}
