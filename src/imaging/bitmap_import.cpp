// Importing a decoded image into a texture page.
//
// Sections:
//   1. Selection mask
//   2. Palette placement (new palette or the current slot's, table rebuild)
//   3. Indexed images (indices and colour table kept)
//   4. True-colour images (15-bit packing, quantiser)
//   5. Loaded images
#include "imaging/bitmap_import.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "base/debug_log.h"
#include "imaging/image_file.h"
#include "imaging/neuquant.h"
#include "level/level.h"
#include "level/texture_store.h"

// ---------------------------------------------------------------------------
// 1. Selection mask

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
// 2. Palette placement. Choosing the palette and making room for it are
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
// 3. Indexed images

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

// ---------------------------------------------------------------------------
// 4. True-colour importer (from red, green, blue pixels, top row first)

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
        out[i] = rgb15_from_rgb(rgb[0], rgb[1], rgb[2]);
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
// goes and imports the image.
int import_truecolour(level *lvl, int page, const import_image *image, const import_selection *selection,
                      int placement)
{
    const bool paletted = lvl->textures[page].paletted;
    debug_log(paletted ? " Importing to 8-bit image." : "Importing to 15-bit image");
    int result = paletted ? import_to_paletted(lvl, page, image->pixels, selection, placement)
                          : import_to_15bit(lvl, page, image->pixels);
    if (result != IMPORT_OK) return result;
    debug_log("Successfully imported.");
    return IMPORT_OK;
}

}  // namespace

// ---------------------------------------------------------------------------
// 5. Loaded images

int import_image_into_page(level *lvl, int page, const import_image *image, const import_selection *selection,
                           int placement)
{
    if (image->indexed) {
        debug_log("Loading 8-bit texture.");
        return valid_page(lvl, page) ? import_indexed(lvl, page, image, selection, placement) : IMPORT_BAD_PAGE;
    }
    debug_log("Loading 15-bit texture.");
    if (!valid_page(lvl, page)) return IMPORT_BAD_PAGE;
    return import_truecolour(lvl, page, image, selection, placement);
}
