#!/usr/bin/python3
"""Writes the large benchmark images into a folder (default bench/images).

The shapes users bring that the sample corpus lacks, made deterministically
from the corpus photo and seeded noise so that every machine benchmarks the
same pixels; nothing big is committed.  Pillow comes from Debian.

  diagram.png        3840 x 2160 RGB diagram: flat fills, long runs, thin lines
  palette_photo.png  2048 x 2253 photo quantised to 256 colours (indexed)
  rgba_photo.png     1920 x 1280 RGBA photo with a soft alpha vignette
  *_crop.png         a corner of each, small enough for the all-settings
                     hash matrix of engine_bench --matrix

Usage: make_bench_images.py [out folder] [--corpus folder]
"""
import hashlib
import os
import sys

from PIL import Image, ImageDraw

HERE = os.path.dirname(os.path.abspath(__file__))


def noise(size, seed):
    """Grey noise from a hash stream: the same bytes on every machine."""
    w, h = size
    data = hashlib.shake_256(seed.encode()).digest(w * h)
    return Image.frombytes("L", size, data)


def diagram():
    w, h = 3840, 2160
    img = Image.new("RGB", (w, h), (255, 255, 255))
    d = ImageDraw.Draw(img)
    # Grid of boxes with headers, like a flow chart or a dashboard.
    fills = [(230, 240, 255), (255, 243, 205), (220, 245, 220), (250, 225, 225), (235, 235, 235)]
    strokes = [(40, 80, 160), (180, 120, 0), (30, 120, 40), (160, 40, 40), (90, 90, 90)]
    k = 0
    for row in range(6):
        for col in range(8):
            x0, y0 = 80 + col * 470, 90 + row * 340
            fill, stroke = fills[k % 5], strokes[(k * 3) % 5]
            d.rectangle([x0, y0, x0 + 380, y0 + 240], fill=fill, outline=stroke, width=3)
            d.rectangle([x0, y0, x0 + 380, y0 + 44], fill=stroke)
            d.text((x0 + 12, y0 + 14), "Node %d.%d" % (row, col), fill=(255, 255, 255))
            for t in range(5):
                d.text((x0 + 14, y0 + 60 + 34 * t), "value %d = %d" % (t, (k * 37 + t * 11) % 1000),
                       fill=(20, 20, 20))
            if col < 7:
                d.line([x0 + 380, y0 + 120, x0 + 470, y0 + 120], fill=(60, 60, 60), width=2)
            if row < 5:
                d.line([x0 + 190, y0 + 240, x0 + 190, y0 + 340], fill=(60, 60, 60), width=2)
            k += 1
    # A bar chart band along the bottom.
    for i in range(60):
        bh = 40 + (i * 97) % 160
        d.rectangle([100 + i * 60, 2130 - bh, 140 + i * 60, 2130], fill=strokes[i % 5])
    return img


def photo(corpus, size):
    base = Image.open(os.path.join(corpus, "kodim23.png")).convert("RGB")
    big = base.resize(size, Image.BICUBIC)
    grain = Image.merge("RGB", [noise(size, "grain-%s" % c) for c in "rgb"])
    return Image.blend(big, grain, 0.06)


def main():
    args = sys.argv[1:]
    corpus = "/work/shared/corpus/samples"
    if "--corpus" in args:
        i = args.index("--corpus")
        corpus = args[i + 1]
        del args[i:i + 2]
    out = args[0] if args else os.path.join(HERE, "images")
    os.makedirs(out, exist_ok=True)

    diagram().save(os.path.join(out, "diagram.png"))
    photo(corpus, (2048, 2253)).quantize(256, method=Image.MEDIANCUT).save(os.path.join(out, "palette_photo.png"))
    rgba = photo(corpus, (1920, 1280))
    alpha = Image.radial_gradient("L").resize((1920, 1280), Image.BILINEAR).point(lambda v: 255 - v)
    rgba.putalpha(alpha)
    rgba.save(os.path.join(out, "rgba_photo.png"))
    for name in ("diagram", "palette_photo", "rgba_photo"):
        whole = Image.open(os.path.join(out, name + ".png"))
        whole.crop((0, 0, 480, 360)).save(os.path.join(out, name + "_crop.png"))


if __name__ == "__main__":
    main()
