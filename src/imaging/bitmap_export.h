// Writing a texture page to an uncompressed 256 x 256 Windows bitmap, and the
// export command's work once the save dialog has given a name.
#pragma once
#include <stddef.h>
#include <stdio.h>

struct level;

// Result codes of the writer and the export.
enum {
    EXPORT_OK = 0,
    EXPORT_CANCELLED = 1,      // the dialog was cancelled; nothing written
    EXPORT_CANNOT_CREATE = 2,  // the file cannot be created
    EXPORT_NO_PALETTE = 3,     // a paletted page whose palette id has no palette
    EXPORT_WRITE_FAILED = 4,   // writing or closing failed; the partial file is removed
    EXPORT_BAD_PAGE = 5,       // no such page, or a page without pixels
};

enum {
    BITMAP_HEADER_SIZE = 54,           // file header and 40-byte info header
    BITMAP_8BIT_FILE_SIZE = 66614,     // header, 1,024-byte colour table, 65,536 indices
    BITMAP_24BIT_FILE_SIZE = 196662,   // header, 196,608 bytes of blue, green, red
};

// The save dialog's filter lists: a paletted page may be written either way,
// a 15-bit page only as 24-bit. The dialog answers the 1-based entry.
extern const char EXPORT_FILTER_PALETTED[];
extern const char EXPORT_FILTER_15BIT[];
enum { EXPORT_FILTER_24BIT = 1, EXPORT_FILTER_8BIT = 2 };

// The file dialogs' shape (open and save alike): filter list, path buffer
// and its size, title buffer and its size, initial folder. The open dialog
// answers non-zero when a file was chosen; the save dialog the 1-based
// filter index, or -1 when cancelled.
typedef int (*file_dialog_function)(const char *filter, char *path, int path_size, char *title, int title_size,
                                    const char *initial_folder);

// Encodes page `page` as a bitmap into `out`, which must hold
// BITMAP_24BIT_FILE_SIZE bytes, and stores the file's length in `*size`.
// A paletted page is resolved through the palette `palette_id` (its 256
// entries become the colour table of an 8-bit file); a 15-bit page is always
// written as 24-bit, whatever `want_8bit` says. Rows are written bottom row
// first. Returns EXPORT_OK, EXPORT_BAD_PAGE or EXPORT_NO_PALETTE; nothing is
// written to `out` on a refusal.
int encode_page_bitmap(level *lvl, int page, int palette_id, bool want_8bit, unsigned char *out,
                       size_t *size);

// The bitmap writer: encodes the page as above and writes it to an open
// binary stream, which it neither opens nor closes. Returns EXPORT_OK, a
// refusal of encode_page_bitmap, or EXPORT_WRITE_FAILED.
int write_page_bitmap(level *lvl, FILE *out, int page, int palette_id, bool want_8bit);

// The export command after the save dialog: `chosen_name` is the path the
// dialog returned and `filter_index` its 1-based filter (-1 = cancelled).
// Appends ".bmp" unless the name already ends in it (case-sensitive), writes
// the page with the page's current palette (8-bit when filter 2 was chosen),
// remembers the folder in the settings' export_directory and logs
// "Finished exporting image.". The file is written whole or not at all: it is
// written beside the target and renamed over it only when complete.
int export_page_to_file(level *lvl, int page, const char *chosen_name, int filter_index);

// The whole export command for page `page`: logs "Exporting image.", asks
// with `save_dialog` (the filter list the page allows, starting in the
// settings' export_directory), then does what export_page_to_file does.
int export_image_command(level *lvl, int page, file_dialog_function save_dialog);
