// Reading an image file for import: the 8-bit bitmap, PNG and Allegro ways.
#include "imaging/image_file.h"

#include <allegro.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "base/byte_cursor.h"
#include "base/debug_log.h"
#include "base/file_io.h"
#include "imaging/bitmap_import.h"
#include "imaging/png_image.h"
#include "level/level.h"

namespace {

// A PNG file is read whole; a larger one is cut here and refused as corrupt.
// Other files are told apart by their start: as much as the 8-bit importer reads.
enum { PNG_MAX_FILE_BYTES = 1 << 30, SNIFF_BYTES = 54 + 1024 + PAGE_PIXELS };

const unsigned char png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool has_extension(const char *path, const char *extension)
{
    size_t length = strlen(path), n = strlen(extension);
    return length >= n && strcasecmp(path + length - n, extension) == 0;
}

// The size a file for Allegro's loaders declares in its header (BMP, PCX,
// TGA, LBM), so that a hostile header is refused before Allegro allocates
// for it; false when the header is not one of those or too short.
bool declared_size(const char *path, const unsigned char *b, size_t size, uint32_t *width, uint32_t *height)
{
    if (size >= 26 && b[0] == 'B' && b[1] == 'M') {
        if (le32_at(b + 14) == 12) {  // the old 12-byte header: 16-bit sides
            *width = le16_at(b + 18), *height = le16_at(b + 20);
        } else {
            int32_t h = (int32_t)le32_at(b + 22);  // negative: rows top first
            *width = le32_at(b + 18), *height = h < 0 ? 0u - (uint32_t)h : (uint32_t)h;
        }
        return true;
    }
    if (size >= 12 && b[0] == 0x0A && has_extension(path, ".pcx")) {
        *width = le16_at(b + 8) - le16_at(b + 4) + 1u, *height = le16_at(b + 10) - le16_at(b + 6) + 1u;
        return true;
    }
    if (size >= 18 && has_extension(path, ".tga")) {
        *width = le16_at(b + 12), *height = le16_at(b + 14);
        return true;
    }
    if (size >= 24 && memcmp(b, "FORM", 4) == 0 && memcmp(b + 12, "BMHD", 4) == 0) {
        *width = (uint32_t)b[20] << 8 | b[21], *height = (uint32_t)b[22] << 8 | b[23];
        return true;
    }
    return false;
}

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
        uint32_t width = 0, height = 0;
        if (declared_size(path, bytes, size, &width, &height) && (width > IMAGE_MAX_SIDE || height > IMAGE_MAX_SIDE)) {
            debug_log("Can't load the image: it is %u x %u pixels, larger than %d x %d.", width, height,
                      IMAGE_MAX_SIDE, IMAGE_MAX_SIDE);
            result = IMPORT_TOO_LARGE;
        } else {
            result = load_allegro_image(path, image);
        }
    }
    free(bytes);
    return result;
}

void free_import_image(import_image *image)
{
    free(image->pixels);
    *image = import_image();
}
