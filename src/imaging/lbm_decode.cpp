// The LBM decoder: IFF pictures, ILBM bit planes (1 to 8) and PBM chunky pixels.
#include <stdint.h>
#include <string.h>

#include "base/byte_cursor.h"
#include "imaging/image_decode.h"

namespace {

enum { BMHD_BYTES = 20, LBM_MAX_PLANES = 8 };
enum { CAMG_EXTRA_HALF_BRITE = 0x80, CAMG_HAM = 0x800 };
enum { MASK_PLANE = 1 };   // BMHD masking: a mask plane follows each row's planes
// The longest line: 8192 pixels of 8 planes and a mask, or 8192 chunky bytes.
enum { LBM_LINE_MAX = IMAGE_MAX_SIDE / 8 * (LBM_MAX_PLANES + 1) };

// The chunks the decoder uses: the first BMHD, CMAP and BODY count.
struct lbm_chunks {
    bool chunky;              // PBM rather than ILBM
    bool have_header, have_map, have_body;
    byte_cursor header, map, body;
    uint32_t viewport_modes;  // CAMG
};

bool has_id(const unsigned char *id, const char *name) { return memcmp(id, name, 4) == 0; }

// Walks the FORM's chunks. Every length is checked against what is left of
// the FORM; odd lengths are followed by a pad byte.
decode_result find_chunks(byte_cursor *form, lbm_chunks *k)
{
    while (cursor_left(form) >= 8) {
        const unsigned char *id = cursor_take(form, 4);
        const uint32_t length = get32be(form);
        if (length > cursor_left(form)) return refuse(IMPORT_CORRUPT, "an IFF chunk runs past the end of its FORM");
        byte_cursor chunk = sub_cursor(form, length);
        if ((length & 1) && cursor_left(form) > 0) cursor_skip(form, 1);
        if (has_id(id, "BMHD") && !k->have_header) k->header = chunk, k->have_header = true;
        else if (has_id(id, "CMAP") && !k->have_map) k->map = chunk, k->have_map = true;
        else if (has_id(id, "BODY") && !k->have_body) k->body = chunk, k->have_body = true;
        else if (has_id(id, "CAMG") && length >= 4) k->viewport_modes = get32be(&chunk);
    }
    if (!k->have_header) return refuse(IMPORT_CORRUPT, "the LBM has no header");
    if (!k->have_body) return refuse(IMPORT_CORRUPT, "the LBM has no picture data");
    return decoded();
}

// The BMHD fields the decoder uses.
struct lbm_header {
    unsigned width, height;
    unsigned planes, masking, compression;
};

decode_result read_header(byte_cursor *c, const lbm_chunks &k, lbm_header *h)
{
    if (cursor_left(c) < BMHD_BYTES) return refuse(IMPORT_CORRUPT, "the LBM header is too short");
    h->width = get16be(c);
    h->height = get16be(c);
    cursor_skip(c, 4);   // position on the screen
    h->planes = get8(c);
    h->masking = get8(c);
    h->compression = get8(c);
    const decode_result sides = check_image_sides(h->width, h->height);
    if (sides.code != IMPORT_OK) return sides;
    if (h->planes == 0 || h->masking > 3) return refuse(IMPORT_CORRUPT, "not a valid LBM header");
    if (h->planes > LBM_MAX_PLANES) return refuse(IMPORT_UNSUPPORTED, "an LBM with more than 8 planes (not supported)");
    if (k.chunky && h->planes != 8) return refuse(IMPORT_UNSUPPORTED, "a PBM LBM other than 8-bit (not supported)");
    if (k.chunky && h->masking == MASK_PLANE)
        return refuse(IMPORT_UNSUPPORTED, "a PBM LBM with a mask plane (not supported)");
    if (h->compression > 1)
        return refuse(IMPORT_UNSUPPORTED, "an LBM compressed with an unknown method (not supported)");
    if (!k.chunky && (k.viewport_modes & CAMG_HAM)) return refuse(IMPORT_UNSUPPORTED, "a HAM LBM (not supported)");
    if (!k.chunky && (k.viewport_modes & CAMG_EXTRA_HALF_BRITE))
        return refuse(IMPORT_UNSUPPORTED, "an extra-half-brite LBM (not supported)");
    return decoded();
}

// Without a colour map, pixel values are grey levels from black to white.
void read_colour_map(const lbm_chunks &k, const lbm_header &h, unsigned char (*palette)[3])
{
    memset(palette, 0, 256 * 3);
    if (!k.have_map) {
        for (unsigned i = 0; i < (1u << h.planes); i++)
            palette[i][0] = palette[i][1] = palette[i][2] = (unsigned char)scale_to_8bit(i, h.planes);
        return;
    }
    byte_cursor map = k.map;
    const size_t count = cursor_left(&map) / 3 < 256 ? cursor_left(&map) / 3 : 256;
    get_bytes(&map, palette, count * 3);
}

// Unpacks ByteRun1 into exactly `n` bytes. A run may cross from one plane
// into the next (some writers do that) but never past its line.
decode_result unpack_line(byte_cursor *c, unsigned char *out, size_t n)
{
    for (size_t i = 0; i < n;) {
        const unsigned head = get8(c);
        if (c->overrun) return refuse(IMPORT_TRUNCATED, "the file is truncated");
        if (head == 0x80) continue;   // no operation
        const size_t count = head < 0x80 ? head + 1 : 257 - head;
        if (count > n - i) return refuse(IMPORT_CORRUPT, "a compressed run runs past the end of its row");
        if (head < 0x80) {
            if (!get_bytes(c, out + i, count)) return refuse(IMPORT_TRUNCATED, "the file is truncated");
        } else {
            const unsigned value = get8(c);
            if (c->overrun) return refuse(IMPORT_TRUNCATED, "the file is truncated");
            memset(out + i, (int)value, count);
        }
        i += count;
    }
    return decoded();
}

// Paints row `y` from its line: bit planes lowest first (then the mask,
// which is not read), or one byte a pixel.
void paint_line(const unsigned char *line, const lbm_header &h, bool chunky, size_t plane_bytes,
                const unsigned char (*palette)[3], unsigned y, import_image *image)
{
    for (unsigned x = 0; x < h.width && x < PAGE_SIZE; x++) {
        unsigned index = 0;
        if (chunky) {
            index = line[x];
        } else {
            for (unsigned p = 0; p < h.planes; p++)
                index |= ((line[p * plane_bytes + x / 8] >> (7 - x % 8)) & 1u) << p;
        }
        put_rgb(image, x, y, palette[index][0], palette[index][1], palette[index][2]);
    }
}

decode_result read_body(const lbm_chunks &k, const lbm_header &h, import_image *image)
{
    unsigned char palette[256][3];
    read_colour_map(k, h, palette);
    // ILBM rows of each plane are padded to 16 bits, PBM rows to 8.
    const size_t plane_bytes = k.chunky ? 0 : (h.width + 15) / 16 * 2;
    const size_t line_bytes = k.chunky ? h.width + (h.width & 1)
                                       : plane_bytes * (h.planes + (h.masking == MASK_PLANE ? 1 : 0));
    unsigned char line[LBM_LINE_MAX];
    byte_cursor body = k.body;
    for (unsigned y = 0; y < h.height; y++) {
        const unsigned char *row = line;
        if (h.compression == 1) {
            const decode_result r = unpack_line(&body, line, line_bytes);
            if (r.code != IMPORT_OK) return r;
        } else if (!(row = cursor_take(&body, line_bytes))) {
            return refuse(IMPORT_TRUNCATED, "the file is truncated");
        }
        if (y < PAGE_SIZE) paint_line(row, h, k.chunky, plane_bytes, palette, y, image);
    }
    return decoded();
}

}  // namespace

