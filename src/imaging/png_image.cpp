// PNG through libpng: encoding a page to memory and decoding a file for import.
//
// libpng reports errors by longjmp to the setjmp of the call that started
// the work. Each function that calls setjmp keeps nothing there that needs
// cleaning up: buffers live in a plain state struct owned by its caller,
// which frees them whatever happened.
#include "imaging/png_image.h"

#include <png.h>
#include <setjmp.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "base/debug_log.h"
#include "base/file_io.h"
#include "imaging/bitmap_export.h"
#include "imaging/bitmap_import.h"
#include "imaging/image_file.h"
#include "level/level.h"
#include "level/texture_store.h"

namespace {

// Ancillary chunks (text, profiles) may take at most this much memory each.
enum { PNG_CHUNK_MAX_BYTES = 4 << 20 };

// What the error handler keeps: libpng's last error message.
struct png_errors {
    char message[200];
};

void on_png_error(png_structp png, png_const_charp message)
{
    png_errors *errors = (png_errors *)png_get_error_ptr(png);
    snprintf(errors->message, sizeof errors->message, "%s", message);
    png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp message)
{
    debug_log(" libpng: %s", message);
}

// ---------------------------------------------------------------------------
// Encoding

struct png_output {
    unsigned char *data;
    size_t size, capacity;
};

void write_output(png_structp png, png_bytep bytes, png_size_t length)
{
    png_output *out = (png_output *)png_get_io_ptr(png);
    if (length > out->capacity - out->size) {
        size_t capacity = out->capacity * 2 + length;
        unsigned char *grown = (unsigned char *)realloc(out->data, capacity);
        if (!grown) png_error(png, "out of memory");
        out->data = grown;
        out->capacity = capacity;
    }
    memcpy(out->data + out->size, bytes, length);
    out->size += length;
}

void flush_output(png_structp) {}

// What the encoder writes from: the page, its palette (null for a 15-bit
// page) and a row buffer for RGB rows.
struct png_encoding {
    const level_texture *texture;
    const level_palette *palette;
    bool paletted_file;
    unsigned char row[PAGE_SIZE * 3];
};

// Writes the whole PNG; returns 0, or 1 when libpng failed.
int run_png_write(png_structp png, png_infop info, png_encoding *e)
{
    if (setjmp(png_jmpbuf(png))) return 1;
    png_set_IHDR(png, info, PAGE_SIZE, PAGE_SIZE, 8, e->paletted_file ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (e->paletted_file) {
        png_color colours[256];
        for (int i = 0; i < 256; i++) {
            colours[i].red = e->palette->entries[i][0];
            colours[i].green = e->palette->entries[i][1];
            colours[i].blue = e->palette->entries[i][2];
        }
        png_set_PLTE(png, info, colours, 256);
    }
    png_write_info(png, info);
    for (int y = 0; y < PAGE_SIZE; y++) {
        if (e->paletted_file) {
            png_write_row(png, page_indices(*e->texture) + y * PAGE_SIZE);
        } else {
            page_row_colours(*e->texture, e->palette, y, e->row);
            png_write_row(png, e->row);
        }
    }
    png_write_end(png, info);
    return 0;
}

// ---------------------------------------------------------------------------
// Decoding

struct png_input {
    const unsigned char *p;
    size_t left;
};

void read_input(png_structp png, png_bytep out, png_size_t length)
{
    png_input *in = (png_input *)png_get_io_ptr(png);
    if (length > in->left) png_error(png, "the file is truncated");
    memcpy(out, in->p, length);
    in->p += length;
    in->left -= length;
}

// What the decoder fills: the image (pixels allocated by the caller) and a
// row buffer of `row_size` bytes for the file's whole rows.
struct png_decoding {
    import_image *image;
    unsigned char *row;
    size_t row_size;
};

// Reads the whole PNG into the image; returns 0, or 1 when libpng failed.
int run_png_read(png_structp png, png_infop info, png_decoding *d)
{
    if (setjmp(png_jmpbuf(png))) return 1;
    import_image *image = d->image;
    png_read_info(png, info);
    png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    if (image->indexed) {
        png_colorp colours = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &colours, &count) != PNG_INFO_PLTE) png_error(png, "no palette");
        for (int i = 0; i < count && i < 256; i++) {
            image->entries[i][0] = colours[i].red;
            image->entries[i][1] = colours[i].green;
            image->entries[i][2] = colours[i].blue;
        }
    } else {
        png_set_expand(png);
        png_set_strip_16(png);
        png_set_strip_alpha(png);
        png_set_gray_to_rgb(png);
    }
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) > d->row_size) png_error(png, "unexpected row size");

    // An interlaced file fills each row over several passes, so a kept row
    // goes back into the row buffer before the next pass adds to it; only
    // the kept columns matter.
    const size_t pixel_size = image->indexed ? 1 : 3;
    const size_t kept = (width < (png_uint_32)PAGE_SIZE ? width : (png_uint_32)PAGE_SIZE) * pixel_size;
    for (int pass = 0; pass < passes; pass++) {
        for (png_uint_32 y = 0; y < height; y++) {
            unsigned char *target = y < PAGE_SIZE ? image->pixels + y * PAGE_SIZE * pixel_size : nullptr;
            if (target) memcpy(d->row, target, kept);
            png_read_row(png, d->row, nullptr);
            if (target) memcpy(target, d->row, kept);
        }
    }
    png_read_end(png, nullptr);
    return 0;
}

}  // namespace

