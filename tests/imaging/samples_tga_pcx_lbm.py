"""Small TGA, PCX and LBM files that the public suites lack, with the pictures they must give.

write_samples(outdir) writes them and returns (file name, expected): an RGB
picture as the user sees it, or a phrase the refusal reason must contain.
TGA and LBM are written here (every origin, RLE packets across rows, bit
planes, ByteRun1); PCX by Pillow.
"""
import os
import struct

from PIL import Image

BLUE, RED = (20, 40, 200), (230, 20, 10)


def indexed(w, h, colours):
    """A red F on blue with a block of other colours: every flip and swap shows."""
    im = Image.new("P", (w, h), 0)
    pal = [BLUE, RED] + [((i * 97) % 256, (i * 53 + 90) % 256, (i * 29 + 160) % 256) for i in range(2, colours)]
    im.putpalette([c for rgb in pal for c in rgb])
    for y in range(h):
        for x in range(w):
            letter = w // 5 <= x < w // 5 + 3 and h // 6 <= y < h - h // 6 or \
                x < w // 2 and y in (h // 6, h // 6 + 1, h // 2)
            block = 2 < colours and w * 3 // 5 <= x < w - 2 and h // 2 <= y < h - 2
            im.putpixel((x, y), 1 if letter else 2 + (x + 2 * y) % (colours - 2) if block else 0)
    return im


