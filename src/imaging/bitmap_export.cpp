// Bitmap export: the page encoder, the stream writer and the export command's
// work after the save dialog.
#include "imaging/bitmap_export.h"

#include <allegro.h>
#include <stdlib.h>
#include <string.h>

#include "app/app_state.h"
#include "base/debug_log.h"
#include "app/settings.h"
#include "level/level.h"
#include "level/texture_store.h"

const char EXPORT_FILTER_PALETTED[] = "24-bit Bitmap\0*.bmp\0" "8-bit Bitmap\0*.bmp\0";
const char EXPORT_FILTER_15BIT[] = "24-bit Bitmap\0*.bmp\0";

namespace {

unsigned char *put16le(unsigned char *p, unsigned v)
{
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
    return p + 2;
}

unsigned char *put32le(unsigned char *p, uint32_t v)
{
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
    p[2] = (unsigned char)(v >> 16);
    p[3] = (unsigned char)(v >> 24);
    return p + 4;
}

const level_palette *palette_by_id(const level *lvl, int id)
{
    if (id < 0 || id >= lvl->palette_table_size || !lvl->palette_table) return nullptr;
    return lvl->palette_table[id];
}

}  // namespace

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
    *p++ = 'B';                                     // signature
    *p++ = 'M';
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
            *p++ = palette->entries[i][2];
            *p++ = palette->entries[i][1];
            *p++ = palette->entries[i][0];
            *p++ = palette->entries[i][3];
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

int write_page_bitmap(level *lvl, FILE *out, int page, int palette_id, bool want_8bit)
{
    unsigned char *bytes = (unsigned char *)malloc(BITMAP_24BIT_FILE_SIZE);
    if (!bytes) return EXPORT_WRITE_FAILED;
    size_t size = 0;
    int result = encode_page_bitmap(lvl, page, palette_id, want_8bit, bytes, &size);
    if (result == EXPORT_OK && fwrite(bytes, 1, size, out) != size) result = EXPORT_WRITE_FAILED;
    free(bytes);
    return result;
}

int export_page_to_file(level *lvl, int page, const char *chosen_name, int filter_index)
{
    if (filter_index < 1 || !chosen_name) {
        debug_log("Finished exporting image.");
        return EXPORT_CANCELLED;
    }
    // The name, with ".bmp" unless it already ends in exactly that.
    char path[LEVEL_PATH_SIZE + 8];
    size_t length = strlen(chosen_name);
    if (length >= LEVEL_PATH_SIZE) return EXPORT_CANNOT_CREATE;
    memcpy(path, chosen_name, length + 1);
    if (length < 4 || strcmp(path + length - 4, ".bmp") != 0) memcpy(path + length, ".bmp", 5);

    if (!lvl || page < 0 || page >= lvl->texture_count) return EXPORT_BAD_PAGE;
    const int palette_id = current_palette_id(lvl, page);
    const bool want_8bit = filter_index >= EXPORT_FILTER_8BIT;

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
    char temp_path[sizeof path + 8];
    snprintf(temp_path, sizeof temp_path, "%s.part", path);
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

    if (current_settings) {
        char folder[SETTINGS_PATH_SIZE];
        replace_filename(folder, path, "", sizeof folder);
        memcpy(current_settings->export_directory, folder, sizeof folder);
    }
    debug_log("Finished exporting image.");
    return EXPORT_OK;
}

int export_image_command(level *lvl, int page, file_dialog_function save_dialog)
{
    debug_log("Exporting image.");
    const bool paletted = lvl && page >= 0 && page < lvl->texture_count && lvl->textures[page].paletted;
    char path[LEVEL_PATH_SIZE] = "";
    char title[256] = "";
    int filter = -1;
    if (save_dialog)
        filter = save_dialog(paletted ? EXPORT_FILTER_PALETTED : EXPORT_FILTER_15BIT, path, sizeof path, title,
                             sizeof title, current_settings ? current_settings->export_directory : "");
    return export_page_to_file(lvl, page, path, filter);
}
