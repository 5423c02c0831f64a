// Importing an image file into a texture page: the 8-bit bitmap importer, the
// true-colour importer (any image Allegro reads, re-quantised or packed into
// 15 bits), palette placement and the selected-texture mask.
//
// The importers change only the level they are given. The caller decides
// what follows: marking the level changed, re-uploading the page's GL
// textures, telling the user about a refusal (each is logged here).
#pragma once
#include <stddef.h>

struct level;
struct texture_name;
struct import_image;

// Result codes of the importers.
enum {
    IMPORT_OK = 0,
    IMPORT_CANNOT_OPEN = 1,        // the file cannot be opened (or Allegro cannot load it)
    IMPORT_NOT_BITMAP = 2,         // "Not a windows bitmap."
    IMPORT_NOT_V3 = 3,             // "Can't load images without V3 header."
    IMPORT_NOT_256 = 4,            // "Bitmap must be 256x256."
    IMPORT_NOT_8BIT = 5,           // "Bitmap is not 8-bit."
    IMPORT_COMPRESSED = 6,         // "Can't load bitmaps with compression."
    IMPORT_TOO_MANY_COLOURS = 7,   // colours used above 256
    IMPORT_TRUNCATED = 8,          // the declared sizes do not fit the file's bytes
    IMPORT_NO_MEMORY = 9,          // no room for a new palette or the page's pixels
    IMPORT_BAD_PAGE = 10,          // no such page, or no palette can be placed
    IMPORT_TOO_LARGE = 11,         // a side over IMAGE_MAX_SIDE pixels
    IMPORT_CORRUPT = 12,           // a PNG that libpng cannot decode
};

// Where a paletted page's imported palette goes.
enum {
    IMPORT_PLACE_AUTO = 0,     // a new palette for a page with at most one palette,
                               // else the palette at the page's current slot
    IMPORT_PLACE_NEW = 1,      // always a new palette with the lowest free id
    IMPORT_PLACE_CURRENT = 2,  // the palette at the current slot, overwritten in place
};

// The texture names marked in the selection window: `names[i]` is a texture
// name on the page and `selected[i]` its mark. Null means "the whole page".
struct import_selection {
    int count;
    const texture_name *const *names;
    const bool *selected;
};

// Allocates the grown palette array and palette table when an import places
// a palette (malloc by default); tests replace it to make growing fail.
extern void *(*import_allocate)(size_t size);

// Marks in `mask` (65,536 bytes, row by row) every pixel (px, py) that lies in
// a selected rectangle, bounds included: x <= px <= x + w, y <= py <= y + h.
// A null selection marks every pixel.
void build_selection_mask(unsigned char *mask, const import_selection *selection);

// The header check: 0 when the file is a 256 x 256 8-bit bitmap with a
// 40-byte header (compression not looked at), 1 otherwise, logging why.
int check_8bit_bitmap(const char *path);
int check_8bit_bitmap_bytes(const unsigned char *bytes, size_t size);

// Every refusal of the 8-bit importer (header, compression, colours used,
// truncation), run on the file alone: IMPORT_OK when the importer would take
// it, else its refusal code (logged as the importer logs it), or
// IMPORT_CANNOT_OPEN when the file cannot be read. No level is involved.
int validate_8bit_bitmap(const char *path);
int validate_8bit_bitmap_bytes(const unsigned char *bytes, size_t size);

// The 8-bit importer's reading alone: every refusal as validate_8bit_bitmap_bytes
// (logged), else IMPORT_OK with `image` indexed (rows top first; release it
// with free_import_image), or IMPORT_NO_MEMORY. `image` is empty on a refusal.
int decode_8bit_bitmap_image(const unsigned char *bytes, size_t size, import_image *image);

// The id of the palette an 8-bit import of `path` into `page` would overwrite
// with other colours (placed automatically): every pixel of the page that
// keeps its index then shows a new colour. -1 when the import would take a
// new palette, keep the colours (red, green, blue) as they are, or refuse the
// file. The level is not changed.
int palette_recoloured_by_8bit_bitmap(level *lvl, int page, const char *path);

// The 8-bit importer: copies the bitmap's colour table into the page's
// palette (placed as `placement` says) and its indices into the page; into a
// 15-bit page the red channel becomes grey levels for the whole page. Only
// the selected pixels change (null selection: all). The file is checked
// whole before the level is touched: on any refusal the level is unchanged.
int import_8bit_bitmap(level *lvl, int page, const char *path, const import_selection *selection,
                       int placement = IMPORT_PLACE_AUTO);
int import_8bit_bitmap_bytes(level *lvl, int page, const unsigned char *bytes, size_t size,
                             const import_selection *selection, int placement = IMPORT_PLACE_AUTO);

// The size in pixels of the image file an importer loaded.
struct import_image_size {
    int width, height;
};

// The true-colour importer: loads any image Allegro reads (its top-left
// 256 x 256 pixels; the rest of a smaller image is black). Into a paletted
// page it learns a new palette from the selected pixels and maps them to it;
// into a 15-bit page it packs the whole page into 15-bit pixels. Needs
// Allegro initialised (a system driver and a colour depth). `size` (may be
// null) receives the loaded image's own size, 0 x 0 when none was loaded,
// so that the caller can say what became of an image not 256 x 256.
int import_truecolour_image(level *lvl, int page, const char *path, const import_selection *selection,
                            int placement = IMPORT_PLACE_AUTO, import_image_size *size = nullptr);

// Imports a loaded image (see image_file.h): an indexed one the 8-bit
// importer's way, a true-colour one the true-colour importer's way, with the
// same placement, selection and results. The level is unchanged on a refusal.
int import_image_into_page(level *lvl, int page, const import_image *image, const import_selection *selection,
                           int placement = IMPORT_PLACE_AUTO);

// palette_recoloured_by_8bit_bitmap for a loaded image: -1 for true colour.
int palette_recoloured_by_image(level *lvl, int page, const import_image *image);
