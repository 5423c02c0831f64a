// Palette ids, palette-list slots, the palettes in use and the conversion of a page to RGBA.
#pragma once
#include <stdint.h>

#include "level/level.h"

// Answered by get_palette_list_entry when there is no such entry: no palette
// id (a signed 16-bit value) can take it.
enum { NO_PALETTE_ENTRY = -0x10000 };

// The lowest id whose palette_table entry is null; -1 if none or no table.
int find_free_palette_id(const level *lvl);
// Stores an id into a slot of the page's first palette list. Refused (and
// nothing touched) for a page outside the level, a slot outside the list
// (logged) and an id outside the palette table (logged).
void set_palette_list_entry(level *lvl, int page, int palette_id, int slot);
// The id in a slot of the page's first palette list; NO_PALETTE_ENTRY when
// the page is outside the level, has no list, or the slot is out of range.
int get_palette_list_entry(const level *lvl, int page, int slot);
// The id the page is shown with: its list's id at palette_slot; 0 for a
// 15-bit page or a page without a list; NO_PALETTE_ENTRY for a page outside
// the level or a palette_slot outside its list.
int current_palette_id(const level *lvl, int page);
// The first palette list naming the page, or null: the one the editor shows
// and imports into; a later list for the same page is ignored.
palette_list *find_palette_list(level *lvl, int page);
const palette_list *find_palette_list(const level *lvl, int page);
// The palette with the given id; null when the id is outside the palette
// table or its entry is empty (deleted).
const level_palette *palette_by_id(const level *lvl, int id);
// Whether some page's palette list names the id in any of its slots. A
// palette no list names can never be shown, and the removal of unused
// palettes takes exactly those.
bool palette_is_listed(const level *lvl, int id);

// Converts a 15-bit page to RGBA bytes (red, green, blue, alpha per pixel);
// with `apply_key` the pixel 0x8421 becomes fully transparent black.
void page16_to_rgba(const uint16_t *pixels, bool apply_key, unsigned char *rgba);
// Converts a paletted page through one palette; alpha is always 255.
void page8_to_rgba(const unsigned char *indices, const level_palette *palette, unsigned char *rgba);