int encode_page_png(level *lvl, int page, int palette_id, bool want_8bit, unsigned char **out, size_t *size)
{
    *out = nullptr;
    *size = 0;
    if (!lvl || page < 0 || page >= lvl->texture_count || !lvl->textures || !lvl->textures[page].pixels)
        return EXPORT_BAD_PAGE;
    png_encoding *e = (png_encoding *)malloc(sizeof(png_encoding));
    if (!e) return EXPORT_WRITE_FAILED;
    e->texture = &lvl->textures[page];
    e->palette = nullptr;
    if (e->texture->paletted) {
        e->palette = palette_by_id(lvl, palette_id);
        if (!e->palette) {
            free(e);
            return EXPORT_NO_PALETTE;
        }
    }
    e->paletted_file = e->texture->paletted && want_8bit;

    png_errors errors = {};
    png_output output = {nullptr, 0, 0};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &errors, on_png_error, on_png_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    int failed = 1;
    if (info) {
        png_set_write_fn(png, &output, write_output, flush_output);
        failed = run_png_write(png, info, e);
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    free(e);
    if (failed) {
        free(output.data);
        debug_log(" Failed to encode the page as PNG: %s.", errors.message[0] ? errors.message : "out of memory");
        return EXPORT_WRITE_FAILED;
    }
    *out = output.data;
    *size = output.size;
    return EXPORT_OK;
}

int write_page_png_file(level *lvl, int page, int palette_id, bool want_8bit, const char *path)
{
    unsigned char *bytes;
    size_t size;
    int result = encode_page_png(lvl, page, palette_id, want_8bit, &bytes, &size);
    if (result == EXPORT_NO_PALETTE)
        debug_log(" Palette %d does not exist; the page was not exported.", palette_id);
    if (result == EXPORT_OK) result = export_result_of_write(write_file_whole(path, bytes, size));
    free(bytes);
    return result;
}

int decode_png_image(const unsigned char *bytes, size_t size, import_image *image)
{
    *image = import_image();
    // The signature and the header chunk are looked at first, so that a huge
    // image is refused before libpng or anything else allocates for it.
    static const unsigned char signature[12] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};
    if (size < 33 || memcmp(bytes, signature, sizeof signature) != 0 || memcmp(bytes + 12, "IHDR", 4) != 0) {
        debug_log("Can't load the PNG image: it has no PNG signature and header.");
        return IMPORT_CORRUPT;
    }
    const uint32_t width = (uint32_t)bytes[16] << 24 | bytes[17] << 16 | bytes[18] << 8 | bytes[19];
    const uint32_t height = (uint32_t)bytes[20] << 24 | bytes[21] << 16 | bytes[22] << 8 | bytes[23];
    if (width > IMAGE_MAX_SIDE || height > IMAGE_MAX_SIDE) {
        debug_log("Can't load the PNG image: it is %u x %u pixels, larger than %d x %d.", width, height,
                  IMAGE_MAX_SIDE, IMAGE_MAX_SIDE);
        return IMPORT_TOO_LARGE;
    }
    const int depth = bytes[24], colour_type = bytes[25];
    image->indexed = width == PAGE_SIZE && height == PAGE_SIZE && depth == 8 && colour_type == PNG_COLOR_TYPE_PALETTE;
    image->width = (int)width;
    image->height = (int)height;

    png_errors errors = {};
    png_input input = {bytes, size};
    png_decoding d = {image, nullptr, (size_t)(width > 0 ? width : 1) * 3};
    image->pixels = (unsigned char *)calloc(1, image->indexed ? PAGE_PIXELS : PAGE_PIXELS * 3);
    d.row = (unsigned char *)malloc(d.row_size);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &errors, on_png_error, on_png_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    int result = IMPORT_NO_MEMORY;
    if (image->pixels && d.row && info) {
        png_set_read_fn(png, &input, read_input);
        png_set_user_limits(png, IMAGE_MAX_SIDE, IMAGE_MAX_SIDE);
        png_set_chunk_malloc_max(png, PNG_CHUNK_MAX_BYTES);
        result = run_png_read(png, info, &d) ? IMPORT_CORRUPT : IMPORT_OK;
    }
    png_destroy_read_struct(png ? &png : nullptr, info ? &info : nullptr, nullptr);
    free(d.row);
    if (result == IMPORT_NO_MEMORY) debug_log(" Failed to allocate space for the picture.");
    if (result == IMPORT_CORRUPT) debug_log("Can't load the PNG image: %s.", errors.message);
    if (result != IMPORT_OK) free_import_image(image);
    return result;
}
