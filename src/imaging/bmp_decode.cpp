// The BMP decoder: Windows v3 to v5 and OS/2 bitmaps, paletted, RLE, bitfields and true colour.
#include "base/byte_cursor.h"
#include "imaging/image_decode.h"

namespace {

enum {
    BMP_RGB = 0,
    BMP_RLE8 = 1,
    BMP_RLE4 = 2,
    BMP_BITFIELDS = 3,
    BMP_JPEG = 4,
    BMP_PNG = 5,
    BMP_ALPHABITFIELDS = 6,
};

struct bmp_header {
    uint32_t data_offset;      // where the pixel data starts, from the start of the file
    uint32_t header_size;      // of the info header alone
    bool windows;              // a 40, 52, 56, 108 or 124-byte header (else OS/2 v1 or v2)
    int64_t width, height;     // height made positive; top_down keeps the direction
    bool top_down;
    unsigned planes, bits;
    uint32_t compression;
    uint32_t colours_used;     // 0 when the header leaves it out
    uint32_t masks[3];         // red, green, blue, when the file gives them
    size_t table_start;        // just past the header and any masks after it
    unsigned entry_size;       // bytes per colour-table entry: 3 for OS/2 v1, else 4
};

// One colour of a bitfields pixel: (pixel & mask) >> shift is a `bits`-bit sample.
struct bmp_channel {
    uint32_t mask;
    unsigned shift, bits;
};

// Where decoded indices go: straight into an indexed image, or through the
// colour table into a true-colour one (indices past the table are black).
struct bmp_painter {
    import_image *image;
    const unsigned char (*table)[4];
    unsigned count;
};

void paint_index(const bmp_painter &p, int64_t x, int64_t y, unsigned index)
{
    if (p.image->indexed)
        put_index(p.image, x, y, index);
    else if (index < p.count)
        put_rgb(p.image, x, y, p.table[index][0], p.table[index][1], p.table[index][2]);
    else
        put_rgb(p.image, x, y, 0, 0, 0);
}

decode_result truncated() { return refuse(IMPORT_TRUNCATED, "the file is truncated"); }

// ---- Header ----------------------------------------------------------------

decode_result read_header(const unsigned char *bytes, size_t size, bmp_header *h)
{
    byte_cursor c = make_cursor(bytes, size);
    if (get8(&c) != 'B' || get8(&c) != 'M') return refuse(IMPORT_NOT_IMAGE, "not a BMP file");
    cursor_skip(&c, 8);  // file size and reserved words, which writers often get wrong
    h->data_offset = get32le(&c);
    h->header_size = get32le(&c);
    if (c.overrun) return truncated();

    const uint32_t hs = h->header_size;
    h->windows = hs == 40 || hs == 52 || hs == 56 || hs == 108 || hs == 124;
    const bool os2_v1 = hs == 12;
    if (!h->windows && !os2_v1 && !(hs >= 16 && hs <= 64))
        return refuse(IMPORT_UNSUPPORTED, "an unknown kind of BMP header");
    byte_cursor info = sub_cursor(&c, hs - 4);
    if (c.overrun) return truncated();

    // An OS/2 v2 header may stop after any field: the cursor reads the
    // missing ones as zero, which is what they default to.
    int64_t height;
    if (os2_v1) {
        h->width = get16le(&info);
        height = get16le(&info);
    } else {
        h->width = (int32_t)get32le(&info);
        height = (int32_t)get32le(&info);
    }
    h->top_down = height < 0;
    h->height = height < 0 ? -height : height;
    h->planes = get16le(&info);
    h->bits = get16le(&info);
    h->compression = get32le(&info);
    cursor_skip(&info, 12);  // image size and resolution, not needed to decode
    h->colours_used = get32le(&info);
    cursor_skip(&info, 4);   // colours important

    h->entry_size = os2_v1 ? 3 : 4;
    h->table_start = 14 + (size_t)hs;
    h->masks[0] = h->masks[1] = h->masks[2] = 0;
    const bool bitfields = h->compression == BMP_BITFIELDS || h->compression == BMP_ALPHABITFIELDS;
    if (h->windows && bitfields) {
        // A 40-byte header keeps its masks just after it (three, or four
        // with alpha); longer ones hold them inside.
        byte_cursor masks = hs == 40 ? sub_cursor(&c, h->compression == BMP_ALPHABITFIELDS ? 16 : 12) : info;
        if (masks.overrun) return truncated();
        for (int i = 0; i < 3; i++) h->masks[i] = get32le(&masks);
        if (hs == 40) h->table_start = cursor_offset(&c);
    }
    return decoded();
}

decode_result check_header(const bmp_header &h, size_t size)
{
    const uint32_t comp = h.compression;
    // OS/2 v2 gives 3 and 4 meanings of its own, and has no bitfields.
    const bool os2_v2 = !h.windows && h.header_size != 12;
    if (os2_v2 && comp == 3)
        return refuse(IMPORT_UNSUPPORTED, "an OS/2 BMP with Huffman compression (not supported)");
    if (os2_v2 && comp == 4)
        return refuse(IMPORT_UNSUPPORTED, "an OS/2 BMP with RLE24 compression (not supported)");
    if (comp == BMP_JPEG || comp == BMP_PNG)
        return refuse(IMPORT_UNSUPPORTED, "a BMP holding a JPEG or PNG (not supported)");
    if (comp > BMP_ALPHABITFIELDS || (os2_v2 && comp == BMP_ALPHABITFIELDS))
        return refuse(IMPORT_UNSUPPORTED, "a BMP with an unknown kind of compression");
    if (h.planes != 1) return refuse(IMPORT_CORRUPT, "the number of planes is not 1");
    if (h.bits == 2) return refuse(IMPORT_UNSUPPORTED, "a 2-bit BMP (not supported)");
    if (h.bits == 64) return refuse(IMPORT_UNSUPPORTED, "a 64-bit BMP (not supported)");
    if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 && h.bits != 32)
        return refuse(IMPORT_CORRUPT, "the bit depth is not 1, 4, 8, 16, 24 or 32");
    if ((comp == BMP_RLE8 && h.bits != 8) || (comp == BMP_RLE4 && h.bits != 4) ||
        (comp >= BMP_BITFIELDS && h.bits != 16 && h.bits != 32))
        return refuse(IMPORT_CORRUPT, "the compression does not suit the bit depth");

