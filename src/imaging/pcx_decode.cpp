// The PCX decoder: 8-bit paletted and 24-bit (three planes) files, RLE encoded.
#include <stdint.h>
#include <string.h>

#include "base/byte_cursor.h"
#include "imaging/image_decode.h"

namespace {

enum { PCX_HEADER_BYTES = 128, PCX_PALETTE_BYTES = 769, PCX_PALETTE_MARKER = 0x0C };

// The header fields the decoder uses.
struct pcx_header {
    unsigned manufacturer;    // always 0x0A
    unsigned version;
    unsigned encoding;        // 1: RLE
    unsigned bits;            // per pixel in each plane
    int64_t width, height;    // from the window's inclusive corners
    unsigned planes;
    unsigned line_bytes;      // per plane and scanline
};

pcx_header read_header(byte_cursor *c)
{
    pcx_header h;
    h.manufacturer = get8(c);
    h.version = get8(c);
    h.encoding = get8(c);
    h.bits = get8(c);
    const int64_t x_min = get16le(c), y_min = get16le(c);
    const int64_t x_max = get16le(c), y_max = get16le(c);
    h.width = x_max - x_min + 1;
    h.height = y_max - y_min + 1;
    cursor_skip(c, 4 + 48 + 1);   // resolution, 16-colour palette, reserved
    h.planes = get8(c);
    h.line_bytes = get16le(c);
    return h;
}

decode_result check_header(const pcx_header &h)
{
    if (h.version > 5 || h.version == 1) return refuse(IMPORT_NOT_IMAGE, "not a valid PCX header");
    if (h.encoding != 1) return refuse(IMPORT_UNSUPPORTED, "an uncompressed PCX (not supported)");
    if (h.bits == 1) return refuse(IMPORT_UNSUPPORTED, "a 1-bit PCX (not supported)");
    if (h.bits == 2) return refuse(IMPORT_UNSUPPORTED, "a 2-bit PCX (not supported)");
    if (h.bits == 4) return refuse(IMPORT_UNSUPPORTED, "a 4-bit PCX (not supported)");
    if (h.bits != 8) return refuse(IMPORT_CORRUPT, "not a valid PCX header");
    if (h.planes == 4) return refuse(IMPORT_UNSUPPORTED, "a 32-bit PCX (not supported)");
    if (h.planes != 1 && h.planes != 3)
        return refuse(IMPORT_UNSUPPORTED, "a PCX with an unusual number of planes (not supported)");
    const decode_result sides = check_image_sides(h.width, h.height);
    if (sides.code != IMPORT_OK) return sides;
    if (h.line_bytes < h.width) return refuse(IMPORT_CORRUPT, "the PCX line length is shorter than the width");
    return decoded();
}

// The RLE state, which carries over from one scanline to the next: some
// writers let a run cross the end of a line.
struct pcx_rle {
    unsigned run;     // bytes of `value` still to come
    unsigned value;
};

// Decodes one scanline of `h.planes` planes, keeping the first PAGE_SIZE
// bytes of each plane in `planes`. Answers IMPORT_OK or IMPORT_TRUNCATED.
int read_scanline(byte_cursor *c, pcx_rle *rle, const pcx_header &h, unsigned char (*planes)[PAGE_SIZE])
{
    const size_t total = (size_t)h.line_bytes * h.planes;
    for (size_t i = 0; i < total;) {
        if (rle->run == 0) {
            const unsigned b = get8(c);
            if ((b & 0xC0) == 0xC0) rle->run = b & 0x3F, rle->value = get8(c);
            else rle->run = 1, rle->value = b;
            if (c->overrun) return IMPORT_TRUNCATED;
            continue;
        }
        const size_t n = rle->run < total - i ? rle->run : total - i;
        for (size_t k = i; k < i + n; k++) {
            const size_t x = k % h.line_bytes;
            if (x < PAGE_SIZE) planes[k / h.line_bytes][x] = (unsigned char)rle->value;
        }
        rle->run -= (unsigned)n;
        i += n;
    }
    return IMPORT_OK;
}

}  // namespace

decode_result decode_pcx(const unsigned char *bytes, size_t size, import_image *image)
{
    byte_cursor c = make_cursor(bytes, size);
    byte_cursor head = sub_cursor(&c, PCX_HEADER_BYTES);
    const pcx_header h = read_header(&head);
    if (h.manufacturer != 0x0A) return refuse(IMPORT_NOT_IMAGE, "not a PCX file");
    if (head.overrun) return refuse(IMPORT_TRUNCATED, "the file is truncated");
    decode_result r = check_header(h);
    if (r.code != IMPORT_OK) return r;

    // An 8-bit file keeps its palette in the last 769 bytes, after a marker;
    // without the marker it is read as grey, as other readers do.
    unsigned char palette[256][3];
    for (unsigned i = 0; i < 256; i++) palette[i][0] = palette[i][1] = palette[i][2] = (unsigned char)i;
    if (h.planes == 1 && cursor_left(&c) >= PCX_PALETTE_BYTES) {
        byte_cursor tail = make_cursor(bytes, size);
        cursor_skip(&tail, size - PCX_PALETTE_BYTES);
        if (get8(&tail) == PCX_PALETTE_MARKER) {
            get_bytes(&tail, palette, sizeof palette);
            c = sub_cursor(&c, cursor_left(&c) - PCX_PALETTE_BYTES);
        }
    }

    r = begin_rgb_image(image, (int)h.width, (int)h.height);
    if (r.code != IMPORT_OK) return r;
    unsigned char planes[3][PAGE_SIZE];
    memset(planes, 0, sizeof planes);
    pcx_rle rle = {0, 0};
    for (int64_t y = 0; y < h.height; y++) {
        if (read_scanline(&c, &rle, h, planes) != IMPORT_OK) {
            free_import_image(image);
            return refuse(IMPORT_TRUNCATED, "the file is truncated");
        }
        for (int64_t x = 0; x < h.width && x < PAGE_SIZE && y < PAGE_SIZE; x++) {
            const unsigned char *rgb = palette[planes[0][x]];
            if (h.planes == 1) put_rgb(image, x, y, rgb[0], rgb[1], rgb[2]);
            else put_rgb(image, x, y, planes[0][x], planes[1][x], planes[2][x]);
        }
    }
    if (rle.run > 0) {
        free_import_image(image);
        return refuse(IMPORT_CORRUPT, "an RLE run runs past the end of the image");
    }
    return decoded();
}
