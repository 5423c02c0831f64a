// PNG files through libpng: a page encoded as a paletted or an RGB PNG (the
// decoder for import is declared with the others in image_decode.h).
// libpng's errors never end the program: each one becomes a result code.
#pragma once
#include <stddef.h>

struct level;

// The eight bytes every PNG file starts with.
extern const unsigned char PNG_SIGNATURE[8];

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