    decode_result sides = check_image_sides(h.width, h.height);
    if (sides.code != IMPORT_OK) return sides;
    if (h.top_down && (comp == BMP_RLE8 || comp == BMP_RLE4))
        return refuse(IMPORT_CORRUPT, "a top-down BMP cannot be RLE compressed");

    if (h.data_offset < h.table_start) return refuse(IMPORT_CORRUPT, "the pixel data offset points into the header");
    if (h.data_offset > size) return refuse(IMPORT_TRUNCATED, "the pixel data offset points past the end of the file");
    if (comp == BMP_RLE8 || comp == BMP_RLE4) return decoded();
    const uint64_t stride = ((uint64_t)h.width * h.bits + 31) / 32 * 4;
    if (stride * (uint64_t)h.height > size - h.data_offset) return truncated();
    return decoded();
}

// ---- Colour table ------------------------------------------------------------

// Reads the entries a paletted image can use as red, green, blue, extra.
// The pixel data offset is the better witness of where the table ends: a
// count the header leaves implicit (2^bits) or one larger than the bit depth
// can index is cut to the entries that fit before the pixels (OS/2 writers
// often store short tables, and a wild count must not reach into the
// pixels); a plausible count the offset cuts into means a damaged header.
decode_result read_colour_table(const unsigned char *bytes, const bmp_header &h, unsigned char (*table)[4],
                                unsigned *count)
{
    *count = 0;
    if (h.bits > 8) return decoded();
    const uint32_t most = 1u << h.bits;
    const size_t fit = (h.data_offset - h.table_start) / h.entry_size;
    uint64_t declared = h.colours_used ? h.colours_used : most;
    if (declared > fit) {
        if (h.colours_used != 0 && h.colours_used <= most)
            return refuse(IMPORT_CORRUPT, "the pixel data offset points into the colour table");
        declared = fit;
    }
    if (declared > 256) declared = 256;  // an 8-bit image indexes no further
    byte_cursor c = make_cursor(bytes + h.table_start, h.data_offset - h.table_start);
    for (unsigned i = 0; i < declared; i++) {
        const unsigned blue = get8(&c), green = get8(&c), red = get8(&c);
        const unsigned extra = h.entry_size == 4 ? get8(&c) : 0;
        table[i][0] = (unsigned char)red, table[i][1] = (unsigned char)green;
        table[i][2] = (unsigned char)blue, table[i][3] = (unsigned char)extra;
    }
    if (c.overrun) return truncated();
    *count = (unsigned)declared;
    return decoded();
}

