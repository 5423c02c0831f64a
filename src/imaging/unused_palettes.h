// "Delete Unused Palettes": removing the palettes no palette list names.
#pragma once

struct level;

// Clears the palette_table entry of every palette whose id no palette list
// names (the record stays in `palettes`; the writer leaves it out), logs
// each one and sets level_changed when at least one was removed.
void remove_unused_palettes(level *lvl);
// The Level menu's command: the removal on the application's level.
void delete_unused_palettes_command();
