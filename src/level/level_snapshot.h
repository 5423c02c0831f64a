// Snapshots of a level's editable state: chosen pages' pixels, the palettes, the palette table, the palette lists and the slots.
//
// A snapshot keeps only what a change can alter: the pixels of the pages the
// caller names (an import names its page, the removal of unused palettes
// none) and the palette state, which is small. Exchanging a snapshot with the
// level moves owned arrays both ways and allocates nothing, so going back and
// forth between two states cannot fail; the snapshot then holds the state the
// level had.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "level/level.h"

struct level_snapshot {
    int32_t page_count;
    int32_t *pages;                 // the pages whose pixels are kept
    unsigned char **pixels;         // per kept page; null = the page had none
    int32_t palette_count;
    level_palette *palettes;
    int32_t palette_table_size;
    level_palette **palette_table;  // points into `palettes`, as the level's does
    int32_t palette_list_count;
    palette_list *palette_lists;
    int32_t texture_count;
    int32_t *slots;                 // palette_slot, palette_slot_count per page
};

// Copies the level's palette state and the pixels of `pages` (indices inside
// the level) into an empty snapshot. Returns 0, or 1 when memory ran out (the
// snapshot is then empty and the level untouched).
int take_level_snapshot(const level *lvl, const int *pages, int page_count, level_snapshot *s);
// Whether the level still is what the snapshot holds, byte for byte.
bool level_matches_snapshot(const level *lvl, const level_snapshot *s);
// Exchanges the snapshot's state with the level's. Refused (false, nothing
// touched) when the level no longer has the snapshot's page count.
bool swap_level_snapshot(level *lvl, level_snapshot *s);
// Marks in `changed` (one entry per page of the level) the pages that look
// different in the snapshot's state: a kept page, or one whose palette list,
// slots or listed palettes differ.
void mark_changed_pages(const level *lvl, const level_snapshot *s, bool *changed);
// The bytes the snapshot owns (the level tells each kept page's format).
size_t level_snapshot_size(const level *lvl, const level_snapshot *s);
// Frees what the snapshot owns and empties it; safe on an empty snapshot.
void free_level_snapshot(level_snapshot *s);
