// PNG through libpng: encoding a page to memory and decoding a file for import.
//
// libpng reports errors by longjmp to the setjmp of the call that started
// the work. Each function that calls setjmp keeps nothing there that needs
// cleaning up: its buffers (and the image being decoded) belong to its
// caller, which frees them whatever happened.
#include "imaging/png_image.h"

#include <png.h>
#include <setjmp.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "base/byte_cursor.h"
#include "base/debug_log.h"
#include "base/file_io.h"
#include "imaging/bitmap_export.h"
#include "imaging/page_import.h"
#include "imaging/image_decode.h"
#include "imaging/image_file.h"
#include "level/level.h"
#include "level/texture_store.h"

const unsigned char PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

namespace {

// A chunk libpng keeps in memory (the palette, the transparency) may take at
// most this much.
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

// A decoder tells of nothing but its refusal: warnings about a file it still
// reads are dropped.
void ignore_png_warning(png_structp, png_const_charp) {}

void read_input(png_structp png, png_bytep out, png_size_t length)
{
    png_input *in = (png_input *)png_get_io_ptr(png);
    if (length > in->left) png_error(png, "the file is truncated");
    memcpy(out, in->p, length);
    in->p += length;
    in->left -= length;
}

// What the header chunk declares.
struct png_header {
    uint32_t width, height;
    unsigned depth, colour_type;
};

// The bit depths each colour type allows (bit n set: n bits), by colour type.
const unsigned allowed_depths[7] = {1u << 1 | 1u << 2 | 1u << 4 | 1u << 8 | 1u << 16, 0, 1u << 8 | 1u << 16,
                                    1u << 1 | 1u << 2 | 1u << 4 | 1u << 8, 1u << 8 | 1u << 16, 0, 1u << 8 | 1u << 16};

// Walks every chunk before libpng sees the file: the signature, the header
// first and sound, every declared length inside the file, an end chunk.
// libpng trusts a chunk's length and may allocate it whole before finding
// the file shorter, so a few bytes could otherwise cost a gigabyte.
decode_result check_png_chunks(const unsigned char *bytes, size_t size, png_header *header)
{
    if (size == 0 || memcmp(bytes, PNG_SIGNATURE, size < 8 ? size : 8) != 0)  // a cut signature is a cut file
        return refuse(IMPORT_NOT_IMAGE, "the file has no PNG signature");
    byte_cursor c = make_cursor(bytes, size);
    cursor_skip(&c, 8);
    for (bool first = true;; first = false) {
        const uint32_t length = get32be(&c);
        const unsigned char *type = cursor_take(&c, 4);
        if (!type) return refuse(IMPORT_TRUNCATED, "the file is truncated");
        if (length > 0x7FFFFFFF || length > cursor_left(&c) || cursor_left(&c) - length < 4)
            return refuse(IMPORT_TRUNCATED, "a chunk's length runs past the end of the file");
        byte_cursor data = sub_cursor(&c, length);
        cursor_skip(&c, 4);  // the checksum, which libpng checks
        if (first != (memcmp(type, "IHDR", 4) == 0))
            return refuse(IMPORT_CORRUPT, first ? "the PNG file does not start with its header"
                                                : "the PNG file has a second header");
        if (first) {
            if (length != 13) return refuse(IMPORT_CORRUPT, "the PNG header is damaged");
            header->width = get32be(&data);
            header->height = get32be(&data);
            header->depth = get8(&data);
            header->colour_type = get8(&data);
            const unsigned compression = get8(&data), filter = get8(&data), interlace = get8(&data);
            decode_result sides = check_image_sides(header->width, header->height);
            if (sides.code != IMPORT_OK) return sides;
            if (header->colour_type > 6 || header->depth > 16 ||
                !(allowed_depths[header->colour_type] >> header->depth & 1) || compression || filter || interlace > 1)
                return refuse(IMPORT_CORRUPT, "the PNG header is damaged");
        }
        if (memcmp(type, "IEND", 4) == 0) return decoded();  // whatever follows is not read
    }
}

// libpng's error messages as the fixed phrases a refusal gives.
struct png_failure {
    const char *message_part;
    int code;
    const char *reason;
};

const png_failure png_failures[] = {
    {"the file is truncated", IMPORT_TRUNCATED, "the file is truncated"},
    {"CRC error", IMPORT_CORRUPT, "the PNG file is damaged (a checksum is wrong)"},
    {"memory", IMPORT_NO_MEMORY, "there is not enough memory"},
    {"Memory", IMPORT_NO_MEMORY, "there is not enough memory"},
    {"image data", IMPORT_CORRUPT, "the PNG file is damaged (the picture data is too short or too long)"},
    {"PLTE", IMPORT_CORRUPT, "the PNG file is damaged (its palette is missing or wrong)"},
    {"palette", IMPORT_CORRUPT, "the PNG file is damaged (its palette is missing or wrong)"},
    {"IDAT", IMPORT_CORRUPT, "the PNG file is damaged (its compressed picture is broken)"},
    {"chunk", IMPORT_CORRUPT, "the PNG file is damaged (a chunk is not valid)"},
};

decode_result png_refusal(const char *message)
{
    for (const png_failure &f : png_failures)
        if (strstr(message, f.message_part)) return refuse(f.code, f.reason);
    return refuse(IMPORT_CORRUPT, "the PNG file is damaged");
}

// Reads the whole PNG into `image` (begun by the caller; indexed for a
// 256 x 256 8-bit paletted file) through `row`, `row_size` bytes; returns 0,
// or 1 when libpng failed.
int run_png_read(png_structp png, png_infop info, import_image *image, unsigned char *row, size_t row_size)
{
    if (setjmp(png_jmpbuf(png))) return 1;
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    if (image->indexed) {
        png_colorp colours = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &colours, &count) != PNG_INFO_PLTE) png_error(png, "Missing PLTE");
        for (int i = 0; i < count && i < 256; i++) {
            image->entries[i][0] = colours[i].red;
            image->entries[i][1] = colours[i].green;
            image->entries[i][2] = colours[i].blue;
        }
    } else {
        png_set_expand(png);
        png_set_strip_16(png);  // the high byte, as other readers take it
        png_set_strip_alpha(png);
        png_set_gray_to_rgb(png);
    }
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) > row_size) png_error(png, "unexpected row size");

    // An interlaced file fills each row over several passes, so a kept row
    // goes back into the row buffer before the next pass adds to it; only
    // the kept columns matter. Every row is decoded, so that damage anywhere
    // in the file refuses it.
    const size_t pixel_size = image->indexed ? 1 : 3;
    const size_t kept = (width < (png_uint_32)PAGE_SIZE ? width : (png_uint_32)PAGE_SIZE) * pixel_size;
    for (int pass = 0; pass < passes; pass++) {
        for (png_uint_32 y = 0; y < height; y++) {
            unsigned char *target = y < PAGE_SIZE ? image->pixels + y * PAGE_SIZE * pixel_size : nullptr;
            if (target) memcpy(row, target, kept);
            png_read_row(png, row, nullptr);
            if (target) memcpy(target, row, kept);
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

decode_result decode_png(const unsigned char *bytes, size_t size, import_image *image)
{
    *image = import_image();
    png_header header;
    decode_result result = check_png_chunks(bytes, size, &header);
    if (result.code != IMPORT_OK) return result;
    const bool indexed = header.width == PAGE_SIZE && header.height == PAGE_SIZE && header.depth == 8 &&
                         header.colour_type == PNG_COLOR_TYPE_PALETTE;
    result = indexed ? begin_indexed_image(image, nullptr, 0)
                     : begin_rgb_image(image, (int)header.width, (int)header.height);
    if (result.code != IMPORT_OK) return result;

    const size_t row_size = (size_t)header.width * 3;  // the widest row libpng hands back
    unsigned char *row = (unsigned char *)calloc(row_size, 1);
    png_errors errors = {};
    png_input input = {bytes, size};
    png_structp png = row ? png_create_read_struct(PNG_LIBPNG_VER_STRING, &errors, on_png_error, ignore_png_warning)
                          : nullptr;
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        result = refuse(IMPORT_NO_MEMORY, "there is not enough memory");
    } else {
        png_set_read_fn(png, &input, read_input);
        png_set_user_limits(png, IMAGE_MAX_SIDE, IMAGE_MAX_SIDE);
        png_set_chunk_malloc_max(png, PNG_CHUNK_MAX_BYTES);
        // Only the header, palette, transparency, picture data and end
        // matter here; every other chunk is skipped unread.
        png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
        png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#endif
        if (run_png_read(png, info, image, row, row_size)) result = png_refusal(errors.message);
    }
    png_destroy_read_struct(png ? &png : nullptr, info ? &info : nullptr, nullptr);
    free(row);
    if (result.code != IMPORT_OK) free_import_image(image);
    return result;
}
