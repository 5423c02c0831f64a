// PNG files through libpng: a page encoded as a paletted or an RGB PNG, and a
// PNG decoded for import. libpng's errors never end the program: each one
// becomes a result code.
#pragma once
#include <stddef.h>

struct level;
struct import_image;

// Encodes page `page` as a PNG into a new buffer (`*out`, released with free;
// `*size` its length). A paletted page with `want_8bit` becomes an 8-bit
// paletted PNG whose 256 palette entries are the palette `palette_id` in
// index order and whose indices are the page's unchanged; otherwise an RGB
// PNG with exactly the colours of the 24-bit bitmap of the same page. Returns
// EXPORT_OK, EXPORT_BAD_PAGE, EXPORT_NO_PALETTE or EXPORT_WRITE_FAILED (libpng
// or memory failed); nothing is allocated on a refusal.
int encode_page_png(level *lvl, int page, int palette_id, bool want_8bit, unsigned char **out, size_t *size);

// Encodes as above and writes `path` whole or not at all, with the same
// results as write_page_bitmap_file.
int write_page_png_file(level *lvl, int page, int palette_id, bool want_8bit, const char *path);

// Decodes a PNG held in memory. A 256 x 256 paletted PNG of 8 bits per index
// comes back indexed (its palette entries in order, zeros past them, extra 0,
// its indices unchanged); every other PNG (RGB, RGBA, grey, paletted of
// another size or depth) comes back as true colour, cropped to its top-left
// 256 x 256 pixels, black where smaller, alpha ignored. A file whose header
// declares a side over IMAGE_MAX_SIDE is refused (IMPORT_TOO_LARGE) before its
// pixels are allocated; a corrupt or truncated file is refused
// (IMPORT_CORRUPT). Returns IMPORT_OK or the refusal, logged, with `image`
// empty.
int decode_png_image(const unsigned char *bytes, size_t size, import_image *image);
