// Stand-ins for the palette-list operations and the GL re-upload until the
// level code provides them; weak, so the real ones win once they exist.
#include "level/gl_textures.h"
#include "level/texture_store.h"
#include "app/debug_log.h"

__attribute__((weak)) int find_free_palette_id(level *lvl)
{
    for (int i = 0; i < lvl->palette_table_size; i++)
        if (!lvl->palette_table[i]) return i;
    return -1;
}

__attribute__((weak)) palette_list *find_palette_list(level *lvl, int page)
{
    for (int i = 0; i < lvl->palette_list_count; i++)
        if (lvl->palette_lists[i].texture == page) return &lvl->palette_lists[i];
    return nullptr;
}

__attribute__((weak)) void set_palette_list_entry(level *lvl, int page, int palette_id, int slot)
{
    palette_list *list = find_palette_list(lvl, page);
    if (!list) return;
    if (list->count <= 0 || slot < 0 || slot >= list->count) {
        debug_log("Out of bounds d3d replacement: Tried to store palette %d into slot %d/%d of image %d.",
                  palette_id, slot + 1, list->count, page);
        return;
    }
    list->palette_ids[slot] = palette_id;
}

__attribute__((weak)) int get_palette_list_entry(level *lvl, int page, int slot)
{
    palette_list *list = find_palette_list(lvl, page);
    if (!list) return NO_PALETTE_ENTRY;
    if (list->count <= 0 || slot < 0 || slot >= list->count) {
        debug_log("Out of bounds d3d query: Tried to find palette %d/%d of image %d.", slot + 1, list->count, page);
        return NO_PALETTE_ENTRY;
    }
    return list->palette_ids[slot];
}

__attribute__((weak)) int current_palette_id(level *lvl, int page)
{
    if (page < 0 || page >= lvl->texture_count || !lvl->textures[page].paletted) return 0;
    palette_list *list = find_palette_list(lvl, page);
    if (!list) return 0;
    int slot = lvl->textures[page].palette_slot;
    if (slot < 0 || slot >= list->count) return 0;
    return list->palette_ids[slot];
}

__attribute__((weak)) void rebuild_gl_texture(gl_texture_set *, level *, int) {}
