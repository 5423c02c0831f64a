// Snapshots of a level's editable state: taking, comparing, exchanging with the level, freeing.
#include "level/level_snapshot.h"

#include <stdlib.h>
#include <string.h>

#include "level/texture_store.h"

namespace {

// A copy of `size` bytes, or null when there is nothing to copy or no memory
// (`*failed` tells the two apart).
void *copy_bytes(const void *from, size_t size, bool *failed)
{
    if (!from || size == 0) return nullptr;
    void *to = malloc(size);
    if (!to) {
        *failed = true;
        return nullptr;
    }
    memcpy(to, from, size);
    return to;
}

size_t list_bytes(const palette_list &list)
{
    return list.count > 0 && list.palette_ids ? (size_t)list.count * sizeof(int32_t) : 0;
}

// The palette a table entry points at, as an index into the palettes; -1 for none.
long table_index(const level_palette *const *table, int32_t id, const level_palette *palettes, int32_t count)
{
    const level_palette *p = table ? table[id] : nullptr;
    if (!p || !palettes || p < palettes || p >= palettes + count) return -1;
    return (long)(p - palettes);
}

const palette_list *first_list(const palette_list *lists, int32_t count, int page)
{
    for (int32_t i = 0; lists && i < count; i++)
        if (lists[i].texture == page) return &lists[i];
    return nullptr;
}

bool same_list(const palette_list &a, const palette_list &b)
{
    return a.texture == b.texture && a.count == b.count && list_bytes(a) == list_bytes(b) &&
           (list_bytes(a) == 0 || memcmp(a.palette_ids, b.palette_ids, list_bytes(a)) == 0);
}

bool same_palette(const level_palette *a, const level_palette *b)
{
    if (!a || !b) return a == b;
    return a->id == b->id && memcmp(a->entries, b->entries, sizeof a->entries) == 0;
}

const level_palette *snapshot_palette(const level_snapshot *s, int id)
{
    return s->palette_table && id >= 0 && id < s->palette_table_size ? s->palette_table[id] : nullptr;
}

template <typename T> void exchange(T &a, T &b)
{
    T t = a;
    a = b;
    b = t;
}

}  // namespace

int take_level_snapshot(const level *lvl, const int *pages, int page_count, level_snapshot *s)
{
    memset(s, 0, sizeof *s);
    bool failed = false;
    if (page_count > 0) {
        s->pages = (int32_t *)malloc((size_t)page_count * sizeof *s->pages);
        s->pixels = (unsigned char **)calloc((size_t)page_count, sizeof *s->pixels);
        failed = !s->pages || !s->pixels;
        for (int i = 0; !failed && i < page_count; i++) {
            const level_texture &t = lvl->textures[pages[i]];
            s->pages[i] = pages[i];
            s->pixels[i] = (unsigned char *)copy_bytes(t.pixels, page_byte_size(t), &failed);
            s->page_count = i + 1;
        }
    }
    s->palette_count = lvl->palette_count;
    s->palettes = (level_palette *)copy_bytes(lvl->palettes, (size_t)lvl->palette_count * sizeof(level_palette), &failed);
    if (lvl->palette_table && lvl->palette_table_size > 0) {
        s->palette_table = (level_palette **)calloc((size_t)lvl->palette_table_size, sizeof *s->palette_table);
        failed = failed || !s->palette_table;
    }
    s->palette_table_size = lvl->palette_table_size;
    for (int32_t id = 0; !failed && s->palette_table && id < s->palette_table_size; id++) {
        long at = table_index(lvl->palette_table, id, lvl->palettes, lvl->palette_count);
        if (at >= 0 && s->palettes) s->palette_table[id] = &s->palettes[at];
    }
    if (lvl->palette_lists && lvl->palette_list_count > 0) {
        s->palette_lists = (palette_list *)calloc((size_t)lvl->palette_list_count, sizeof *s->palette_lists);
        failed = failed || !s->palette_lists;
    }
    for (int32_t i = 0; !failed && s->palette_lists && i < lvl->palette_list_count; i++) {
        const palette_list &from = lvl->palette_lists[i];
        s->palette_lists[i] = {from.texture, from.count, nullptr};
        s->palette_lists[i].palette_ids = (int32_t *)copy_bytes(from.palette_ids, list_bytes(from), &failed);
        s->palette_list_count = i + 1;
    }
    s->texture_count = lvl->texture_count;
    if (lvl->texture_count > 0) {
        s->slots = (int32_t *)malloc((size_t)lvl->texture_count * 2 * sizeof *s->slots);
        failed = failed || !s->slots;
    }
    for (int32_t p = 0; !failed && p < lvl->texture_count; p++) {
        s->slots[2 * p] = lvl->textures[p].palette_slot;
        s->slots[2 * p + 1] = lvl->textures[p].palette_slot_count;
    }
    if (!failed) return 0;
    free_level_snapshot(s);
    return 1;
}