def true_colour(w, h):
    im = indexed(w, h, 2).convert("RGB")
    for y in range(h // 2, h - 2):
        for x in range(w * 3 // 5, w - 2):
            im.putpixel((x, y), (x * 255 // w, y * 255 // h, 128))
    return im


def rle_tga(pixels):
    """Packets over the whole pixel stream, so runs cross rows."""
    out, i = b"", 0
    while i < len(pixels):
        n = 1
        while i + n < len(pixels) and n < 128 and pixels[i + n] == pixels[i]:
            n += 1
        if n > 1:
            out += bytes([0x80 | (n - 1)]) + pixels[i]
        else:
            while i + n < len(pixels) and n < 128 and pixels[i + n] != pixels[i + n - 1]:
                n += 1
            out += bytes([n - 1]) + b"".join(pixels[i:i + n])
        i += n
    return out


def grey(im, level):
    """The picture of an indexed image's indices read as grey levels."""
    return Image.frombytes("L", im.size, bytes(level(i) for i in im.getdata())).convert("RGB")


def five(v):
    return v * 255 // 31


def write_tga(path, im, kind, bits, rle=False, origin=0x20, map_bits=24, map_first=0):
    """Returns the picture the file holds (5-bit channels, uncovered indices black)."""
    stored = im.transpose(Image.Transpose.FLIP_TOP_BOTTOM) if not origin & 0x20 else im
    stored = stored.transpose(Image.Transpose.FLIP_LEFT_RIGHT) if origin & 0x10 else stored
    cmap, expected = b"", im.convert("RGB")
    if kind == 1:
        pal = im.getpalette()[3 * map_first:]
        entries = [pal[i:i + 3] for i in range(0, len(pal), 3)]
        cmap = b"".join(bytes([b, g, r]) if map_bits == 24 else bytes([b, g, r, 99]) if map_bits == 32 else
                        struct.pack("<H", 0x8000 | r >> 3 << 10 | g >> 3 << 5 | b >> 3) for r, g, b in entries)
        look = [(0, 0, 0)] * map_first + [(five(r >> 3), five(g >> 3), five(b >> 3)) if map_bits == 16
                                          else (r, g, b) for r, g, b in entries]
        look += [(0, 0, 0)] * (256 - len(look))
        expected = Image.new("RGB", im.size)
        expected.putdata([look[i] for i in im.getdata()])
        pixels = [bytes([i]) for i in stored.getdata()]
    elif kind == 3:
        pixels = [bytes([v, 77][:bits // 8]) for v in stored.convert("L").getdata()]
        expected = im.convert("L").convert("RGB")
    elif bits == 16:
        pixels = [struct.pack("<H", 0x8000 | r >> 3 << 10 | g >> 3 << 5 | b >> 3) for r, g, b in stored.getdata()]
        expected = Image.eval(im, lambda v: five(v >> 3))
    else:
        pixels = [bytes([b, g, r, x * 7 % 256][:bits // 8]) for x, (r, g, b) in enumerate(stored.getdata())]
    entries = len(cmap) // max(1, map_bits // 8)
    header = struct.pack("<BBBHHBHHHHBB", 3, kind == 1, kind + 8 * rle, map_first, entries, map_bits * (kind == 1),
                         0, 0, im.width, im.height, bits, origin | (8 if bits == 32 else 0))
    with open(path, "wb") as f:
        f.write(header + b"qte" + cmap + (rle_tga(pixels) if rle else b"".join(pixels)))
    return expected


def byterun1(data):
    out, i = b"", 0
    while i < len(data):
        n = 1
        while i + n < len(data) and n < 128 and data[i + n] == data[i]:
            n += 1
        if n > 2:
            out += bytes([257 - n, data[i]])
        else:   # literals up to the next run of three
            while i + n < len(data) and n < 128 and data[i + n:i + n + 3] != bytes([data[i + n]]) * 3:
                n += 1
            out += bytes([n - 1]) + data[i:i + n]
        i += n
    return out


def write_lbm(path, im, planes, compress, chunky=False, cmap=True, camg=0, mask=False):
    w, h = im.size
    idx = list(im.getdata())
    body = b""
    for y in range(h):
        row = idx[y * w:(y + 1) * w]
        if chunky:
            lines = [bytes(row) + b"\0" * (w & 1)]
        else:
            lines = [bytes(sum(((row[x] >> p & 1) << (7 - x % 8)) for x in range(b * 8, min(w, b * 8 + 8)))
                           for b in range((w + 15) // 16 * 2)) for p in range(planes)]
            lines += [b"\xa5" * ((w + 15) // 16 * 2)] if mask else []
        body += b"".join(byterun1(line) if compress else line for line in lines)

    def chunk(name, data):
        return name + struct.pack(">I", len(data)) + data + b"\0" * (len(data) & 1)
    data = chunk(b"ANNO", b"qte") + chunk(b"BMHD", struct.pack(">HHhhBBBBHBBhh", w, h, 0, 0, planes, mask, compress,
                                                               0, 0, 10, 11, w, h))
    data += chunk(b"CMAP", bytes(im.getpalette()[:3 << planes])) if cmap else b""
    data += chunk(b"CAMG", struct.pack(">I", camg)) + chunk(b"BODY", body)
    with open(path, "wb") as f:
        f.write(b"FORM" + struct.pack(">I", len(data) + 4) + (b"PBM " if chunky else b"ILBM") + data)
    top = (1 << planes) - 1   # no CMAP: a grey ramp
    return im.convert("RGB") if cmap else grey(im, lambda i: (i * 255 + top // 2) // top)


def write_samples(outdir):
    out = []

    def add(name, expected):
        out.append((name, expected))
        return os.path.join(outdir, name)

    def tga(name, *args, **kw):
        add(name, write_tga(os.path.join(outdir, name), *args, **kw))

    m, rgb = indexed(37, 23, 9), true_colour(301, 21)
    tga("map24_bottom_left.tga", m, 1, 8, origin=0x00)
    tga("map16_first2_rle_top_right.tga", m, 1, 8, rle=True, origin=0x30, map_bits=16, map_first=2)
    tga("map32_rle_bottom_right.tga", m, 1, 8, rle=True, origin=0x10, map_bits=32)
    tga("rgb24_top_left_wide.tga", rgb, 2, 24)
    tga("rgb24_rle_bottom_right.tga", rgb, 2, 24, rle=True, origin=0x10)
    tga("rgb16_bottom_left.tga", rgb, 2, 16, origin=0x00)
    tga("rgb32_rle_top_right.tga", rgb, 2, 32, rle=True, origin=0x30)
    tga("grey8_rle_bottom_left.tga", m, 3, 8, rle=True, origin=0x00)
    tga("grey16_top_right.tga", m, 3, 16, origin=0x30)
    good = open(os.path.join(outdir, "rgb24_rle_bottom_right.tga"), "rb").read()
    with open(add("rle_cut.tga", "the file is truncated"), "wb") as f:
        f.write(good[:len(good) * 2 // 3])
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 10, 0, 0, 0, 0, 0, 3, 2, 24, 0)
    with open(add("rle_past_end.tga", "past the end of the image"), "wb") as f:
        f.write(header + bytes([0x86, 1, 2, 3]))
    with open(add("no_image.tga", "without image data"), "wb") as f:
        f.write(header[:2] + b"\0" + header[3:])

    m.save(add("pal8.pcx", m.convert("RGB")))
    rgb.save(add("rgb24_wide.pcx", rgb))
    many = indexed(61, 45, 200)   # big enough for readers that look for the palette 769 bytes before the end
    many.save(add("grey8_no_palette.pcx", grey(many, lambda i: i)))
    with open(os.path.join(outdir, "grey8_no_palette.pcx"), "r+b") as f:
        f.truncate(os.path.getsize(f.name) - 769)
    m.convert("1").save(add("bits1.pcx", "a 1-bit PCX"))
    with open(add("rgb24_cut.pcx", "the file is truncated"), "wb") as f:
        f.write(open(os.path.join(outdir, "rgb24_wide.pcx"), "rb").read()[:-50])

    two, sixteen, wide = indexed(21, 13, 2), indexed(33, 17, 16), indexed(300, 9, 200)
    lbm = [("ilbm1_no_cmap.lbm", two, 1, 0, {"cmap": False}), ("ilbm4_rle_mask.lbm", sixteen, 4, 1, {"mask": True}),
           ("ilbm5.lbm", sixteen, 5, 0, {}), ("ilbm8_rle_wide.lbm", wide, 8, 1, {}),
           ("pbm_rle.lbm", indexed(27, 11, 40), 8, 1, {"chunky": True}), ("pbm.lbm", m, 8, 0, {"chunky": True})]
    for name, im, planes, compress, kw in lbm:
        add(name, write_lbm(os.path.join(outdir, name), im, planes, compress, **kw))
    write_lbm(add("ham6.lbm", "a HAM LBM"), sixteen, 6, 1, camg=0x800)
    write_lbm(add("ehb6.lbm", "extra-half-brite"), sixteen, 6, 1, camg=0x80)
    return out
