// Image import into a texture page.
//
// Sections:
//   1. Reading the start of a file
//   2. Selection mask
//   3. Palette placement (new palette or the current slot's, table rebuild)
//   4. Header check, validation and the 8-bit importer
//   5. True-colour importer (15-bit packing, quantiser)
//   6. Loaded images
#include "imaging/bitmap_import.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "base/byte_cursor.h"
#include "base/debug_log.h"
#include "base/file_io.h"
#include "imaging/image_file.h"
#include "imaging/neuquant.h"
#include "level/level.h"
#include "level/texture_store.h"

// ---------------------------------------------------------------------------
// 1. Reading the start of a file (base/file_io.h; the bytes are parsed with
// the level code's bounds-checked cursor, whose reads past the end answer 0
// and set `overrun`).

namespace {

// The most of a file the 8-bit importer ever reads: header, a full colour
// table and the pixel rows that follow it.
enum { BITMAP_HEADER_BYTES_READ = 54, BITMAP_MAX_READ = 54 + 1024 + PAGE_PIXELS };

}  // namespace

// ---------------------------------------------------------------------------
// 2. Selection mask

void *(*import_allocate)(size_t size) = malloc;

void build_selection_mask(unsigned char *mask, const import_selection *selection)
{
    if (!selection) {
        memset(mask, 1, PAGE_PIXELS);
        return;
    }
    memset(mask, 0, PAGE_PIXELS);
    for (int i = 0; i < selection->count; i++) {
        if (!selection->selected[i] || !selection->names[i]) continue;
        const texture_name &name = *selection->names[i];
        // Both bounds are inclusive, so a rectangle covers w + 1 columns and
        // h + 1 rows; clip to the page.
        int64_t x0 = name.x, y0 = name.y;
        int64_t x1 = x0 + name.w, y1 = y0 + name.h;
        if (x0 < 0) x0 = 0;
        if (y0 < 0) y0 = 0;
        if (x1 > PAGE_SIZE - 1) x1 = PAGE_SIZE - 1;
        if (y1 > PAGE_SIZE - 1) y1 = PAGE_SIZE - 1;
        for (int64_t y = y0; y <= y1; y++) {
            if (x0 <= x1) memset(mask + y * PAGE_SIZE + x0, 1, (size_t)(x1 - x0 + 1));
        }
    }
}

// ---------------------------------------------------------------------------
// 3. Palette placement. Choosing the palette and making room for it are
// separate, so that everything that can fail (reading, learning, allocating)
// happens before the level changes.

