// Bitmap export: the page encoder and the whole-or-nothing file writer.
#include "imaging/bitmap_export.h"

#include <stdlib.h>
#include <string.h>

#include "base/byte_writer.h"
#include "base/debug_log.h"
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
    } else if (texture.paletted) {
        const unsigned char *indices = page_indices(texture);
        for (int y = PAGE_SIZE - 1; y >= 0; y--) {
            const unsigned char *row = indices + y * PAGE_SIZE;
            for (int x = 0; x < PAGE_SIZE; x++) {
                const unsigned char *entry = palette->entries[row[x]];
                p[0] = entry[2];
                p[1] = entry[1];
                p[2] = entry[0];
                p += 3;
            }
        }
    } else {
        // The low three bits of each channel stay 0; bit 15 is not colour,
        // so the transparent key is written as (8, 8, 8).
        const uint16_t *pixels = page_pixels16(texture);
        for (int y = PAGE_SIZE - 1; y >= 0; y--) {
            const uint16_t *row = pixels + y * PAGE_SIZE;
            for (int x = 0; x < PAGE_SIZE; x++) {
                unsigned v = row[x];
                p[0] = (unsigned char)((v & 0x1F) << 3);
                p[1] = (unsigned char)(((v >> 5) & 0x1F) << 3);
                p[2] = (unsigned char)(((v >> 10) & 0x1F) << 3);
                p += 3;
            }
        }
    }
    *size = (size_t)(p - out);
    return EXPORT_OK;
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
    if (result != EXPORT_OK) {
        free(bytes);
        return result;
    }

    // Written beside the target and renamed over it when complete, so a
    // failed write neither leaves half a file nor destroys an older one.
    char temp_path[LEVEL_PATH_SIZE + 16];
    if (snprintf(temp_path, sizeof temp_path, "%s.part", path) >= (int)sizeof temp_path) {
        free(bytes);
        return EXPORT_CANNOT_CREATE;
    }
    FILE *file = fopen(temp_path, "wb");
    if (!file) {
        free(bytes);
        return EXPORT_CANNOT_CREATE;
    }
    bool written = fwrite(bytes, 1, size, file) == size;
    written = fflush(file) == 0 && written;
    written = fclose(file) == 0 && written;
    free(bytes);
    if (!written || rename(temp_path, path) != 0) {
        remove(temp_path);
        debug_log(" Failed to write %s.", path);
        return EXPORT_WRITE_FAILED;
    }
    return EXPORT_OK;
}