// ---- Bitfields -----------------------------------------------------------------

decode_result make_channels(const bmp_header &h, bmp_channel *channels)
{
    static const uint32_t masks_555[3] = {0x7C00, 0x03E0, 0x001F};
    static const uint32_t masks_888[3] = {0xFF0000, 0x00FF00, 0x0000FF};
    const uint32_t *masks = h.compression != BMP_RGB ? h.masks : h.bits == 16 ? masks_555 : masks_888;
    for (int i = 0; i < 3; i++) {
        const uint32_t mask = masks[i];
        bmp_channel &ch = channels[i];
        ch.mask = mask, ch.shift = 0, ch.bits = 0;
        if (mask == 0) continue;  // the channel stays zero
        if (h.bits == 16 && mask > 0xFFFF) return refuse(IMPORT_CORRUPT, "a colour mask is wider than the pixel");
        while (!(mask >> ch.shift & 1)) ch.shift++;
        const uint32_t run = mask >> ch.shift;
        if (run & (run + 1)) return refuse(IMPORT_CORRUPT, "a colour mask is not contiguous");
        while (ch.bits < 32 && (run >> ch.bits & 1)) ch.bits++;
    }
    return decoded();
}

unsigned channel_value(const bmp_channel &ch, uint32_t pixel)
{
    return ch.bits ? scale_to_8bit((pixel & ch.mask) >> ch.shift, ch.bits) : 0;
}

// ---- Uncompressed rows -------------------------------------------------------

// Decodes only the rows and columns that land in the top-left 256 x 256;
// check_header has made sure every declared row is present.
void read_rows(const unsigned char *bytes, const bmp_header &h, const bmp_painter &p, const bmp_channel *channels)
{
    const size_t stride = (size_t)(((uint64_t)h.width * h.bits + 31) / 32 * 4);
    const int64_t rows = h.height < PAGE_SIZE ? h.height : (int64_t)PAGE_SIZE;
    const int64_t columns = h.width < PAGE_SIZE ? h.width : (int64_t)PAGE_SIZE;
    const size_t used = (size_t)((columns * h.bits + 7) / 8);
    const unsigned pixel_bytes = h.bits / 8;
    for (int64_t y = 0; y < rows; y++) {
        const int64_t row = h.top_down ? y : h.height - 1 - y;
        byte_cursor c = make_cursor(bytes + h.data_offset + (size_t)row * stride, stride);
        const unsigned char *q = cursor_take(&c, used);
        if (!q) return;
        for (int64_t x = 0; x < columns; x++) {
            if (h.bits <= 8) {
                const size_t bit = (size_t)x * h.bits;
                paint_index(p, x, y, q[bit / 8] >> (8 - h.bits - bit % 8) & ((1u << h.bits) - 1));
                continue;
            }
            const unsigned char *px = q + (size_t)x * pixel_bytes;
            if (h.bits == 24) {
                put_rgb(p.image, x, y, px[2], px[1], px[0]);
                continue;
            }
            const uint32_t pixel = h.bits == 16 ? le16_at(px) : le32_at(px);
            put_rgb(p.image, x, y, channel_value(channels[0], pixel), channel_value(channels[1], pixel),
                    channel_value(channels[2], pixel));
        }
    }
}

// ---- RLE ---------------------------------------------------------------------