namespace {

enum { MAX_PALETTE_ID = 32767, MAX_PALETTE_COUNT = 65535 };

struct placement_plan {
    int id;
    bool append;        // a new record carrying `id` is appended
    bool store_in_list; // the id goes into the page's palette list at its slot
};

// Decides where a paletted page's imported palette goes. Returns false (and
// logs) when no palette can be placed.
bool plan_placement(level *lvl, int page, int placement, placement_plan *plan)
{
    const level_texture &texture = lvl->textures[page];
    bool use_current = placement == IMPORT_PLACE_CURRENT ||
                       (placement == IMPORT_PLACE_AUTO && texture.palette_slot_count >= 2);
    if (use_current && texture.palette_slot_count >= 1) {
        int id = get_palette_list_entry(lvl, page, texture.palette_slot);
        if (id < 0 || id > MAX_PALETTE_ID) {
            debug_log(" The page has no palette at slot %d to import into.", texture.palette_slot + 1);
            return false;
        }
        plan->id = id;
        plan->store_in_list = false;
        // The table is rebuilt from every record, which gives a removed
        // palette whose record remains its entry back; only a slot naming a
        // palette without any record gets a new record with that id.
        plan->append = true;
        for (int i = 0; i < lvl->palette_count; i++)
            if (lvl->palettes[i].id == id) plan->append = false;
    } else {
        int id = find_free_palette_id(lvl);
        if (id < 0) id = lvl->palette_table_size;
        if (id > MAX_PALETTE_ID) {
            debug_log(" No palette id is free for a new palette.");
            return false;
        }
        plan->id = id;
        plan->append = true;
        plan->store_in_list = true;
    }
    if (plan->append && lvl->palette_count >= MAX_PALETTE_COUNT) {
        debug_log(" The level holds the most palettes it can.");
        return false;
    }
    return true;
}

// Makes room for the planned palette and returns it: appends a record when
// the plan says so, grows the table to hold the id, rebuilds the table from
// every record in array order (a later record with the same id wins) and
// stores a new id into the page's palette list. Returns null, with the level
// unchanged, when memory runs out.
level_palette *place_palette(level *lvl, int page, const placement_plan &plan)
{
    level_palette *palettes = lvl->palettes;
    int count = lvl->palette_count;
    if (plan.append) {
        palettes = (level_palette *)import_allocate((size_t)(count + 1) * sizeof(level_palette));
        if (!palettes) return nullptr;
        if (count > 0) memcpy(palettes, lvl->palettes, (size_t)count * sizeof(level_palette));
        memset(&palettes[count], 0, sizeof(level_palette));
        palettes[count].id = (int16_t)plan.id;
        count++;
    }
    int table_size = lvl->palette_table_size;
    level_palette **table = lvl->palette_table;
    if (table_size <= plan.id || !table) {
        if (table_size <= plan.id) table_size = plan.id + 1;
        table = (level_palette **)import_allocate((size_t)table_size * sizeof(level_palette *));
        if (!table) {
            if (palettes != lvl->palettes) free(palettes);
            return nullptr;
        }
    }

    // Nothing can fail from here on.
    if (palettes != lvl->palettes) {
        free(lvl->palettes);
        lvl->palettes = palettes;
    }
    lvl->palette_count = count;
    if (table != lvl->palette_table) {
        free(lvl->palette_table);
        lvl->palette_table = table;
    }
    lvl->palette_table_size = table_size;
    for (int i = 0; i < table_size; i++) table[i] = nullptr;
    for (int i = 0; i < count; i++) {
        int id = palettes[i].id;
        if (id >= 0 && id < table_size) table[id] = &palettes[i];
    }
    if (plan.store_in_list) set_palette_list_entry(lvl, page, plan.id, lvl->textures[page].palette_slot);
    return table[plan.id];
}

bool valid_page(const level *lvl, int page)
{
    return lvl && page >= 0 && page < lvl->texture_count && lvl->textures;
}

// The page's pixel buffer, or a new zeroed one in `*fresh` when it has none
// (to be attached once the import can no longer fail).
unsigned char *page_buffer(const level_texture &texture, unsigned char **fresh)
{
    *fresh = nullptr;
    if (texture.pixels) return texture.pixels;
    *fresh = (unsigned char *)calloc(1, page_byte_size(texture));
    return *fresh;
}

}  // namespace

// ---------------------------------------------------------------------------
// 4. Header check, validation and the 8-bit importer

namespace {

// Header fields the check and the importer read.
struct bitmap_header {
    unsigned signature0, signature1;
    uint32_t header_size;
    int32_t width, height;
    unsigned bits_per_pixel;
    uint32_t compression;
    uint32_t colours_used;
};

void read_bitmap_header(byte_cursor *c, bitmap_header *h)
{
    h->signature0 = get8(c);                 // 0: "B"
    h->signature1 = get8(c);                 // 1: "M"
    cursor_skip(c, 8);                       // 2: file size, reserved
    get32le(c);                              // 10: offset of the pixel data (not used)
    h->header_size = get32le(c);             // 14: header size
    h->width = (int32_t)get32le(c);          // 18: width
    h->height = (int32_t)get32le(c);         // 22: height (negative: top-down)
    get16le(c);                              // 26: planes
    h->bits_per_pixel = get16le(c);          // 28: bits per pixel
    h->compression = get32le(c);             // 30: compression
    cursor_skip(c, 12);                      // 34: image size, resolutions
    h->colours_used = get32le(c);            // 46: colours used, 0 = 256
    get32le(c);                              // 50: important colours
}

// The checks shared by the header check and the importer, in their order.
// Returns 0 or the importer's refusal code, logging the refusal.
int header_refusal(const bitmap_header &h)
{
    if (h.signature0 != 'B' || h.signature1 != 'M') {
        debug_log("Not a windows bitmap.");
        return IMPORT_NOT_BITMAP;
    }
    if (h.header_size != 40) {
        debug_log("Can't load images without V3 header.");
        return IMPORT_NOT_V3;
    }
    if (h.width != PAGE_SIZE || h.height != PAGE_SIZE) {
        debug_log("Bitmap must be 256x256.");
        return IMPORT_NOT_256;
    }
    if (h.bits_per_pixel != 8) {
        debug_log("Bitmap is not 8-bit.");
        return IMPORT_NOT_8BIT;
    }
    return 0;
}

}  // namespace