decode_result decode_lbm(const unsigned char *bytes, size_t size, import_image *image)
{
    byte_cursor c = make_cursor(bytes, size);
    const unsigned char *id = cursor_take(&c, 4);
    if (!id || !has_id(id, "FORM")) return refuse(IMPORT_NOT_IMAGE, "not an IFF file");
    const uint32_t form_length = get32be(&c);
    if (c.overrun || form_length > cursor_left(&c)) return refuse(IMPORT_TRUNCATED, "the file is truncated");
    byte_cursor form = sub_cursor(&c, form_length);
    const unsigned char *type = cursor_take(&form, 4);
    if (!type) return refuse(IMPORT_CORRUPT, "the IFF FORM is empty");
    lbm_chunks k = {};
    k.chunky = has_id(type, "PBM ");
    if (!k.chunky && !has_id(type, "ILBM"))
        return refuse(IMPORT_UNSUPPORTED, "an IFF file that is not an ILBM or PBM picture (not supported)");

    decode_result r = find_chunks(&form, &k);
    if (r.code != IMPORT_OK) return r;
    lbm_header h;
    byte_cursor header = k.header;
    r = read_header(&header, k, &h);
    if (r.code != IMPORT_OK) return r;
    r = begin_rgb_image(image, (int)h.width, (int)h.height);
    if (r.code != IMPORT_OK) return r;
    r = read_body(k, h, image);
    if (r.code != IMPORT_OK) free_import_image(image);
    return r;
}
