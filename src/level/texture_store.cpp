// Palette ids, palette-list slots, page-to-RGBA conversion and the level's cleanup.
#include "level/texture_store.h"

#include <string.h>

#include "base/debug_log.h"

int find_free_palette_id(const level *lvl)
{
    if (!lvl->palette_table) return -1;
    for (int32_t id = 0; id < lvl->palette_table_size; id++)
        if (!lvl->palette_table[id]) return id;
    return -1;
}

const palette_list *find_palette_list(const level *lvl, int page)
{
    if (!lvl->palette_lists) return nullptr;
    for (int32_t i = 0; i < lvl->palette_list_count; i++)
        if (lvl->palette_lists[i].texture == page) return &lvl->palette_lists[i];
    return nullptr;
}

palette_list *find_palette_list(level *lvl, int page)
{
    return (palette_list *)find_palette_list((const level *)lvl, page);
}

static bool page_in_level(const level *lvl, int page) { return page >= 0 && page < lvl->texture_count; }

void set_palette_list_entry(level *lvl, int page, int palette_id, int slot)
{
    if (!page_in_level(lvl, page)) return;
    palette_list *list = find_palette_list(lvl, page);
    if (!list) return;
    if (list->count <= 0 || slot < 0 || slot >= list->count) {
        debug_log("Out of bounds d3d replacement: Tried to store palette %d into slot %d/%d of image %d.",
                  palette_id, slot + 1, (int)list->count, page);
        return;
    }
    // Only ids that name a palette of the level may enter a list.
    if (palette_id < 0 || palette_id >= lvl->palette_table_size) {
        debug_log("Refused d3d replacement: palette %d is not in the palette table.", palette_id);
        return;
    }
    list->palette_ids[slot] = palette_id;
}

int get_palette_list_entry(const level *lvl, int page, int slot)
{
    if (!page_in_level(lvl, page)) return NO_PALETTE_ENTRY;
    const palette_list *list = find_palette_list(lvl, page);
    if (!list) return NO_PALETTE_ENTRY;
    if (list->count <= 0 || slot < 0 || slot >= list->count) {
        debug_log("Out of bounds d3d query: Tried to find palette %d/%d of image %d.", slot + 1, (int)list->count,
                  page);
        return NO_PALETTE_ENTRY;
    }
    return list->palette_ids[slot];
}

const level_palette *palette_by_id(const level *lvl, int id)
{
    if (!lvl->palette_table || id < 0 || id >= lvl->palette_table_size) return nullptr;
    return lvl->palette_table[id];
}

bool palette_is_listed(const level *lvl, int id)
{
    for (int32_t i = 0; lvl->palette_lists && i < lvl->palette_list_count; i++) {
        const palette_list &l = lvl->palette_lists[i];
        for (int32_t k = 0; l.palette_ids && k < l.count; k++)
            if (l.palette_ids[k] == id) return true;
    }
    return false;
}

int current_palette_id(const level *lvl, int page)
{
    if (!page_in_level(lvl, page)) return NO_PALETTE_ENTRY;
    const level_texture &t = lvl->textures[page];
    if (!t.paletted) return 0;
    const palette_list *list = find_palette_list(lvl, page);
    if (!list) return 0;
    if (t.palette_slot < 0 || t.palette_slot >= list->count) return NO_PALETTE_ENTRY;
    return list->palette_ids[t.palette_slot];
}

void page16_to_rgba(const uint16_t *pixels, bool apply_key, unsigned char *rgba)
{
    for (int i = 0; i < PAGE_PIXELS; i++, rgba += 4) {
        unsigned p = pixels[i];
        if (apply_key && p == TRANSPARENT_KEY) {
            rgba[0] = rgba[1] = rgba[2] = rgba[3] = 0;
            continue;
        }
        rgba[0] = rgb15_red(p);
        rgba[1] = rgb15_green(p);
        rgba[2] = rgb15_blue(p);
        rgba[3] = 255;
    }
}

void page8_to_rgba(const unsigned char *indices, const level_palette *palette, unsigned char *rgba)
{
    for (int i = 0; i < PAGE_PIXELS; i++, rgba += 4) {
        const unsigned char *e = palette->entries[indices[i]];
        rgba[0] = e[0];
        rgba[1] = e[1];
        rgba[2] = e[2];
        rgba[3] = 255;
    }
}

void cleanup_level(level *lvl)
{
    debug_log("Cleaning up level.");
    release_level_memory(lvl);
    debug_log("Level cleaned up successfully.");
    lvl->load_mask = 0;
}
