// The decoders of image files handed in for import, one per format, and the
// canvas they paint into.
//
// Every decoder reads a whole file held in memory through the bounds-checked
// cursor (or a maintained library), checks every size and offset before it is
// used, and keeps only the top-left 256 x 256 pixels of the picture: nothing
// it allocates grows with a size the file declares. It either answers
// IMPORT_OK with `image` filled, or a refusal with `image` empty.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "base/result.h"
#include "imaging/page_import.h"
#include "imaging/image_file.h"
#include "level/level.h"

// A decoder's answer, as every failure of the core comes back: IMPORT_OK, or
// an IMPORT_* refusal code and a short phrase naming the reason ("the file
// is truncated", "a 2-bit BMP (not supported)"): lower case, no full stop,
// one line.
typedef result decode_result;

inline decode_result decoded() { return succeeded(); }
inline decode_result refuse(int code, const char *reason) { return failed(code, "%s", reason); }

// The sides a decoder takes: 1 to IMAGE_MAX_SIDE each. Answers IMPORT_OK or
// the refusal ("the width is negative", "the height is zero", or
// IMPORT_TOO_LARGE "the image is larger than 8192 x 8192 pixels").
decode_result check_image_sides(int64_t width, int64_t height);

// Starts `image` as true colour of the file's size (`width` x `height`, both
// checked): PAGE_PIXELS * 3 bytes, all black. IMPORT_OK, or IMPORT_NO_MEMORY
// with `image` empty.
decode_result begin_rgb_image(import_image *image, int width, int height);

// Starts `image` as a 256 x 256 indexed image: every index 0, the first
// `count` (at most 256) entries of `entries` as red, green, blue, extra, zeros
// past them. IMPORT_OK or IMPORT_NO_MEMORY.
decode_result begin_indexed_image(import_image *image, const unsigned char (*entries)[4], int count);

// Sets pixel (x, y) of the picture (origin top left, as the user sees it)
// when it lies in the top-left 256 x 256; any other (x, y) is ignored, so
// decoders may hand in every pixel they decode.
inline void put_rgb(import_image *image, int64_t x, int64_t y, unsigned red, unsigned green, unsigned blue)
{
    if ((uint64_t)x >= PAGE_SIZE || (uint64_t)y >= PAGE_SIZE) return;
    unsigned char *p = image->pixels + ((size_t)y * PAGE_SIZE + (size_t)x) * 3;
    p[0] = (unsigned char)red, p[1] = (unsigned char)green, p[2] = (unsigned char)blue;
}

inline void put_index(import_image *image, int64_t x, int64_t y, unsigned index)
{
    if ((uint64_t)x >= PAGE_SIZE || (uint64_t)y >= PAGE_SIZE) return;
    image->pixels[(size_t)y * PAGE_SIZE + (size_t)x] = (unsigned char)index;
}

// Scales a sample of `bits` bits (1 to 16) to 8 bits the way reference
// decoders do: 16 bits keep their high byte, fewer are stretched so that
// the largest value becomes 255 (v * 255 / max, rounded to nearest).
inline unsigned scale_to_8bit(uint32_t value, unsigned bits)
{
    if (bits == 8) return value & 0xFF;
    if (bits >= 16) return (value >> (bits - 8)) & 0xFF;
    const uint32_t max = (1u << bits) - 1;
    return (unsigned)((value * 255 + max / 2) / max);
}

// The decoders. Each takes the whole file; `image` must be empty.
//   BMP: 1/4/8-bit paletted, RLE4, RLE8, 16/32-bit bitfields (any masks,
//        v2 to v5 headers), 24-bit, top-down and bottom-up, OS/2 v1 and v2.
//        A 256 x 256 8-bit paletted BMP with a v3 to v5 header (RLE8 or
//        not) comes back indexed, its indices and colour table unchanged.
//   TGA: colour-mapped, true-colour and grey, RLE or not, every origin.
//   PCX: 8-bit paletted and 24-bit (three planes).
//   LBM: ILBM and PBM up to 8 planes.
//   JPEG: baseline and progressive, grey and YCbCr (libjpeg).
//   PNG: every colour type and depth (libpng); a 256 x 256 8-bit paletted
//        PNG comes back indexed.
decode_result decode_bmp(const unsigned char *bytes, size_t size, import_image *image);
decode_result decode_tga(const unsigned char *bytes, size_t size, import_image *image);
decode_result decode_pcx(const unsigned char *bytes, size_t size, import_image *image);
decode_result decode_lbm(const unsigned char *bytes, size_t size, import_image *image);
decode_result decode_jpeg(const unsigned char *bytes, size_t size, import_image *image);
decode_result decode_png(const unsigned char *bytes, size_t size, import_image *image);