int check_8bit_bitmap_bytes(const unsigned char *bytes, size_t size)
{
    byte_cursor c = make_cursor(bytes, size);
    bitmap_header h;
    read_bitmap_header(&c, &h);
    // A short file reads zeros past its end, which no check accepts.
    return header_refusal(h) == 0 && !c.overrun ? 0 : 1;
}

int check_8bit_bitmap(const char *path)
{
    size_t size = 0;
    unsigned char *bytes = read_file_start(path, BITMAP_HEADER_BYTES_READ, &size);
    if (!bytes) return 1;
    int result = check_8bit_bitmap_bytes(bytes, size);
    free(bytes);
    return result;
}

namespace {

// Runs every refusal of the 8-bit importer on the file's bytes, logging the
// refusal; on IMPORT_OK fills `entries` (red, green, blue, extra; entries past
// the table are zeros) and points `rows` at the pixel rows, bottom row first.
int read_8bit_bitmap(const unsigned char *bytes, size_t size, unsigned char entries[256][4],
                     const unsigned char **rows)
{
    byte_cursor c = make_cursor(bytes, size);
    bitmap_header h;
    read_bitmap_header(&c, &h);
    if (int refusal = header_refusal(h)) return refusal;
    if (h.compression != 0) {
        debug_log("Can't load bitmaps with compression.");
        return IMPORT_COMPRESSED;
    }
    if (c.overrun) {
        debug_log("Bitmap file is shorter than its header.");
        return IMPORT_TRUNCATED;
    }
    // The palette has 256 entries; a larger table cannot be taken over.
    if (h.colours_used > 256) {
        debug_log("Bitmap has too many colours.");
        return IMPORT_TOO_MANY_COLOURS;
    }
    const int colours = h.colours_used == 0 ? 256 : (int)h.colours_used;
    if ((size_t)colours * 4 + PAGE_PIXELS > cursor_left(&c)) {
        debug_log("Bitmap file is shorter than its colour table and pixels.");
        return IMPORT_TRUNCATED;
    }
    memset(entries, 0, 256 * 4);
    for (int i = 0; i < colours; i++) {
        entries[i][2] = (unsigned char)get8(&c);  // blue
        entries[i][1] = (unsigned char)get8(&c);  // green
        entries[i][0] = (unsigned char)get8(&c);  // red
        entries[i][3] = (unsigned char)get8(&c);  // extra
    }
    *rows = cursor_take(&c, PAGE_PIXELS);  // present, checked above
    return *rows ? IMPORT_OK : IMPORT_TRUNCATED;
}

}  // namespace

int validate_8bit_bitmap_bytes(const unsigned char *bytes, size_t size)
{
    unsigned char entries[256][4];
    const unsigned char *rows;
    return read_8bit_bitmap(bytes, size, entries, &rows);
}

int validate_8bit_bitmap(const char *path)
{
    size_t size = 0;
    unsigned char *bytes = read_file_start(path, BITMAP_MAX_READ, &size);
    if (!bytes) return IMPORT_CANNOT_OPEN;
    int result = validate_8bit_bitmap_bytes(bytes, size);
    free(bytes);
    return result;
}

int decode_8bit_bitmap_image(const unsigned char *bytes, size_t size, import_image *image)
{
    *image = import_image();
    const unsigned char *rows;
    if (int refusal = read_8bit_bitmap(bytes, size, image->entries, &rows)) return refusal;
    image->pixels = (unsigned char *)malloc(PAGE_PIXELS);
    if (!image->pixels) {
        debug_log(" Failed to allocate space for the picture.");
        return IMPORT_NO_MEMORY;
    }
    image->indexed = true;
    image->width = image->height = PAGE_SIZE;
    for (int y = 0; y < PAGE_SIZE; y++)  // the file's rows are bottom first
        memcpy(image->pixels + y * PAGE_SIZE, rows + (PAGE_SIZE - 1 - y) * PAGE_SIZE, PAGE_SIZE);
    return IMPORT_OK;
}

int palette_recoloured_by_image(level *lvl, int page, const import_image *image)
{
    placement_plan plan;
    if (!image->indexed || !valid_page(lvl, page) || !lvl->textures[page].paletted ||
        !plan_placement(lvl, page, IMPORT_PLACE_AUTO, &plan) || plan.store_in_list)
        return -1;
    const level_palette *old = palette_by_id(lvl, plan.id);
    bool same = old != nullptr;
    for (int i = 0; same && i < 256; i++) same = memcmp(old->entries[i], image->entries[i], 3) == 0;
    return same ? -1 : plan.id;
}

