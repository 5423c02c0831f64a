// Removing the palettes no palette list names.
#pragma once

struct level;

#include <stdint.h>

// Clears the palette_table entry of every palette whose id no palette list
// names (the record stays in `palettes`; the writer leaves it out) and logs
// each one. Answers how many were removed; the first `ids_size` of their ids
// go to `ids` in increasing order (null allowed with 0).
int remove_unused_palettes(level *lvl, int32_t *ids = nullptr, int ids_size = 0);
