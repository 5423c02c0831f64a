"""JPEG samples for the image suite, written by Pillow, with the pixels each must come in as.

write_samples(outdir) writes the files and returns (file name, expected) pairs:
expected is the RGB picture Pillow decodes from the written file (the reference
decoder uses the same library, so the import must match it exactly), or a
phrase the refusal's reason must contain.
"""
import os

from PIL import Image, ImageDraw


def picture(width, height, mode="RGB"):
    """A red letter L on a blue-to-green ramp: swapped channels, flipped rows or
    mirrored columns all show."""
    image = Image.new("RGB", (width, height))
    image.putdata([(0, (x * 255) // max(width - 1, 1), 255 - (y * 255) // max(height - 1, 1))
                   for y in range(height) for x in range(width)])
    draw = ImageDraw.Draw(image)
    draw.rectangle((width // 8, height // 8, width // 4, height * 3 // 4), fill=(250, 20, 10))
    draw.rectangle((width // 8, height * 5 // 8, width // 2, height * 3 // 4), fill=(250, 20, 10))
    return image.convert(mode)


def write_samples(outdir):
    samples = [
        ("baseline.jpg", picture(64, 48), dict(quality=90)),
        ("progressive.jpg", picture(120, 90), dict(quality=85, progressive=True)),
        ("grey.jpg", picture(70, 50, "L"), dict(quality=90)),
        ("grey_progressive.jpg", picture(40, 300, "L"), dict(progressive=True)),
        ("odd_420.jpg", picture(37, 23), dict(quality=80, subsampling=2)),
        ("wide_422.jpg", picture(300, 20), dict(quality=75, subsampling=1)),
        ("tall_progressive_420.jpg", picture(30, 270), dict(progressive=True, subsampling=2)),
        ("cmyk.jpg", picture(16, 16, "CMYK"), {}),
    ]
    results = []
    for name, image, options in samples:
        path = os.path.join(outdir, name)
        image.save(path, "JPEG", **options)
        if image.mode == "CMYK":
            results.append((name, "CMYK JPEG"))
        else:
            results.append((name, Image.open(path).convert("RGB")))
    # Cut short: a baseline file in its picture data, a progressive one in a later scan.
    for source, name in (("baseline.jpg", "cut_baseline.jpg"), ("tall_progressive_420.jpg", "cut_progressive.jpg")):
        with open(os.path.join(outdir, source), "rb") as f:
            data = f.read()
        with open(os.path.join(outdir, name), "wb") as f:
            f.write(data[: len(data) * 2 // 3])
        results.append((name, "the file is truncated"))
    return results