int palette_recoloured_by_8bit_bitmap(level *lvl, int page, const char *path)
{
    size_t size = 0;
    unsigned char *bytes = read_file_start(path, BITMAP_MAX_READ, &size);
    if (!bytes) return -1;
    import_image image;
    int id = decode_8bit_bitmap_image(bytes, size, &image) == IMPORT_OK ? palette_recoloured_by_image(lvl, page, &image) : -1;
    free_import_image(&image);
    free(bytes);
    return id;
}

namespace {

// The 8-bit importer's work on an indexed image whose page is valid.
int import_indexed(level *lvl, int page, const import_image *image, const import_selection *selection, int placement)
{
    const unsigned char *rows = image->pixels;  // top row first
    level_texture &texture = lvl->textures[page];
    unsigned char *fresh;
    unsigned char *pixels = page_buffer(texture, &fresh);
    if (!pixels) {
        debug_log(" Failed to allocate space for the page.");
        return IMPORT_NO_MEMORY;
    }

    if (!texture.paletted) {
        // A 15-bit page takes grey levels from the red channel, whole page.
        uint16_t grey[256];
        for (int i = 0; i < 256; i++) grey[i] = (uint16_t)((image->entries[i][0] >> 3) * 0x421);
        uint16_t *out = (uint16_t *)(void *)pixels;
        for (int i = 0; i < PAGE_PIXELS; i++) out[i] = grey[rows[i]];
        if (fresh) texture.pixels = fresh;
        debug_log("Done importing 8-bit texture.");
        return IMPORT_OK;
    }

    placement_plan plan;
    unsigned char *mask = selection ? (unsigned char *)malloc(PAGE_PIXELS) : nullptr;
    if (selection && !mask) {
        free(fresh);
        debug_log(" Failed to allocate space for the selection.");
        return IMPORT_NO_MEMORY;
    }
    if (!plan_placement(lvl, page, placement, &plan)) {
        free(fresh);
        free(mask);
        return IMPORT_BAD_PAGE;
    }
    debug_log(" Placing in %d", plan.id);
    level_palette *target = place_palette(lvl, page, plan);
    if (!target) {
        free(fresh);
        free(mask);
        debug_log(" Failed to allocate space for new palette!");
        return IMPORT_NO_MEMORY;
    }
    memcpy(target->entries, image->entries, sizeof image->entries);
    if (fresh) texture.pixels = fresh;
    if (!mask) {
        memcpy(pixels, rows, PAGE_PIXELS);
    } else {
        build_selection_mask(mask, selection);
        for (int i = 0; i < PAGE_PIXELS; i++)
            if (mask[i]) pixels[i] = rows[i];
        free(mask);
    }
    debug_log("Done importing 8-bit texture.");
    return IMPORT_OK;
}

}  // namespace

int import_8bit_bitmap_bytes(level *lvl, int page, const unsigned char *bytes, size_t size,
                             const import_selection *selection, int placement)
{
    import_image image;
    int result = decode_8bit_bitmap_image(bytes, size, &image);
    if (result == IMPORT_OK)
        result = valid_page(lvl, page) ? import_indexed(lvl, page, &image, selection, placement) : IMPORT_BAD_PAGE;
    free_import_image(&image);
    return result;
}

int import_8bit_bitmap(level *lvl, int page, const char *path, const import_selection *selection,
                       int placement)
{
    debug_log("Loading 8-bit texture.");
    size_t size = 0;
    unsigned char *bytes = read_file_start(path, BITMAP_MAX_READ, &size);
    if (!bytes) return IMPORT_CANNOT_OPEN;
    int result = import_8bit_bitmap_bytes(lvl, page, bytes, size, selection, placement);
    free(bytes);
    return result;
}

// ---------------------------------------------------------------------------
// 5. True-colour importer (from red, green, blue pixels, top row first)

