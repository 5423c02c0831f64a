#!/usr/bin/python3
"""The reference pixels of every image the import must read, for image_suite_test.

Usage: image_references.py OUTDIR TESTIMAGES

Writes OUTDIR/manifest.txt, one file a line, tab-separated:
    exact    PATH  N   the file must come in as OUTDIR/N.rgb (256 x 256 RGB, the
                       picture's top-left part, black where it is smaller)
    refused  PATH  PHRASE   the file must be refused; its reason contains PHRASE
    safe     PATH  -   any answer, as long as it is safe and the same every time
The public suites are judged by Pillow (ImageMagick where Pillow cannot read a
good file or is known to misread it); our own samples by the pictures they were
written from.
"""
import glob
import os
import subprocess
import sys

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import samples_jpeg  # noqa: E402
import samples_tga_pcx_lbm  # noqa: E402

# Good files whose reference is ImageMagick's: Pillow refuses the bitfields of
# one and misreads the RLE4 literal runs and deltas of the other.
IMAGEMAGICK_FILES = {"rgb32bf.bmp", "pal4rle.bmp"}


def page_canvas(image):
    """The top-left 256 x 256 pixels of an RGB picture, black where it is smaller."""
    canvas = Image.new("RGB", (256, 256))
    canvas.paste(image.crop((0, 0, min(image.width, 256), min(image.height, 256))), (0, 0))
    return canvas


def pillow_rgb(path):
    image = Image.open(path)
    image.load()
    if image.mode in ("I", "I;16", "I;16B"):   # 16-bit grey: the high byte, as the page takes it
        image = image.crop((0, 0, min(image.width, 256), min(image.height, 256)))
        grey = Image.new("L", image.size)
        grey.putdata([v >> 8 for v in image.getdata()])
        return grey.convert("RGB")
    return image.convert("RGB")


def imagemagick_rgb(path):
    size = subprocess.run(["identify", "-format", "%w %h", path], capture_output=True, check=True, text=True)
    width, height = map(int, size.stdout.split()[:2])
    raw = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout
    return Image.frombytes("RGB", (width, height), raw)


def main():
    out, suites = sys.argv[1], sys.argv[2]
    rows = []

    def exact(path, image):
        number = len(rows)
        with open(os.path.join(out, "%d.rgb" % number), "wb") as f:
            f.write(page_canvas(image).tobytes())
        rows.append("exact\t%s\t%d" % (path, number))

    for path in sorted(glob.glob(os.path.join(suites, "bmpsuite/g/*.bmp"))):
        name = os.path.basename(path)
        exact(path, imagemagick_rgb(path) if name in IMAGEMAGICK_FILES else pillow_rgb(path))
    for path in sorted(glob.glob(os.path.join(suites, "pngsuite/*.png")) + glob.glob(os.path.join(suites, "pngsuite/interlaced/*.png"))):
        if os.path.basename(path).startswith("x"):   # broken on purpose
            rows.append("refused\t%s\t" % path)
        else:
            exact(path, pillow_rgb(path))
    for path in sorted(glob.glob(os.path.join(suites, "testpngs/*.png"))):
        exact(path, pillow_rgb(path))
    for pattern in ("bmpsuite/q/*", "bmpsuite/b/*", "testpngs/crashers/*", "testpngs/badpal/*"):
        rows.extend("safe\t%s\t-" % path for path in sorted(glob.glob(os.path.join(suites, pattern))))

    samples = os.path.join(out, "samples")
    os.makedirs(samples, exist_ok=True)
    for module in (samples_tga_pcx_lbm, samples_jpeg):
        for name, expected in module.write_samples(samples):
            path = os.path.join(samples, name)
            if isinstance(expected, str):
                rows.append("refused\t%s\t%s" % (path, expected))
            else:
                exact(path, expected.convert("RGB"))

    with open(os.path.join(out, "manifest.txt"), "w") as f:
        f.write("\n".join(rows) + "\n")


main()
