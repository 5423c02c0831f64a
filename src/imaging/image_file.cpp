// Reading an image file for import: the 8-bit bitmap, PNG and Allegro ways.
#include "imaging/image_file.h"

#include <allegro.h>
#include <stdlib.h>
#include <string.h>

#include "base/file_io.h"
#include "imaging/bitmap_import.h"
#include "imaging/png_image.h"
#include "level/level.h"

namespace {

// A PNG file is read whole; a larger one is cut here and refused as corrupt.
enum { PNG_MAX_FILE_BYTES = 1 << 30, SNIFF_BYTES = 54 + 1024 + PAGE_PIXELS };

const unsigned char png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

}  // namespace

int load_allegro_image(const char *path, import_image *image)
{
    *image = import_image();
    const int old_depth = get_color_depth();
    const int old_conversion = get_color_conversion();
    set_color_depth(32);
    set_color_conversion(COLORCONV_TOTAL);
    BITMAP *loaded = load_bitmap(path, nullptr);
    BITMAP *work = loaded ? create_bitmap_ex(32, PAGE_SIZE, PAGE_SIZE) : nullptr;
    set_color_conversion(old_conversion);
    set_color_depth(old_depth);
    unsigned char *pixels = work ? (unsigned char *)malloc(PAGE_PIXELS * 3) : nullptr;
    if (!pixels) {
        if (work) destroy_bitmap(work);
        if (loaded) destroy_bitmap(loaded);
        return IMPORT_CANNOT_OPEN;
    }
    // The top-left 256 x 256 pixels, black where the image is smaller.
    clear_to_color(work, makecol32(0, 0, 0));
    blit(loaded, work, 0, 0, 0, 0, PAGE_SIZE, PAGE_SIZE);
    unsigned char *out = pixels;
    for (int y = 0; y < PAGE_SIZE; y++) {
        const uint32_t *row = (const uint32_t *)(void *)work->line[y];
        for (int x = 0; x < PAGE_SIZE; x++, out += 3) {
            out[0] = (unsigned char)getr32(row[x]);
            out[1] = (unsigned char)getg32(row[x]);
            out[2] = (unsigned char)getb32(row[x]);
        }
    }
    image->width = loaded->w;
    image->height = loaded->h;
    image->pixels = pixels;
    destroy_bitmap(work);
    destroy_bitmap(loaded);
    return IMPORT_OK;
}

int load_import_image(const char *path, import_image *image)
{
    *image = import_image();
    size_t size = 0;
    unsigned char *bytes = read_file_start(path, SNIFF_BYTES, &size);
    if (!bytes) return IMPORT_CANNOT_OPEN;
    int result;
    if (size >= sizeof png_signature && memcmp(bytes, png_signature, sizeof png_signature) == 0) {
        // Known by its signature before any bitmap check, which would log
        // "Not a windows bitmap." for it.
        free(bytes);
        bytes = read_file_start(path, PNG_MAX_FILE_BYTES, &size);
        if (!bytes) return IMPORT_CANNOT_OPEN;
        result = decode_png_image(bytes, size, image);
    } else if (check_8bit_bitmap_bytes(bytes, size) == 0) {
        result = decode_8bit_bitmap_image(bytes, size, image);
    } else {
        result = load_allegro_image(path, image);
    }
    free(bytes);
    return result;
}

void free_import_image(import_image *image)
{
    free(image->pixels);
    *image = import_image();
}
