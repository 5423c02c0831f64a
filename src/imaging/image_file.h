// Reading an image file for import: 256 x 256 8-bit bitmaps and paletted PNGs
// as indices with their colour table, any other image as true colour.
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

// Reads the image file at `path`. A 256 x 256 8-bit bitmap with a 40-byte
// header goes through every refusal of the 8-bit importer and comes back
// indexed; a PNG (known by its signature) is decoded by decode_png_image; any
// other file goes through Allegro's loaders (Allegro must be initialised) and
// comes back as true colour, unless its header (BMP, PCX, TGA, LBM) declares a
// side over IMAGE_MAX_SIDE (IMPORT_TOO_LARGE, refused before loading). Returns IMPORT_OK with `image` filled (release
// it with free_import_image) or the refusal's IMPORT_* code, logged, with
// `image` empty.
int load_import_image(const char *path, import_image *image);

// Allegro's loaders alone (any image Allegro reads, Allegro initialised):
// IMPORT_OK with `image` true colour, or IMPORT_CANNOT_OPEN (also when memory
// runs out) with `image` empty. Loading happens at 32 bits with full colour
// conversion, so a paletted file is expanded through its own palette.
int load_allegro_image(const char *path, import_image *image);

// Frees the pixels and empties the image; safe on an empty image.
void free_import_image(import_image *image);
