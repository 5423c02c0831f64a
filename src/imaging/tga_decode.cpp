// The TGA decoder: colour-mapped, true-colour and grey Targa files, RLE or not.
#include <stdint.h>
#include <string.h>

#include "base/byte_cursor.h"
#include "imaging/image_decode.h"

namespace {

enum { TGA_HEADER_BYTES = 18 };
enum { TGA_MAPPED = 1, TGA_TRUE_COLOUR = 2, TGA_GREY = 3, TGA_RLE = 8 };

// The header fields the decoder uses, in file order.
struct tga_header {
    unsigned id_length;
    unsigned map_type;        // 0 none, 1 a colour map follows the image ID
    unsigned image_type;      // TGA_MAPPED, TGA_TRUE_COLOUR or TGA_GREY, plus TGA_RLE
    unsigned map_first;       // pixel index of the map's first entry
    unsigned map_length;
    unsigned map_entry_bits;
    unsigned width, height;
    unsigned pixel_bits;
    unsigned descriptor;      // bit 4 right to left, bit 5 top to bottom, bits 6-7 interleaving
};

// How the stored pixels become the picture.
struct tga_pixels {
    unsigned kind;            // image type without the RLE bit
    unsigned pixel_bytes;
    unsigned char map[256][3];  // colour by pixel index, black where the map has no entry
    int64_t width, height;
    bool right_to_left, top_to_bottom;
};

tga_header read_header(byte_cursor *c)
{
    tga_header h;
    h.id_length = get8(c);
    h.map_type = get8(c);
    h.image_type = get8(c);
    h.map_first = get16le(c);
    h.map_length = get16le(c);
    h.map_entry_bits = get8(c);
    cursor_skip(c, 4);   // x and y origin on the screen
    h.width = get16le(c);
    h.height = get16le(c);
    h.pixel_bits = get8(c);
    h.descriptor = get8(c);
    return h;
}

// The file is not sniffed, so every field that has few valid values is
// checked: random bytes rarely pass all of them.
decode_result check_header(const tga_header &h)
{
    const unsigned kind = h.image_type & ~(unsigned)TGA_RLE;
    if (h.map_type > 1) return refuse(IMPORT_NOT_IMAGE, "not a valid TGA header");
    if (h.image_type == 0) return refuse(IMPORT_UNSUPPORTED, "a TGA without image data (not supported)");
    if (h.image_type == 32 || h.image_type == 33)
        return refuse(IMPORT_UNSUPPORTED, "a Huffman-compressed TGA (not supported)");
    if (kind < TGA_MAPPED || kind > TGA_GREY) return refuse(IMPORT_NOT_IMAGE, "not a valid TGA header");
    if (h.map_type == 1 && h.map_entry_bits != 15 && h.map_entry_bits != 16 && h.map_entry_bits != 24 &&
        h.map_entry_bits != 32)
        return refuse(IMPORT_UNSUPPORTED, "a TGA colour map with an unusual entry size (not supported)");
    if (kind == TGA_MAPPED) {
        if (h.pixel_bits == 16) return refuse(IMPORT_UNSUPPORTED, "a TGA with 16-bit colour indices (not supported)");
        if (h.pixel_bits != 8) return refuse(IMPORT_NOT_IMAGE, "not a valid TGA header");
        if (h.map_type != 1) return refuse(IMPORT_CORRUPT, "a colour-mapped TGA without a colour map");
    } else if (kind == TGA_TRUE_COLOUR) {
        if (h.pixel_bits != 15 && h.pixel_bits != 16 && h.pixel_bits != 24 && h.pixel_bits != 32)
            return refuse(IMPORT_NOT_IMAGE, "not a valid TGA header");
    } else if (h.pixel_bits != 8 && h.pixel_bits != 16) {
        return refuse(IMPORT_NOT_IMAGE, "not a valid TGA header");
    }
    if (h.descriptor & 0xC0) return refuse(IMPORT_UNSUPPORTED, "an interleaved TGA (not supported)");
    return check_image_sides(h.width, h.height);
}

// 5-bit channels are stretched with truncation, as the common readers do,
// so that 16-bit files come in exactly as they show elsewhere.
unsigned expand5(unsigned v) { return (v & 31) * 255 / 31; }

// A stored colour: 5-5-5 little endian (top bit ignored), BGR or BGRA.
void unpack_colour(const unsigned char *q, unsigned bytes, unsigned char rgb[3])
{
    if (bytes == 2) {
        const unsigned v = le16_at(q);
        rgb[0] = (unsigned char)expand5(v >> 10), rgb[1] = (unsigned char)expand5(v >> 5);
        rgb[2] = (unsigned char)expand5(v);
    } else {
        rgb[0] = q[2], rgb[1] = q[1], rgb[2] = q[0];
    }
}

// Entries before the map's first index, past its end or past index 255 stay
// black, so an index the map does not cover comes out black.
bool read_colour_map(byte_cursor *c, const tga_header &h, tga_pixels *px)
{
    memset(px->map, 0, sizeof px->map);
    if (h.map_type == 0) return true;
    const unsigned entry_bytes = (h.map_entry_bits + 7) / 8;
    const unsigned char *entries = cursor_take(c, (size_t)h.map_length * entry_bytes);
    if (!entries) return false;
    for (unsigned k = 0; k < h.map_length && h.map_first + k < 256; k++)
        unpack_colour(entries + (size_t)k * entry_bytes, entry_bytes, px->map[h.map_first + k]);
    return true;
}

// Paints `count` pixels of stored row `row` from column `column` on: from
// consecutive stored values, or one value repeated when `step` is 0.
void paint_span(const tga_pixels &px, import_image *image, int64_t row, int64_t column, int64_t count,
                const unsigned char *q, unsigned step)
{
    const int64_t y = px.top_to_bottom ? row : px.height - 1 - row;
    if (y >= PAGE_SIZE) return;
    for (int64_t i = 0; i < count; i++, q += step) {
        unsigned char rgb[3];
        if (px.kind == TGA_MAPPED) memcpy(rgb, px.map[q[0]], 3);
        else if (px.kind == TGA_GREY) rgb[0] = rgb[1] = rgb[2] = q[0];  // 16-bit grey: grey, then alpha
        else unpack_colour(q, px.pixel_bytes, rgb);
        const int64_t x = px.right_to_left ? px.width - 1 - (column + i) : column + i;
        put_rgb(image, x, y, rgb[0], rgb[1], rgb[2]);
    }
}

decode_result read_plain(byte_cursor *c, const tga_pixels &px, import_image *image)
{
    const size_t row_bytes = (size_t)px.width * px.pixel_bytes;
    if ((uint64_t)row_bytes * (uint64_t)px.height > cursor_left(c))
        return refuse(IMPORT_TRUNCATED, "the file is truncated");
    for (int64_t row = 0; row < px.height; row++)
        paint_span(px, image, row, 0, px.width, cursor_take(c, row_bytes), px.pixel_bytes);
    return decoded();
}

// Packets may run on from one row into the next, but never past the image.
decode_result read_rle(byte_cursor *c, const tga_pixels &px, import_image *image)
{
    const uint64_t total = (uint64_t)px.width * (uint64_t)px.height;
    for (uint64_t done = 0; done < total;) {
        const unsigned head = get8(c);
        const uint64_t count = (head & 0x7F) + 1;
        const bool run = (head & 0x80) != 0;
        if (!c->overrun && count > total - done)
            return refuse(IMPORT_CORRUPT, "an RLE packet runs past the end of the image");
        const unsigned char *q = cursor_take(c, (size_t)(run ? 1 : count) * px.pixel_bytes);
        if (!q) return refuse(IMPORT_TRUNCATED, "the file is truncated");
        for (uint64_t left = count; left > 0;) {
            const int64_t row = (int64_t)(done / (uint64_t)px.width);
            const int64_t column = (int64_t)(done % (uint64_t)px.width);
            const int64_t span = (int64_t)left < px.width - column ? (int64_t)left : px.width - column;
            paint_span(px, image, row, column, span, q, run ? 0 : px.pixel_bytes);
            if (!run) q += (size_t)span * px.pixel_bytes;
            done += (uint64_t)span;
            left -= (uint64_t)span;
        }
    }
    return decoded();
}

}  // namespace

decode_result decode_tga(const unsigned char *bytes, size_t size, import_image *image)
{
    byte_cursor c = make_cursor(bytes, size);
    const tga_header h = read_header(&c);
    if (c.overrun) return refuse(IMPORT_TRUNCATED, "the file is truncated");
    decode_result r = check_header(h);
    if (r.code != IMPORT_OK) return r;

    tga_pixels px;
    px.kind = h.image_type & ~(unsigned)TGA_RLE;
    px.pixel_bytes = (h.pixel_bits + 7) / 8;
    px.width = h.width;
    px.height = h.height;
    px.right_to_left = (h.descriptor & 0x10) != 0;
    px.top_to_bottom = (h.descriptor & 0x20) != 0;
    cursor_skip(&c, h.id_length);
    if (!read_colour_map(&c, h, &px)) return refuse(IMPORT_TRUNCATED, "the file is truncated");

    r = begin_rgb_image(image, (int)px.width, (int)px.height);
    if (r.code != IMPORT_OK) return r;
    r = (h.image_type & TGA_RLE) ? read_rle(&c, px, image) : read_plain(&c, px, image);
    if (r.code != IMPORT_OK) free_import_image(image);
    return r;
}