// RLE8 and RLE4 rows run bottom-up from the pixel data offset to the end of
// the file. Every run must stay inside its row and every move inside the
// image; the stream ends with its end-of-bitmap marker, or with the line end
// that closes the last row.
decode_result read_rle(const unsigned char *bytes, size_t size, const bmp_header &h, const bmp_painter &p)
{
    const bool rle4 = h.compression == BMP_RLE4;
    byte_cursor c = make_cursor(bytes + h.data_offset, size - h.data_offset);
    int64_t x = 0, row = 0;  // row counts up from the bottom of the picture
    for (;;) {
        if (cursor_left(&c) < 2) return row == h.height ? decoded() : truncated();
        const unsigned count = get8(&c), value = get8(&c);
        if (count == 0 && value == 1) return decoded();
        if (count == 0 && value == 0) {
            if (row == h.height) return refuse(IMPORT_CORRUPT, "the RLE data runs past the end of the image");
            row++, x = 0;
            continue;
        }
        if (count == 0 && value == 2) {
            const unsigned right = get8(&c), up = get8(&c);
            if (c.overrun) return truncated();
            if (right > h.width - x || up > h.height - row)
                return refuse(IMPORT_CORRUPT, "an RLE delta moves past the end of the image");
            x += right, row += up;
            continue;
        }
        // An encoded run repeats `value` (two alternating nibbles for RLE4);
        // an absolute run of `value` pixels follows, padded to 16 bits.
        const unsigned run = count ? count : value;
        const unsigned char *literal = nullptr;
        if (!count) {
            const size_t length = rle4 ? (run + 1) / 2 : run;
            literal = cursor_take(&c, length + (length & 1));
            if (!literal) return truncated();
        }
        if (row >= h.height) return refuse(IMPORT_CORRUPT, "the RLE data runs past the end of the image");
        if (run > h.width - x) return refuse(IMPORT_CORRUPT, "an RLE run runs past the end of its row");
        const int64_t y = h.height - 1 - row;
        for (unsigned i = 0; i < run; i++, x++) {
            unsigned index = literal ? literal[rle4 ? i / 2 : i] : value;
            if (rle4) index = i % 2 ? index & 0x0F : index >> 4;
            paint_index(p, x, y, index);
        }
    }
}

}  // namespace

decode_result decode_bmp(const unsigned char *bytes, size_t size, import_image *image)
{
    bmp_header h;
    decode_result result = read_header(bytes, size, &h);
    if (result.code == IMPORT_OK) result = check_header(h, size);
    unsigned char table[256][4] = {};
    unsigned count = 0;
    if (result.code == IMPORT_OK) result = read_colour_table(bytes, h, table, &count);
    bmp_channel channels[3] = {};
    if (result.code == IMPORT_OK && (h.bits == 16 || h.bits == 32)) result = make_channels(h, channels);
    if (result.code != IMPORT_OK) return result;

    const bool rle = h.compression == BMP_RLE8 || h.compression == BMP_RLE4;
    // A 256 x 256 8-bit Windows bitmap keeps its indices and table as they are.
    if (h.windows && h.bits == 8 && h.width == PAGE_SIZE && h.height == PAGE_SIZE &&
        (h.compression == BMP_RGB || h.compression == BMP_RLE8)) {
        result = begin_indexed_image(image, table, (int)count);
    } else {
        result = begin_rgb_image(image, (int)h.width, (int)h.height);
        // Pixels an RLE stream skips take the colour of index 0.
        if (result.code == IMPORT_OK && rle && count > 0)
            for (int64_t y = 0; y < h.height && y < PAGE_SIZE; y++)
                for (int64_t x = 0; x < h.width && x < PAGE_SIZE; x++)
                    put_rgb(image, x, y, table[0][0], table[0][1], table[0][2]);
    }
    if (result.code != IMPORT_OK) return result;

    const bmp_painter painter = {image, table, count};
    if (rle)
        result = read_rle(bytes, size, h, painter);
    else
        read_rows(bytes, h, painter, channels);
    if (result.code != IMPORT_OK) free_import_image(image);
    return result;
}
