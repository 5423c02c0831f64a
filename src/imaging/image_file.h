// Reading an image file for import: its format told by its first bytes, its
// pixels by that format's decoder (image_decode.h); 256 x 256 8-bit paletted
// BMPs and PNGs as indices with their colour table, any other image as true
// colour.
#pragma once
#include <stddef.h>

// The largest side of an image file the importers take; a larger one is
// refused before anything is allocated for its pixels.
enum { IMAGE_MAX_SIDE = 8192 };

// An image as the importers take it: always 256 x 256, rows top first.
struct import_image {
    bool indexed;                   // indices and a colour table; else red, green, blue
    int width, height;              // the file's own size, before cropping
    unsigned char entries[256][4];  // indexed: red, green, blue, extra; zeros past the file's table
    // PAGE_PIXELS indices (indexed) or PAGE_PIXELS * 3 bytes red, green, blue:
    // the file's top-left 256 x 256 pixels, black where the file is smaller.
    unsigned char *pixels;
};

#include "base/result.h"

typedef result decode_result;

// Decodes a whole image file held in memory: PNG, BMP, JPEG, PCX and LBM are
// known by their first bytes, TGA (which has no signature) by `name` ending
// in ".tga" in any case or by its footer. `name` may be null. Answers
// IMPORT_OK with `image` filled (release it with free_import_image), or the
// refusal and its reason with `image` empty.
decode_result decode_image_bytes(const unsigned char *bytes, size_t size, const char *name, import_image *image);

// Reads and decodes the image file at `path`, as decode_image_bytes; safe
// on any thread (it logs nothing).
decode_result read_import_image(const char *path, import_image *image);
// The same, with a refusal logged with its reason.
decode_result load_import_image(const char *path, import_image *image);

// Frees the pixels and empties the image; safe on an empty image.
void free_import_image(import_image *image);
