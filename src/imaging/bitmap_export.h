// Writing a texture page to an uncompressed 256 x 256 Windows bitmap.
#pragma once
#include <stddef.h>
#include <stdio.h>

#include "base/file_io.h"

struct level;
struct level_texture;
struct level_palette;

// Result codes of the writer and the export.
enum {
    EXPORT_OK = 0,
    EXPORT_CANCELLED = 1,      // the user cancelled; nothing written
    EXPORT_CANNOT_CREATE = 2,  // the file cannot be created
    EXPORT_NO_PALETTE = 3,     // a paletted page whose palette id has no palette
    EXPORT_WRITE_FAILED = 4,   // writing or closing failed; the partial file is removed
    EXPORT_BAD_PAGE = 5,       // no such page, or a page without pixels
};

// What an export's failure code means, as a phrase ("the file cannot be
// created"); the tool and the editor both say it this way.
const char *export_failure(int result);

// The export result of write_file_whole's result.
inline int export_result_of_write(int write_result)
{
    return write_result == WRITE_FILE_OK ? EXPORT_OK
         : write_result == WRITE_FILE_CANNOT_CREATE ? EXPORT_CANNOT_CREATE : EXPORT_WRITE_FAILED;
}

enum {
    BITMAP_HEADER_SIZE = 54,           // file header and 40-byte info header
    BITMAP_8BIT_FILE_SIZE = 66614,     // header, 1,024-byte colour table, 65,536 indices
    BITMAP_24BIT_FILE_SIZE = 196662,   // header, 196,608 bytes of blue, green, red
};

// Encodes page `page` as a bitmap into `out`, which must hold
// BITMAP_24BIT_FILE_SIZE bytes, and stores the file's length in `*size`.
// A paletted page is resolved through the palette `palette_id` (its 256
// entries become the colour table of an 8-bit file); a 15-bit page is always
// written as 24-bit, whatever `want_8bit` says. Rows are written bottom row
// first. Returns EXPORT_OK, EXPORT_BAD_PAGE or EXPORT_NO_PALETTE; nothing is
// written to `out` on a refusal.
int encode_page_bitmap(level *lvl, int page, int palette_id, bool want_8bit, unsigned char *out,
                       size_t *size);

// Row `y` (0 the top) of a page as 256 red, green, blue triples (blue, green,
// red with `blue_first`, as a bitmap stores them), the colours
// of its 24-bit bitmap: a paletted page through `palette`, a 15-bit page with
// the low three bits of each channel 0 (bit 15 is not colour, so the
// transparent key reads (8, 8, 8)).
void page_row_colours(const level_texture &texture, const level_palette *palette, int y, unsigned char *out,
                      bool blue_first = false);

// Encodes the page as above and writes it to `path` whole or not at all: the
// bytes go to "<path>.part", which is renamed over `path` only when complete.
// Returns EXPORT_OK, a refusal of encode_page_bitmap (nothing written),
// EXPORT_CANNOT_CREATE or EXPORT_WRITE_FAILED (the partial file removed, an
// older file at `path` untouched). Logs why a palette was missing or a write failed.
int write_page_bitmap_file(level *lvl, int page, int palette_id, bool want_8bit, const char *path);
