// Removing the palettes no palette list names.
#pragma once

struct level;

// Clears the palette_table entry of every palette whose id no palette list
// names (the record stays in `palettes`; the writer leaves it out) and logs
// each one. Answers how many were removed.
int remove_unused_palettes(level *lvl);
