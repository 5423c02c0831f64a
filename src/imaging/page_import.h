// Importing a decoded image into a texture page: palette placement, the
// chosen area, the reduction into the palette's free entries, and writing the
// result into the level.
//
// An import runs in three steps so that batches can reduce pages side by
// side: plan_page_import copies out of the level everything the import reads,
// reduce_page_import works on those copies alone (any thread), and
// apply_page_import writes the result into the level. import_image_into_page
// runs the three in turn.
//
// The rules an import keeps on a paletted page:
//  - Nothing outside the chosen area changes colour, on this page in any of
//    its palettes or on any page whose palette list names the palette
//    written: the entries those pixels use are fixed. The chosen area is
//    reduced into the free entries (learned from its own pixels) and may use
//    the fixed ones as they are.
//  - A recolour (every index in the chosen area shows one colour of the
//    image) keeps the indices and sets those entries to the image's colours
//    exactly, except fixed ones, whose pixels move to free entries.
//  - An indexed image brings its indices and colour table when its table
//    equals the palette at every fixed entry; otherwise it is reduced as
//    true colour.
//  - A page with at most one palette gets a new palette (a copy of the one
//    it replaces, then written); its whole page is the chosen area.
// With `replace_palette` the whole palette is learned from the chosen area
// instead, and other textures change colour.
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

// The colour reduction a true-colour import learns its palette with.
enum {
    QUANTISER_NEUQUANT = 0,  // the neural network: fast, the import's bytes as they always were
    QUANTISER_BEST = 1,      // box splits refined by k-means: closer colours, slower
};

// The texture names marked in the selection window: `names[i]` is a texture
// name on the page and `selected[i]` its mark. Null means "the whole page".
struct import_selection {
    int count;
    const texture_name *const *names;
    const bool *selected;
};

// What the user chose for an import, besides the image and the page.
struct import_options {
    int placement = IMPORT_PLACE_AUTO;
    int slot = -1;                                // the list slot IMPORT_PLACE_CURRENT writes; -1: the page's own
    const import_selection *selection = nullptr;  // null: the whole page
    int quantiser = QUANTISER_NEUQUANT;
    bool dither = false;                          // Floyd-Steinberg, with the best quantiser
    bool replace_palette = false;                 // learn the whole palette: other textures change
    void *(*allocate)(size_t size) = nullptr;     // grows the palette arrays; null: malloc (tests fail it)
};

// What an import did, for the user's message.
struct import_summary {
    bool paletted;
    bool indices_kept;   // the image's own indices (indexed) or the page's (recolour) were kept
    int free_entries;    // palette entries the chosen area could be given new colours in
    bool partial;        // only part of the page's palette could take new colours
};

// Everything an import reads from the level, copied, so that the reduction
// needs no level. Large (about 200 KiB): allocate it.
struct import_plan {
    int page;
    bool paletted;
    int palette_id;          // the palette written
    bool append;             // a new record carrying palette_id is appended
    bool store_in_list;      // palette_id goes into the page's list at its current slot
    bool image_indexed;      // for the log's words
    import_options options;
    unsigned char old_entries[256][4];       // the palette written, or the one the new palette copies
    bool fixed[256];                         // entries pixels outside the chosen area use
    unsigned char mask[256 * 256];           // 1: a chosen pixel
    unsigned char old_pixels[2 * 256 * 256]; // the page as it was
};

// The page and palette an import writes.
struct import_result {
    unsigned char entries[256][4];
    unsigned char pixels[2 * 256 * 256];
    import_summary summary;
};

// Marks in `mask` (65,536 bytes, row by row) every pixel (px, py) that lies in
// a selected rectangle, bounds included: x <= px <= x + w, y <= py <= y + h.
// A null selection marks every pixel.
void build_selection_mask(unsigned char *mask, const import_selection *selection);

// Copies what importing into `page` reads. Answers IMPORT_OK, or
// IMPORT_BAD_PAGE (logged) when there is no such page or no palette can be
// placed. The level is not changed.
int plan_page_import(const level *lvl, int page, const import_image *image, const import_options *options,
                     import_plan *plan);
// Computes the page and palette the import writes, from the plan and the
// image alone. IMPORT_OK or IMPORT_NO_MEMORY.
int reduce_page_import(const import_plan *plan, const import_image *image, import_result *result);
// Writes the result into the level: places the palette and stores the
// pixels. A new palette takes the lowest id free now, so plans made before
// other imports were applied still place theirs apart. IMPORT_OK,
// IMPORT_BAD_PAGE (no id free) or IMPORT_NO_MEMORY, the level unchanged.
int apply_page_import(level *lvl, const import_plan *plan, const import_result *result);

// Imports a loaded image (see image_file.h) into page `page` by the rules
// above: plan, reduce and apply. `summary` (may be null) says what was done.
// The level is unchanged on a refusal.
int import_image_into_page(level *lvl, int page, const import_image *image, const import_options *options = nullptr,
                           import_summary *summary = nullptr);
