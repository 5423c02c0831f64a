// Writing a level back: the level file rebuilt from its source, the palette list.
#pragma once
#include <stdio.h>

#include "level/level.h"

// Result codes of the writers and the save.
enum {
    SAVE_OK = 0,
    SAVE_NULL_FILE = 1,
    SAVE_READ_FAILED = 2,      // the source file could not be read as expected
    SAVE_WRITE_FAILED = 3,     // a write, flush, close or rename failed
    SAVE_SOURCE_CHANGED = 4,   // the file on disk no longer matches the level
    SAVE_NO_MEMORY = 5,
};

int write_level(FILE *src, FILE *dst, level *lvl);
int write_texture_block(FILE *src, FILE *dst, level *lvl);
int write_palette_lists(FILE *dst, level *lvl);

// Saves the loaded level to level_path and d3d_path through temporary files
// renamed over them; on failure both files stay exactly as they were.
int save_level(level *lvl);
// The save command: logs, clears level_changed on success and reports a
// failure to the user.
void save_level_command();
