#!/usr/bin/env python3
# Reads level and palette-list files and bitmaps for the end-to-end checks,
# and writes the test bitmaps.
#
# Commands:
#   bmp8 OUT SEED            an 8-bit 256 x 256 bitmap with its own palette
#   bmp24 OUT                a 24-bit 256 x 256 bitmap: a red letter on blue
#   png8 BMP OUT             the 8-bit bitmap BMP as a paletted PNG (rows top first)
#   export24 LEV D3D PAGE SLOT BMP    BMP is the page drawn with its palette
#   export8 LEV D3D PAGE SLOT BMP     BMP holds the page's indices and palette
#   import8 LEV D3D PAGE BMP          the page holds BMP's indices, its list's
#                                     slot 0 names a palette equal to BMP's table
#   same-blocks OLD NEW      every block but the texture block is byte-identical
#   same-pages OLD NEW PAGE...       those pages' flags and pixels are unchanged
#   palette-ids LEV          prints the palette ids of the texture block
#   free-ids LEV N           prints the N lowest ids no palette has
#   lists D3D                prints each palette list as "page: id id ..."
#   kept-ids LEV D3D PAGE=ID...      prints the ids a save keeps once each
#                                     PAGE's list is just ID, then those dropped
#   letter LEV D3D OLD_LEV   pages 0 (inside its named rectangles only) and 4
#                            show the bmp24 letter in their palettes
import struct
import zlib
import sys


def read_level(path):
    data = open(path, 'rb').read()
    count, = struct.unpack_from('<i', data, 0)
    at = 4
    blocks = []
    for _ in range(count):
        kind, size = struct.unpack_from('<ii', data, at)
        blocks.append((kind, data[at + 8:at + 8 + size]))
        at += 8 + size
    return blocks


def texture_block(path):
    for kind, content in read_level(path):
        if kind == 0:
            return parse_textures(content)
    raise SystemExit('no texture block in ' + path)


def parse_textures(content):
    palette_count, = struct.unpack_from('<H', content, 0)
    at = 2
    palettes = {}
    order = []
    for _ in range(palette_count):
        pid, = struct.unpack_from('<h', content, at)
        palettes[pid] = colour_table(content[at + 2:at + 1026])
        order.append(pid)
        at += 1026
    page_count, = struct.unpack_from('<i', content, at)
    at += 4
    pages = []
    for _ in range(page_count):
        flags, = struct.unpack_from('<I', content, at)
        size = 65536 if flags & 0x10 else 131072   # 8-bit or 15-bit
        pages.append((flags, content[at + 4:at + 4 + size]))
        at += 4 + size
    return palettes, order, pages


def colour_table(entries):
    # file: blue, green, red, extra -> (r, g, b, extra)
    return [(entries[i * 4 + 2], entries[i * 4 + 1], entries[i * 4], entries[i * 4 + 3]) for i in range(256)]


def texture_names(path):
    # (page, x, y, w, h) of each named rectangle (block kind 5: a count,
    # then 16-byte entries of an 8-byte name and those five bytes).
    content = next(content for kind, content in read_level(path) if kind == 5)
    count, = struct.unpack_from('<i', content, 0)
    return [tuple(content[12 + 16 * i:17 + 16 * i]) for i in range(count)]


def read_lists(path):
    data = open(path, 'rb').read()
    count, = struct.unpack_from('<i', data, 0)
    at = 4
    lists = {}
    for _ in range(max(count, 0)):
        page, n = struct.unpack_from('<ii', data, at)
        ids = list(struct.unpack_from('<%di' % n, data, at + 8))
        lists[page] = ids
        at += 8 + 4 * n
    return lists


def bmp_header(bits, data_size, offset):
    return (b'BM' + struct.pack('<IHHI', offset + data_size, 0, 0, offset) +
            struct.pack('<IiiHHIIiiII', 40, 256, 256, 1, bits, 0, data_size, 2835, 2835, 0, 0))