namespace {

int import_to_15bit(level *lvl, int page, const unsigned char *rgb)
{
    level_texture &texture = lvl->textures[page];
    unsigned char *fresh;
    unsigned char *pixels = page_buffer(texture, &fresh);
    if (!pixels) {
        debug_log(" Failed to allocate space for the page.");
        return IMPORT_NO_MEMORY;
    }
    if (fresh) texture.pixels = fresh;
    // Bit 15 stays 0, so no pixel becomes the transparent key.
    uint16_t *out = (uint16_t *)(void *)pixels;
    for (int i = 0; i < PAGE_PIXELS; i++, rgb += 3)
        out[i] = (uint16_t)((rgb[2] >> 3) + ((rgb[1] >> 3) << 5) + ((rgb[0] >> 3) << 10));
    return IMPORT_OK;
}

int import_to_paletted(level *lvl, int page, const unsigned char *rgb, const import_selection *selection,
                       int placement)
{
    level_texture &texture = lvl->textures[page];
    placement_plan plan;
    if (!plan_placement(lvl, page, placement, &plan)) return IMPORT_BAD_PAGE;

    // One block: the training picture (blue, green, red per pixel, black
    // where not selected) and the selection mask.
    unsigned char *picture = (unsigned char *)malloc(PAGE_PIXELS * 3 + PAGE_PIXELS);
    unsigned char *fresh;
    unsigned char *pixels = page_buffer(texture, &fresh);
    if (!picture || !pixels) {
        free(picture);
        free(fresh);
        debug_log(" Failed to allocate space for the picture.");
        return IMPORT_NO_MEMORY;
    }
    unsigned char *mask = picture + PAGE_PIXELS * 3;
    build_selection_mask(mask, selection);
    for (int i = 0; i < PAGE_PIXELS; i++) {
        unsigned char *t = picture + i * 3;
        const unsigned char *c = rgb + i * 3;
        bool keep = mask[i] != 0;
        t[0] = keep ? c[2] : 0;
        t[1] = keep ? c[1] : 0;
        t[2] = keep ? c[0] : 0;
    }
    quant_init(picture, PAGE_PIXELS * 3, 1);
    quant_learn();
    quant_unbias();
    debug_log(" Placing new palette in %d.", plan.id);

    level_palette *target = place_palette(lvl, page, plan);
    if (!target) {
        free(picture);
        free(fresh);
        debug_log(" Failed to allocate space for new palette.");
        return IMPORT_NO_MEMORY;
    }
    if (fresh) texture.pixels = fresh;
    quant_store_palette(target);
    quant_build_index();
    // Runs of one colour are common in textures: look each run up once.
    uint32_t last_colour = 0xFFFFFFFF;
    unsigned char last_index = 0;
    for (int i = 0; i < PAGE_PIXELS; i++) {
        if (mask[i]) {
            const unsigned char *t = picture + i * 3;
            uint32_t colour = t[0] | (uint32_t)t[1] << 8 | (uint32_t)t[2] << 16;
            if (colour != last_colour) {
                last_colour = colour;
                last_index = (unsigned char)quant_lookup(t[0], t[1], t[2]);
            }
            pixels[i] = last_index;
        }
    }
    free(picture);
    return IMPORT_OK;
}

// The true-colour importer once its page is known valid: logs which way it
// goes, loads `path` through Allegro unless `image` is given, and imports it.
int import_truecolour(level *lvl, int page, const char *path, const import_image *image,
                      const import_selection *selection, int placement, import_image_size *size)
{
    const bool paletted = lvl->textures[page].paletted;
    debug_log(paletted ? " Importing to 8-bit image." : "Importing to 15-bit image");
    import_image loaded;
    if (!image) {
        if (load_allegro_image(path, &loaded) != IMPORT_OK) return IMPORT_CANNOT_OPEN;
        image = &loaded;
    }
    *size = {image->width, image->height};
    int result = paletted ? import_to_paletted(lvl, page, image->pixels, selection, placement)
                          : import_to_15bit(lvl, page, image->pixels);
    if (image == &loaded) free_import_image(&loaded);
    if (result != IMPORT_OK) return result;
    debug_log("Successfully imported.");
    return IMPORT_OK;
}

}  // namespace

int import_truecolour_image(level *lvl, int page, const char *path, const import_selection *selection,
                            int placement, import_image_size *size)
{
    debug_log("Loading 15-bit texture.");
    import_image_size loaded = {0, 0};
    if (!size) size = &loaded;
    *size = loaded;
    if (!valid_page(lvl, page) || !path) return IMPORT_BAD_PAGE;
    return import_truecolour(lvl, page, path, nullptr, selection, placement, size);
}

// ---------------------------------------------------------------------------
// 6. Loaded images

int import_image_into_page(level *lvl, int page, const import_image *image, const import_selection *selection,
                           int placement)
{
    if (image->indexed) {
        debug_log("Loading 8-bit texture.");
        return valid_page(lvl, page) ? import_indexed(lvl, page, image, selection, placement) : IMPORT_BAD_PAGE;
    }
    debug_log("Loading 15-bit texture.");
    if (!valid_page(lvl, page)) return IMPORT_BAD_PAGE;
    import_image_size size;
    return import_truecolour(lvl, page, nullptr, image, selection, placement, &size);
}
