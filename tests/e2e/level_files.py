#!/usr/bin/env python3
"""Reads level and palette-list files and bitmaps for the end-to-end checks,
and writes the test bitmaps.

Commands:
  bmp8 OUT SEED            an 8-bit 256 x 256 bitmap with its own palette
  bmp24 OUT                a 24-bit 256 x 256 bitmap: a red letter on blue
  export24 LEV D3D PAGE SLOT BMP    BMP is the page drawn with its palette
  export8 LEV D3D PAGE SLOT BMP     BMP holds the page's indices and palette
  import8 LEV D3D PAGE BMP          the page holds BMP's indices, its list's
                                    slot 0 names a palette equal to BMP's table
  same-blocks OLD NEW      every block but the texture block is byte-identical
  same-pages OLD NEW PAGE...       those pages' flags and pixels are unchanged
  palette-ids LEV          prints the palette ids of the texture block
  free-ids LEV N           prints the N lowest ids no palette has
  lists D3D                prints each palette list as "page: id id ..."
"""
import struct
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
        entries = content[at + 2:at + 1026]
        # file: blue, green, red, extra -> (r, g, b, extra)
        palettes[pid] = [(entries[i * 4 + 2], entries[i * 4 + 1], entries[i * 4], entries[i * 4 + 3])
                         for i in range(256)]
        order.append(pid)
        at += 1026
    page_count, = struct.unpack_from('<i', content, at)
    at += 4
    pages = []
    for _ in range(page_count):
        flags, = struct.unpack_from('<I', content, at)
        at += 4
        if flags & 0x10:
            pages.append((flags, content[at:at + 65536]))
            at += 65536
        else:
            pages.append((flags, content[at:at + 131072]))
            at += 131072
    return palettes, order, pages


def texture_names(path):
    """(name, page, x, y, w, h) of each named rectangle (block kind 5)."""
    for kind, content in read_level(path):
        if kind == 5:
            count, = struct.unpack_from('<i', content, 0)
            out = []
            for i in range(count):
                at = 4 + 16 * i
                name = content[at:at + 8].split(b'\0')[0].decode('latin-1')
                out.append((name,) + tuple(content[at + 8:at + 13]))
            return out
    return []


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
    rows = []
    for y in range(255, -1, -1):
        rows.append(bytes(((x * 3 + y * 5 + seed) ^ (x // 16)) % 256 for x in range(256)))
    open(out, 'wb').write(bmp_header(8, 65536, 1078) + palette + b''.join(rows))


def letter_pixel(x, y):
    # A red "F" on blue, so flips and channel swaps all show.
    in_f = (40 <= x < 70 and 30 <= y < 220) or (40 <= x < 200 and 30 <= y < 60) or \
           (40 <= x < 150 and 110 <= y < 140)
    return (230, 20, 30) if in_f else (20, 40, 200)


def write_bmp24(out):
    rows = []
    for y in range(255, -1, -1):
        row = bytearray()
        for x in range(256):
            r, g, b = letter_pixel(x, y)
            row += bytes((b, g, r))
        rows.append(bytes(row))
    open(out, 'wb').write(bmp_header(24, 196608, 54) + b''.join(rows))


def fail(text):
    print('level_files: ' + text, file=sys.stderr)
    sys.exit(1)


def main():
    cmd = sys.argv[1]
    a = sys.argv[2:]
    if cmd == 'bmp8':
        write_bmp8(a[0], int(a[1]))
    elif cmd == 'bmp24':
        write_bmp24(a[0])
    elif cmd in ('export24', 'export8'):
        palettes, _, pages = texture_block(a[0])
        lists = read_lists(a[1])
        page, slot = int(a[2]), int(a[3])
        flags, pixels = pages[page]
        got = open(a[4], 'rb').read()
        if flags & 0x10:
            pal = palettes[lists[page][slot]]
            if cmd == 'export8':
                table = b''.join(bytes((b, g, r, x)) for (r, g, b, x) in pal)
                rows = b''.join(pixels[y * 256:(y + 1) * 256] for y in range(255, -1, -1))
                want = bmp_header(8, 65536, 1078) + table + rows
            else:
                rows = bytearray()
                for y in range(255, -1, -1):
                    for i in pixels[y * 256:(y + 1) * 256]:
                        r, g, b, _ = pal[i]
                        rows += bytes((b, g, r))
                want = bmp_header(24, 196608, 54) + bytes(rows)
        else:
            rows = bytearray()
            for y in range(255, -1, -1):
                for x in range(256):
                    v, = struct.unpack_from('<H', pixels, (y * 256 + x) * 2)
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
        flags, pixels = pages[page]
        rows = b''.join(bmp[1078 + (255 - y) * 256:1078 + (256 - y) * 256] for y in range(256))
        if pixels != rows:
            fail('page %d does not hold the bitmap\'s indices' % page)
        table = bmp[54:1078]
        pal = palettes[lists[page][0]]
        want = [(table[i * 4 + 2], table[i * 4 + 1], table[i * 4], table[i * 4 + 3]) for i in range(256)]
        if pal != want:
            fail('palette %d of page %d is not the bitmap\'s colour table' % (lists[page][0], page))
    elif cmd == 'same-blocks':
        old = [(k, c) for k, c in read_level(a[0]) if k != 0]
        new = [(k, c) for k, c in read_level(a[1]) if k != 0]
        if old != new:
            fail('blocks other than the texture block changed')
    elif cmd == 'same-pages':
        _, _, old = texture_block(a[0])
        _, _, new = texture_block(a[1])
        for p in a[2:]:
            if old[int(p)] != new[int(p)]:
                fail('page %s changed' % p)
    elif cmd == 'palette-ids':
        _, order, _ = texture_block(a[0])
        print(' '.join(str(i) for i in order))
    elif cmd == 'free-ids':
        palettes, _, _ = texture_block(a[0])
        free = [i for i in range(32768) if i not in palettes][:int(a[1])]
        print(' '.join(str(i) for i in free))
    elif cmd == 'lists':
        for page, ids in sorted(read_lists(a[0]).items()):
            print('%d: %s' % (page, ' '.join(str(i) for i in ids)))
    elif cmd == 'page-pixels':
        _, _, pages = texture_block(a[0])
        sys.stdout.buffer.write(pages[int(a[1])][1])
    elif cmd == 'palette':
        palettes, _, _ = texture_block(a[0])
        for entry in palettes[int(a[1])]:
            print('%d %d %d %d' % entry)
    else:
        fail('unknown command ' + cmd)


if __name__ == '__main__':
    main()
