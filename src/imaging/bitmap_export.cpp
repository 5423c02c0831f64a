// Bitmap export: the page encoder and the whole-or-nothing file writer.
#include "imaging/bitmap_export.h"

#include <stdlib.h>
#include <string.h>

#include "base/byte_writer.h"
#include "base/debug_log.h"
#include "base/file_io.h"
#include "level/level.h"
#include "level/texture_store.h"

int encode_page_bitmap(level *lvl, int page, int palette_id, bool want_8bit, unsigned char *out,
                       size_t *size)
{
    if (!lvl || page < 0 || page >= lvl->texture_count || !lvl->textures[page].pixels)
        return EXPORT_BAD_PAGE;
    const level_texture &texture = lvl->textures[page];
    const level_palette *palette = nullptr;
    if (texture.paletted) {
        palette = palette_by_id(lvl, palette_id);
        if (!palette) return EXPORT_NO_PALETTE;
    } else {
        want_8bit = false;
    }
    const uint32_t file_size = want_8bit ? BITMAP_8BIT_FILE_SIZE : BITMAP_24BIT_FILE_SIZE;
    const uint32_t data_offset = want_8bit ? BITMAP_HEADER_SIZE + 1024 : BITMAP_HEADER_SIZE;

    unsigned char *p = out;
    p = put8(p, 'B');                               // signature
    p = put8(p, 'M');
    p = put32le(p, file_size);                      // file size
    p = put32le(p, 0);                              // reserved (two words)
    p = put32le(p, data_offset);                    // offset of the pixel data
    p = put32le(p, 40);                             // info header size
    p = put32le(p, PAGE_SIZE);                      // width
    p = put32le(p, PAGE_SIZE);                      // height, positive: bottom row first
    p = put16le(p, 1);                              // planes
    p = put16le(p, want_8bit ? 8 : 24);             // bits per pixel
    p = put32le(p, 0);                              // compression: none
    p = put32le(p, want_8bit ? PAGE_PIXELS : PAGE_PIXELS * 3);  // image data size
    p = put32le(p, 2835);                           // horizontal pixels per metre
    p = put32le(p, 2835);                           // vertical pixels per metre
    p = put32le(p, 0);                              // colours used: all
    p = put32le(p, 0);                              // important colours: all

    if (want_8bit) {
        for (int i = 0; i < 256; i++) {             // blue, green, red, extra as stored
            p = put8(p, palette->entries[i][2]);
            p = put8(p, palette->entries[i][1]);
            p = put8(p, palette->entries[i][0]);
            p = put8(p, palette->entries[i][3]);
        }
        const unsigned char *indices = page_indices(texture);
        for (int y = PAGE_SIZE - 1; y >= 0; y--) {
            memcpy(p, indices + y * PAGE_SIZE, PAGE_SIZE);
            p += PAGE_SIZE;
        }
    } else {
        for (int y = PAGE_SIZE - 1; y >= 0; y--, p += PAGE_SIZE * 3) page_row_colours(texture, palette, y, p, true);
    }
    *size = (size_t)(p - out);
    return EXPORT_OK;
}

void page_row_colours(const level_texture &texture, const level_palette *palette, int y, unsigned char *out,
                      bool blue_first)
{
    // One pass in the file's own channel order: the 24-bit export of the
    // benchmark level spends most of its time here.
    const int r = blue_first ? 2 : 0, b = 2 - r;
    if (texture.paletted) {
        const unsigned char *row = page_indices(texture) + y * PAGE_SIZE;
        for (int x = 0; x < PAGE_SIZE; x++, out += 3) {
            const unsigned char *entry = palette->entries[row[x]];
            out[r] = entry[0];
            out[1] = entry[1];
            out[b] = entry[2];
        }
        return;
    }
    const uint16_t *row = page_pixels16(texture) + y * PAGE_SIZE;
    for (int x = 0; x < PAGE_SIZE; x++, out += 3) {
        unsigned v = row[x];
        out[r] = rgb15_red(v);
        out[1] = rgb15_green(v);
        out[b] = rgb15_blue(v);
    }
}

const char *export_failure(int result)
{
    switch (result) {
    case EXPORT_CANNOT_CREATE: return "the file cannot be created";
    case EXPORT_NO_PALETTE: return "the page's palette is missing";
    case EXPORT_WRITE_FAILED: return "writing the file failed; nothing was changed";
    default: return "the page cannot be exported";
    }
}

int write_page_bitmap_file(level *lvl, int page, int palette_id, bool want_8bit, const char *path)
{
    // Everything is encoded before the disk is touched, so a refusal leaves
    // no file behind.
    unsigned char *bytes = (unsigned char *)malloc(BITMAP_24BIT_FILE_SIZE);
    if (!bytes) return EXPORT_WRITE_FAILED;
    size_t size = 0;
    int result = encode_page_bitmap(lvl, page, palette_id, want_8bit, bytes, &size);
    if (result == EXPORT_NO_PALETTE)
        debug_log(" Palette %d does not exist; the page was not exported.", palette_id);
    if (result == EXPORT_OK) result = export_result_of_write(write_file_whole(path, bytes, size));
    free(bytes);
    return result;
}