def write_bmp8(out, seed):
    palette = b''.join(bytes(((i * 7 + seed) % 256, (i * 13 + 2 * seed) % 256, (255 - i + seed) % 256, 0))
                       for i in range(256))
    rows = b''.join(bytes(((x * 3 + y * 5 + seed) ^ (x // 16)) % 256 for x in range(256)) for y in range(255, -1, -1))
    open(out, 'wb').write(bmp_header(8, 65536, 1078) + palette + rows)


def letter_pixel(x, y):
    # A red "F" on blue, so flips and channel swaps all show.
    in_f = (40 <= x < 70 and 30 <= y < 220) or (40 <= x < 200 and 30 <= y < 60) or \
           (40 <= x < 150 and 110 <= y < 140)
    return (230, 20, 30) if in_f else (20, 40, 200)


def write_bmp24(out):
    rows = b''.join(bytes(letter_pixel(x, y)[::-1]) for y in range(255, -1, -1) for x in range(256))
    open(out, 'wb').write(bmp_header(24, 196608, 54) + rows)


def fail(text):
    sys.exit('level_files: ' + text)


def main():
    cmd = sys.argv[1]
    a = sys.argv[2:]
    if cmd == 'bmp8':
        write_bmp8(a[0], int(a[1]))
    elif cmd == 'bmp24':
        write_bmp24(a[0])
    elif cmd == 'png8':
        bmp = open(a[0], 'rb').read()
        plte = b''.join(bmp[54 + 4 * i:57 + 4 * i][::-1] for i in range(256))
        rows = b''.join(b'\0' + bmp[1078 + (255 - y) * 256:1078 + (256 - y) * 256] for y in range(256))

        def chunk(kind, data):
            return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
        open(a[1], 'wb').write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 256, 256, 8, 3, 0, 0, 0)) +
                               chunk(b'PLTE', plte) + chunk(b'IDAT', zlib.compress(rows)) + chunk(b'IEND', b''))
    elif cmd in ('export24', 'export8'):
        palettes, _, pages = texture_block(a[0])
        lists = read_lists(a[1])
        page, slot = int(a[2]), int(a[3])
        flags, pixels = pages[page]
        got = open(a[4], 'rb').read()
        rows = bytearray()
        if flags & 0x10:
            pal = palettes[lists[page][slot]]
            if cmd == 'export8':
                table = b''.join(bytes((b, g, r, x)) for (r, g, b, x) in pal)
                rows = b''.join(pixels[y * 256:(y + 1) * 256] for y in range(255, -1, -1))
                want = bmp_header(8, 65536, 1078) + table + rows
            else:
                for y in range(255, -1, -1):
                    rows += b''.join(bytes(pal[i][2::-1]) for i in pixels[y * 256:(y + 1) * 256])
                want = bmp_header(24, 196608, 54) + bytes(rows)
        else:
            for y in range(255, -1, -1):
                for v in struct.unpack_from('<256H', pixels, y * 512):
                    rows += bytes(((v & 31) << 3, ((v >> 5) & 31) << 3, ((v >> 10) & 31) << 3))
            want = bmp_header(24, 196608, 54) + bytes(rows)
        if got != want:
            diff = next(i for i in range(min(len(got), len(want))) if got[i] != want[i]) \
                if len(got) == len(want) else 'size %d, expected %d' % (len(got), len(want))
            fail('%s differs from page %d (first difference: %s)' % (a[4], page, diff))
    elif cmd == 'import8':
        palettes, _, pages = texture_block(a[0])
        lists = read_lists(a[1])
        page = int(a[2])
        bmp = open(a[3], 'rb').read()
        rows = b''.join(bmp[1078 + (255 - y) * 256:1078 + (256 - y) * 256] for y in range(256))
        if pages[page][1] != rows:
            fail('page %d does not hold the bitmap\'s indices' % page)
        if palettes[lists[page][0]] != colour_table(bmp[54:1078]):
            fail('palette %d of page %d is not the bitmap\'s colour table' % (lists[page][0], page))
    elif cmd == 'same-blocks':
        if [b for b in read_level(a[0]) if b[0] != 0] != [b for b in read_level(a[1]) if b[0] != 0]:
            fail('blocks other than the texture block changed')
    elif cmd == 'same-pages':
        _, _, old = texture_block(a[0])
        _, _, new = texture_block(a[1])
        for p in a[2:]:
            if old[int(p)] != new[int(p)]:
                fail('page %s changed' % p)
    elif cmd == 'palette-ids':
        print(' '.join(str(i) for i in texture_block(a[0])[1]))
    elif cmd == 'free-ids':
        palettes, _, _ = texture_block(a[0])
        print(' '.join(str(i) for i in [i for i in range(32768) if i not in palettes][:int(a[1])]))
    elif cmd == 'lists':
        for page, ids in sorted(read_lists(a[0]).items()):
            print('%d: %s' % (page, ' '.join(str(i) for i in ids)))
    elif cmd == 'kept-ids':
        # The palettes a save keeps once PAGE's list holds just ID (file
        # order, the new ones last), then those the removal drops.
        _, order, _ = texture_block(a[0])
        lists = read_lists(a[1])
        new = []
        for pair in a[2:]:
            page, pid = map(int, pair.split('='))
            lists[page] = [pid]
            new.append(pid)
        named = {i for ids in lists.values() for i in ids}
        print(' '.join(str(i) for i in order + new if i in named))
        print(' '.join(str(i) for i in sorted(i for i in order if i not in named)))
    elif cmd == 'letter':
        # Page 0 changed inside its named rectangles (bounds included; with a
        # fourth argument, inside that one) and only there, page 4 everywhere,
        # to the letter in their palettes; outside, page 0 kept its colours.
        palettes, _, pages = texture_block(a[0])
        old_palettes, _, old_pages = texture_block(a[2])
        lists = read_lists(a[1])
        rects = [(x, y, w, h) for (p, x, y, w, h) in texture_names(a[0]) if p == 0]
        rects = rects[int(a[3]):int(a[3]) + 1] if len(a) > 3 else rects   # the one texture chosen
        for page in (0, 4):
            pal, pixels, worst = palettes[lists[page][0]], pages[page][1], 0
            for at in range(65536):
                x, y = at % 256, at // 256
                if page == 0 and not any(rx <= x <= rx + w and ry <= y <= ry + h for (rx, ry, w, h) in rects):
                    if pixels[at] != old_pages[0][1][at] or pal[pixels[at]] != old_palettes[lists[0][0]][pixels[at]]:
                        fail('page 0: pixel (%d, %d) outside the rectangles changed' % (x, y))
                    continue
                worst = max(worst, sum(abs(p - q) for p, q in zip(pal[pixels[at]][:3], letter_pixel(x, y))))
            if worst > 60:
                fail('page %d: a pixel is %d away from the letter' % (page, worst))
    else:
        fail('unknown command ' + cmd)


if __name__ == '__main__':
    main()
