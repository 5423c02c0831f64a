// Reading an image file for import: telling its format and handing it to
// that format's decoder.
#include "imaging/image_file.h"

#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "base/debug_log.h"
#include "base/file_io.h"
#include "base/file_system.h"
#include "imaging/image_decode.h"
#include "imaging/png_image.h"

namespace {

// The largest file read for import: a 8192 x 8192 32-bit BMP with room for
// its headers. A longer file is refused before its pixels are looked at.
const size_t IMAGE_FILE_MAX_BYTES = (size_t)IMAGE_MAX_SIDE * IMAGE_MAX_SIDE * 4 + (1 << 20);

const char tga_footer[18] = {'T', 'R', 'U', 'E', 'V', 'I', 'S', 'I', 'O', 'N', '-', 'X', 'F', 'I', 'L', 'E', '.', 0};

bool starts_with(const unsigned char *bytes, size_t size, const void *prefix, size_t n)
{
    return size >= n && memcmp(bytes, prefix, n) == 0;
}

bool has_extension(const char *name, const char *extension)
{
    if (!name) return false;
    size_t length = strlen(name), n = strlen(extension);
    return length >= n && strcasecmp(name + length - n, extension) == 0;
}

// A PCX header: the maker byte, a version that exists and run-length encoding
// (the only one the format has).
bool looks_like_pcx(const unsigned char *b, size_t size)
{
    return size >= 128 && b[0] == 0x0A && (b[1] <= 5 && b[1] != 1) && b[2] == 1;
}

}  // namespace

decode_result decode_image_bytes(const unsigned char *bytes, size_t size, const char *name, import_image *image)
{
    *image = import_image();
    if (starts_with(bytes, size, PNG_SIGNATURE, sizeof PNG_SIGNATURE)) return decode_png(bytes, size, image);
    if (starts_with(bytes, size, "BM", 2)) return decode_bmp(bytes, size, image);
    if (starts_with(bytes, size, "\xFF\xD8\xFF", 3)) return decode_jpeg(bytes, size, image);
    if (size >= 12 && memcmp(bytes, "FORM", 4) == 0 && (memcmp(bytes + 8, "ILBM", 4) == 0 || memcmp(bytes + 8, "PBM ", 4) == 0))
        return decode_lbm(bytes, size, image);
    if (looks_like_pcx(bytes, size)) return decode_pcx(bytes, size, image);
    if (has_extension(name, ".tga") || (size >= 26 + sizeof tga_footer &&
                                        memcmp(bytes + size - sizeof tga_footer, tga_footer, sizeof tga_footer) == 0))
        return decode_tga(bytes, size, image);
    return refuse(IMPORT_NOT_IMAGE, "not a BMP, PNG, JPEG, TGA, PCX or LBM file");
}

decode_result read_import_image(const char *path, import_image *image)
{
    *image = import_image();
    // A longer file is refused by its length, before any of it is read.
    uint64_t length = 0;
    const bool too_long = path_kind(path, &length) != PATH_MISSING && length > IMAGE_FILE_MAX_BYTES;
    size_t size = 0;
    unsigned char *bytes = too_long ? nullptr : read_file_start(path, IMAGE_FILE_MAX_BYTES + 1, &size);
    decode_result result;
    if (too_long || (bytes && size > IMAGE_FILE_MAX_BYTES))
        result = refuse(IMPORT_TOO_LARGE, "the file is larger than any image of 8192 x 8192 pixels");
    else if (!bytes)
        result = refuse(IMPORT_CANNOT_OPEN, "the file cannot be opened or read");
    else
        result = decode_image_bytes(bytes, size, path, image);
    free(bytes);
    return result;
}

decode_result load_import_image(const char *path, import_image *image)
{
    decode_result result = read_import_image(path, image);
    if (result.code != IMPORT_OK) debug_log("Can't import %s: %s.", path, result.reason);
    return result;
}

void free_import_image(import_image *image)
{
    free(image->pixels);
    *image = import_image();
}