bool level_matches_snapshot(const level *lvl, const level_snapshot *s)
{
    if (lvl->texture_count != s->texture_count || lvl->palette_count != s->palette_count ||
        lvl->palette_table_size != s->palette_table_size || lvl->palette_list_count != s->palette_list_count)
        return false;
    for (int i = 0; i < s->page_count; i++) {
        const level_texture &t = lvl->textures[s->pages[i]];
        if (!t.pixels || !s->pixels[i]) {
            if (t.pixels != s->pixels[i]) return false;
        } else if (memcmp(t.pixels, s->pixels[i], page_byte_size(t)) != 0) {
            return false;
        }
    }
    for (int32_t i = 0; i < s->palette_count; i++)
        if (!same_palette(&lvl->palettes[i], &s->palettes[i])) return false;
    for (int32_t id = 0; id < s->palette_table_size; id++)
        if (table_index(lvl->palette_table, id, lvl->palettes, lvl->palette_count) !=
            table_index(s->palette_table, id, s->palettes, s->palette_count))
            return false;
    for (int32_t i = 0; i < s->palette_list_count; i++)
        if (!same_list(lvl->palette_lists[i], s->palette_lists[i])) return false;
    for (int32_t p = 0; p < s->texture_count; p++)
        if (lvl->textures[p].palette_slot != s->slots[2 * p] || lvl->textures[p].palette_slot_count != s->slots[2 * p + 1])
            return false;
    return true;
}

bool swap_level_snapshot(level *lvl, level_snapshot *s)
{
    if (lvl->texture_count != s->texture_count) return false;
    for (int i = 0; i < s->page_count; i++)
        if (s->pages[i] < 0 || s->pages[i] >= lvl->texture_count) return false;
    for (int i = 0; i < s->page_count; i++) exchange(lvl->textures[s->pages[i]].pixels, s->pixels[i]);
    exchange(lvl->palette_count, s->palette_count);
    exchange(lvl->palettes, s->palettes);
    exchange(lvl->palette_table_size, s->palette_table_size);
    exchange(lvl->palette_table, s->palette_table);
    exchange(lvl->palette_list_count, s->palette_list_count);
    exchange(lvl->palette_lists, s->palette_lists);
    for (int32_t p = 0; p < s->texture_count; p++) {
        exchange(lvl->textures[p].palette_slot, s->slots[2 * p]);
        exchange(lvl->textures[p].palette_slot_count, s->slots[2 * p + 1]);
    }
    return true;
}

void mark_changed_pages(const level *lvl, const level_snapshot *s, bool *changed)
{
    for (int32_t p = 0; p < lvl->texture_count; p++) changed[p] = false;
    for (int i = 0; i < s->page_count; i++)
        if (s->pages[i] >= 0 && s->pages[i] < lvl->texture_count) changed[s->pages[i]] = true;
    for (int32_t p = 0; p < lvl->texture_count && p < s->texture_count; p++) {
        const level_texture &t = lvl->textures[p];
        if (t.palette_slot != s->slots[2 * p] || t.palette_slot_count != s->slots[2 * p + 1]) changed[p] = true;
        const palette_list *a = first_list(lvl->palette_lists, lvl->palette_list_count, p);
        const palette_list *b = first_list(s->palette_lists, s->palette_list_count, p);
        if (!a || !b) {
            changed[p] = changed[p] || a != b;
            continue;
        }
        if (!same_list(*a, *b)) changed[p] = true;
        for (int32_t k = 0; !changed[p] && k < a->count && list_bytes(*a) > 0; k++) {
            int id = a->palette_ids[k];
            if (!same_palette(palette_by_id(lvl, id), snapshot_palette(s, id))) changed[p] = true;
        }
    }
}

size_t level_snapshot_size(const level *lvl, const level_snapshot *s)
{
    size_t size = sizeof *s + (size_t)s->page_count * (sizeof *s->pages + sizeof *s->pixels);
    for (int i = 0; i < s->page_count; i++)
        if (s->pixels[i] && s->pages[i] >= 0 && s->pages[i] < lvl->texture_count)
            size += page_byte_size(lvl->textures[s->pages[i]]);
    size += (size_t)s->palette_count * sizeof(level_palette);
    size += (size_t)s->palette_table_size * sizeof(level_palette *);
    for (int32_t i = 0; i < s->palette_list_count; i++) size += sizeof(palette_list) + list_bytes(s->palette_lists[i]);
    return size + (size_t)s->texture_count * 2 * sizeof(int32_t);
}

void free_level_snapshot(level_snapshot *s)
{
    for (int i = 0; s->pixels && i < s->page_count; i++) free(s->pixels[i]);
    free(s->pixels);
    free(s->pages);
    free(s->palettes);
    free(s->palette_table);
    for (int32_t i = 0; s->palette_lists && i < s->palette_list_count; i++) free(s->palette_lists[i].palette_ids);
    free(s->palette_lists);
    free(s->slots);
    memset(s, 0, sizeof *s);
}
