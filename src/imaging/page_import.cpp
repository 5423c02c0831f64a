// Importing a decoded image into a texture page.
//
// Sections:
//   1. Selection mask
//   2. Palette placement (new palette or the current slot's, table rebuild)
//   3. Planning: what the import reads from the level
//   4. Reducing: the page and palette it writes
//   5. Applying it to the level
#include "imaging/page_import.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <new>

#include "base/debug_log.h"
#include "imaging/best_quantiser.h"
#include "imaging/image_file.h"
#include "imaging/neuquant.h"
#include "level/level.h"
#include "level/texture_store.h"

// ---------------------------------------------------------------------------
// 1. Selection mask

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
bool plan_placement(const level *lvl, int page, int placement, int slot, placement_plan *plan)
{
    const level_texture &texture = lvl->textures[page];
    bool use_current = placement == IMPORT_PLACE_CURRENT ||
                       (placement == IMPORT_PLACE_AUTO && texture.palette_slot_count >= 2);
    if (slot < 0) slot = texture.palette_slot;
    if (use_current && texture.palette_slot_count >= 1) {
        int id = get_palette_list_entry(lvl, page, slot);
        if (id < 0 || id > MAX_PALETTE_ID) {
            debug_log(" The page has no palette at slot %d to import into.", slot + 1);
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
level_palette *place_palette(level *lvl, int page, const placement_plan &plan, void *(*allocate)(size_t))
{
    level_palette *palettes = lvl->palettes;
    int count = lvl->palette_count;
    if (plan.append) {
        palettes = (level_palette *)allocate((size_t)(count + 1) * sizeof(level_palette));
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
        table = (level_palette **)allocate((size_t)table_size * sizeof(level_palette *));
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

}  // namespace

// ---------------------------------------------------------------------------
// 3. Planning

namespace {

// Marks every entry the pixels of `page` use; a 15-bit page or one without
// pixels marks nothing.
void mark_entries_used(const level *lvl, int page, bool used[256])
{
    if (page < 0 || page >= lvl->texture_count) return;
    const level_texture &t = lvl->textures[page];
    if (!t.paletted || !t.pixels) return;
    for (int i = 0; i < PAGE_PIXELS; i++) used[t.pixels[i]] = true;
}

}  // namespace

int plan_page_import(const level *lvl, int page, const import_image *image, const import_options *options,
                     import_plan *plan)
{
    static const import_options defaults;
    if (!options) options = &defaults;
    if (!lvl || !lvl->textures || page < 0 || page >= lvl->texture_count) return IMPORT_BAD_PAGE;
    const level_texture &texture = lvl->textures[page];
    debug_log(image->indexed ? "Loading 8-bit texture." : "Loading 15-bit texture.");
    if (!image->indexed) debug_log(texture.paletted ? " Importing to 8-bit image." : "Importing to 15-bit image");
    plan->page = page;
    plan->paletted = texture.paletted;
    plan->options = *options;
    plan->options.selection = nullptr;  // the mask holds it from here on
    plan->image_indexed = image->indexed;
    memset(plan->old_entries, 0, sizeof plan->old_entries);
    memset(plan->fixed, 0, sizeof plan->fixed);
    if (texture.pixels) memcpy(plan->old_pixels, texture.pixels, page_byte_size(texture));
    else memset(plan->old_pixels, 0, sizeof plan->old_pixels);
    build_selection_mask(plan->mask, texture.paletted ? options->selection : nullptr);
    if (!texture.paletted) return IMPORT_OK;

    placement_plan placement;
    if (!plan_placement(lvl, page, options->placement, options->slot, &placement)) return IMPORT_BAD_PAGE;
    plan->palette_id = placement.id;
    plan->append = placement.append;
    plan->store_in_list = placement.store_in_list;
    // A new palette starts as a copy of the one it replaces in the list.
    const level_palette *old = palette_by_id(lvl, placement.store_in_list ? current_palette_id(lvl, page) : placement.id);
    if (old) memcpy(plan->old_entries, old->entries, sizeof plan->old_entries);
    if (options->replace_palette) return IMPORT_OK;

    // Fixed: what this page shows outside the chosen area, and, for a
    // palette written in place, everything other pages listing it show.
    for (int i = 0; i < PAGE_PIXELS; i++)
        if (!plan->mask[i]) plan->fixed[plan->old_pixels[i]] = true;
    for (int l = 0; !placement.store_in_list && lvl->palette_lists && l < lvl->palette_list_count; l++) {
        const palette_list &list = lvl->palette_lists[l];
        for (int k = 0; list.palette_ids && k < list.count; k++)
            if (list.palette_ids[k] == placement.id && list.texture != page) mark_entries_used(lvl, list.texture, plan->fixed);
    }
    return IMPORT_OK;
}

// ---------------------------------------------------------------------------
// 4. Reducing

namespace {

inline uint32_t rgb_at(const unsigned char *rgb, int i)
{
    return (uint32_t)rgb[3 * i] << 16 | (uint32_t)rgb[3 * i + 1] << 8 | rgb[3 * i + 2];
}

inline void set_rgb(unsigned char entry[4], uint32_t colour)
{
    entry[0] = (unsigned char)(colour >> 16), entry[1] = (unsigned char)(colour >> 8), entry[2] = (unsigned char)colour;
}

// A recolour: every chosen index shows one colour of the image. The entries
// take those colours and the indices stay; a fixed entry keeps its colour and
// its chosen pixels move to a free entry of their own. False (result
// untouched) when the image is no recolour or free entries run out.
bool recolour(const import_plan *plan, const unsigned char *rgb, import_result *r)
{
    int64_t colour_of[256];
    for (int e = 0; e < 256; e++) colour_of[e] = -1;
    for (int i = 0; i < PAGE_PIXELS; i++) {
        if (!plan->mask[i]) continue;
        int64_t &c = colour_of[plan->old_pixels[i]];
        if (c < 0) c = rgb_at(rgb, i);
        else if (c != rgb_at(rgb, i)) return false;
    }
    int moved_to[256], next_free = 0;
    unsigned char entries[256][4];
    memcpy(entries, plan->old_entries, sizeof entries);
    for (int e = 0; e < 256; e++) {
        moved_to[e] = e;
        if (colour_of[e] < 0) continue;
        const uint32_t was = rgb_at(plan->old_entries[e], 0);
        if (!plan->fixed[e]) {
            set_rgb(entries[e], (uint32_t)colour_of[e]);
        } else if (was != (uint32_t)colour_of[e]) {
            while (next_free < 256 && (plan->fixed[next_free] || colour_of[next_free] >= 0)) next_free++;
            if (next_free == 256) return false;
            set_rgb(entries[next_free], (uint32_t)colour_of[e]);
            moved_to[e] = next_free++;
        }
    }
    memcpy(r->entries, entries, sizeof entries);
    for (int i = 0; i < PAGE_PIXELS; i++)
        if (plan->mask[i]) r->pixels[i] = (unsigned char)moved_to[plan->old_pixels[i]];
    return true;
}

// The import as it always was: a NeuQuant palette learned from the chosen
// pixels (black elsewhere) replaces the whole palette.
int reduce_neuquant(const import_plan *plan, const unsigned char *rgb, import_result *r)
{
    unsigned char *picture = (unsigned char *)malloc(PAGE_PIXELS * 3);
    neuquant *network = new (std::nothrow) neuquant;  // over-aligned for the vector code
    if (!picture || !network) {
        free(picture);
        delete network;
        return IMPORT_NO_MEMORY;
    }
    for (int i = 0; i < PAGE_PIXELS; i++) {  // the network takes blue, green, red
        unsigned char *t = picture + i * 3;
        const unsigned char *c = rgb + i * 3;
        bool keep = plan->mask[i] != 0;
        t[0] = keep ? c[2] : 0, t[1] = keep ? c[1] : 0, t[2] = keep ? c[0] : 0;
    }
    neuquant_init(network, picture, PAGE_PIXELS * 3, 1);
    neuquant_learn(network);
    neuquant_unbias(network);
    level_palette learned;
    neuquant_store_palette(network, &learned);
    memcpy(r->entries, learned.entries, sizeof r->entries);
    neuquant_build_index(network);
    // Runs of one colour are common in textures: look each run up once.
    uint32_t last_colour = 0xFFFFFFFF;
    unsigned char last_index = 0;
    for (int i = 0; i < PAGE_PIXELS; i++) {
        if (!plan->mask[i]) continue;
        const unsigned char *t = picture + i * 3;
        uint32_t colour = t[0] | (uint32_t)t[1] << 8 | (uint32_t)t[2] << 16;
        if (colour != last_colour) {
            last_colour = colour;
            last_index = (unsigned char)neuquant_lookup(network, t[0], t[1], t[2]);
        }
        r->pixels[i] = last_index;
    }
    delete network;
    free(picture);
    return IMPORT_OK;
}

// The squared error of the chosen pixels shown through `palette` at `indices`.
uint64_t chosen_error(const import_plan *plan, const unsigned char *rgb, const unsigned char palette[256][3],
                      const unsigned char *indices)
{
    uint64_t sum = 0;
    for (int i = 0; i < PAGE_PIXELS; i++) {
        if (!plan->mask[i]) continue;
        for (int c = 0; c < 3; c++) {
            int d = (int)rgb[3 * i + c] - (int)palette[indices[i]][c];
            sum += (uint64_t)(d * d);
        }
    }
    return sum;
}

// The chosen pixels reduced into the free entries (learned from them by the
// best quantiser), the fixed ones usable as they are. The old colours alone
// are kept instead when they come closer.
int reduce_best(const import_plan *plan, const unsigned char *rgb, import_result *r)
{
    unsigned char learned[256][3], old[256][3];
    for (int e = 0; e < 256; e++) memcpy(old[e], plan->old_entries[e], 3), memcpy(learned[e], plan->old_entries[e], 3);
    unsigned char *indices = (unsigned char *)malloc(2 * PAGE_PIXELS);
    if (!indices) return IMPORT_NO_MEMORY;
    unsigned char *old_indices = indices + PAGE_PIXELS;
    const bool dither = plan->options.dither;
    bool any_fixed = false;
    for (int e = 0; e < 256; e++) any_fixed = any_fixed || plan->fixed[e];
    int failed = best_learn_palette(rgb, PAGE_SIZE, PAGE_SIZE, plan->mask, learned, plan->fixed);
    if (!failed) failed = best_map_pixels(rgb, PAGE_SIZE, PAGE_SIZE, plan->mask, learned, dither, indices);
    if (!failed && any_fixed) {
        failed = best_map_pixels(rgb, PAGE_SIZE, PAGE_SIZE, plan->mask, old, dither, old_indices);
        if (!failed && chosen_error(plan, rgb, old, old_indices) < chosen_error(plan, rgb, learned, indices)) {
            memcpy(learned, old, sizeof old);
            memcpy(indices, old_indices, PAGE_PIXELS);
        }
    }
    if (failed) {
        free(indices);
        return IMPORT_NO_MEMORY;
    }
    for (int e = 0; e < 256; e++) memcpy(r->entries[e], learned[e], 3);  // the fourth byte stays
    for (int i = 0; i < PAGE_PIXELS; i++)
        if (plan->mask[i]) r->pixels[i] = indices[i];
    free(indices);
    return IMPORT_OK;
}

// An indexed image's colour table agrees with the palette wherever the
// palette must keep its colours.
bool table_fits(const import_plan *plan, const import_image *image)
{
    for (int e = 0; e < 256; e++)
        if (plan->fixed[e] && memcmp(image->entries[e], plan->old_entries[e], 3) != 0) return false;
    return true;
}

int reduce_paletted(const import_plan *plan, const import_image *image, const unsigned char *rgb, import_result *r)
{
    const import_options &o = plan->options;
    if (image->indexed && !o.replace_palette && table_fits(plan, image)) {
        for (int e = 0; e < 256; e++)
            if (!plan->fixed[e]) memcpy(r->entries[e], image->entries[e], 4);
        for (int i = 0; i < PAGE_PIXELS; i++)
            if (plan->mask[i]) r->pixels[i] = image->pixels[i];
        r->summary.indices_kept = true;
        return IMPORT_OK;
    }
    if (image->indexed && o.replace_palette) {  // the table replaces the palette, as it always did
        memcpy(r->entries, image->entries, sizeof r->entries);
        for (int i = 0; i < PAGE_PIXELS; i++)
            if (plan->mask[i]) r->pixels[i] = image->pixels[i];
        r->summary.indices_kept = true;
        return IMPORT_OK;
    }
    if (!o.replace_palette && recolour(plan, rgb, r)) {
        r->summary.indices_kept = true;
        return IMPORT_OK;
    }
    const bool whole_palette = o.replace_palette || r->summary.free_entries == 256;
    if (whole_palette && o.quantiser == QUANTISER_NEUQUANT) return reduce_neuquant(plan, rgb, r);
    return reduce_best(plan, rgb, r);
}

}  // namespace

int reduce_page_import(const import_plan *plan, const import_image *image, import_result *r)
{
    memcpy(r->pixels, plan->old_pixels, sizeof r->pixels);
    memcpy(r->entries, plan->old_entries, sizeof r->entries);
    r->summary = import_summary();
    r->summary.paletted = plan->paletted;
    r->summary.free_entries = 256;
    for (int e = 0; e < 256; e++) r->summary.free_entries -= plan->fixed[e];
    r->summary.partial = r->summary.free_entries < 256;
    // An indexed image's colours, for the pages and ways that take colours.
    unsigned char *expanded = nullptr;
    const unsigned char *rgb = image->pixels;
    if (image->indexed) {
        expanded = (unsigned char *)malloc(PAGE_PIXELS * 3);
        if (!expanded) return IMPORT_NO_MEMORY;
        for (int i = 0; i < PAGE_PIXELS; i++) memcpy(expanded + 3 * i, image->entries[image->pixels[i]], 3);
        rgb = expanded;
    }
    int result = IMPORT_OK;
    bool chosen = false;
    for (int i = 0; i < PAGE_PIXELS && !chosen; i++) chosen = plan->mask[i] != 0;
    if (!chosen) {
        // Nothing chosen: nothing changes.
    } else if (plan->paletted) {
        result = reduce_paletted(plan, image, rgb, r);
    } else {
        // Bit 15 stays 0, so no pixel becomes the transparent key.
        uint16_t *out = (uint16_t *)(void *)r->pixels;
        for (int i = 0; i < PAGE_PIXELS; i++) out[i] = rgb15_from_rgb(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
    }
    free(expanded);
    return result;
}

// ---------------------------------------------------------------------------
// 5. Applying

int apply_page_import(level *lvl, const import_plan *plan, const import_result *r)
{
    level_texture &texture = lvl->textures[plan->page];
    unsigned char *fresh = nullptr;
    if (!texture.pixels) {
        fresh = (unsigned char *)calloc(1, page_byte_size(texture));
        if (!fresh) {
            debug_log(" Failed to allocate space for the page.");
            return IMPORT_NO_MEMORY;
        }
    }
    if (plan->paletted) {
        placement_plan placement = {plan->palette_id, plan->append, plan->store_in_list};
        if (plan->store_in_list && !plan_placement(lvl, plan->page, IMPORT_PLACE_NEW, -1, &placement)) {
            free(fresh);
            return IMPORT_BAD_PAGE;
        }
        debug_log(plan->image_indexed ? " Placing in %d" : " Placing new palette in %d.", placement.id);
        level_palette *target = place_palette(lvl, plan->page, placement,
                                              plan->options.allocate ? plan->options.allocate : malloc);
        if (!target) {
            free(fresh);
            debug_log(" Failed to allocate space for new palette!");
            return IMPORT_NO_MEMORY;
        }
        memcpy(target->entries, r->entries, sizeof target->entries);
    }
    if (fresh) texture.pixels = fresh;
    memcpy(texture.pixels, r->pixels, page_byte_size(texture));
    debug_log(plan->image_indexed ? "Done importing 8-bit texture." : "Successfully imported.");
    return IMPORT_OK;
}

int import_image_into_page(level *lvl, int page, const import_image *image, const import_options *options,
                           import_summary *summary)
{
    import_plan *plan = (import_plan *)malloc(sizeof *plan);
    import_result *result = (import_result *)malloc(sizeof *result);
    int code = plan && result ? plan_page_import(lvl, page, image, options, plan) : IMPORT_NO_MEMORY;
    if (code == IMPORT_OK) code = reduce_page_import(plan, image, result);
    if (code == IMPORT_OK) code = apply_page_import(lvl, plan, result);
    if (code == IMPORT_OK && summary) *summary = result->summary;
    if (code == IMPORT_NO_MEMORY && !(plan && result)) debug_log(" Failed to allocate space for the picture.");
    free(plan);
    free(result);
    return code;
}
