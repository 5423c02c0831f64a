// Importing a decoded image into a texture page: indexed images with their
// colour table, true-colour images re-quantised or packed into 15 bits,
// palette placement and the selected-texture mask.
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
    IMPORT_CANNOT_OPEN = 1,        // the file cannot be opened or read
    IMPORT_TRUNCATED = 2,          // the declared sizes do not fit the file's bytes
    IMPORT_NO_MEMORY = 3,          // no room for a new palette or the page's pixels
    IMPORT_BAD_PAGE = 4,           // no such page, or no palette can be placed
    IMPORT_TOO_LARGE = 5,          // a side over IMAGE_MAX_SIDE pixels
    IMPORT_CORRUPT = 6,            // the file's data is damaged (a bad RLE run, a bad chunk)
    IMPORT_NOT_IMAGE = 7,          // not a BMP, PNG, JPEG, TGA, PCX or LBM file
    IMPORT_UNSUPPORTED = 8,        // a kind of image the decoders do not read (2-bit BMP, CMYK JPEG)
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

// The size in pixels of the image file an import took.
struct import_image_size {
    int width, height;
};

// Imports a loaded image (see image_file.h) into page `page`. An indexed one
// brings its colour table into the page's palette (placed as `placement`
// says) and its indices into the page; into a 15-bit page the red channel
// becomes grey levels for the whole page. A true-colour one is re-quantised
// into a palette learned from the selected pixels, or packed into 15-bit
// pixels for a 15-bit page. Only the selected pixels of a paletted page
// change (null selection: all). The level is unchanged on a refusal.
int import_image_into_page(level *lvl, int page, const import_image *image, const import_selection *selection,
                           int placement = IMPORT_PLACE_AUTO);

// The id of the palette an import of an indexed image into `page` would
// overwrite with other colours (placed automatically): every pixel of the page
// that keeps its index then shows a new colour. -1 when the import would take
// a new palette, keep the colours (red, green, blue) as they are, or the image
// is true colour. The level is not changed.
int palette_recoloured_by_image(level *lvl, int page, const import_image *image);
