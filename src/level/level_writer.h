// Writing a level back: the level file rebuilt from its source, the palette list.
#pragma once
#include <stdio.h>

#include "level/level.h"

// Result codes of the writers and the save; each failure comes with its
// reason ("the level file on disk has 2 pages, the level 3").
enum {
    SAVE_OK = 0,
    SAVE_NULL_FILE = 1,
    SAVE_READ_FAILED = 2,      // the source file could not be read as expected
    SAVE_WRITE_FAILED = 3,     // a write, flush, sync, close or rename failed
    SAVE_SOURCE_CHANGED = 4,   // the file on disk no longer matches the level
    SAVE_NO_MEMORY = 5,
    SAVE_TOO_LARGE = 6,        // more palettes or bytes than the format holds
};

// Rebuilds the level file: every block is copied from `src` (positioned at
// the file's start) to `dst`, except the texture block the level was read
// from, which is written from memory with its new size; bytes after the last
// block are copied too. Before writing anything it checks that `src` still
// has the level's pages in the level's formats (else SAVE_SOURCE_CHANGED).
// `src` must be seekable. A level read without its textures copies every block.
result write_level(FILE *src, FILE *dst, level *lvl);
// Consumes a texture block's content from `src` and writes the rebuilt
// content: the palettes whose id has a palette_table entry, then the pages.
result write_texture_block(FILE *src, FILE *dst, level *lvl);
result write_palette_lists(FILE *dst, level *lvl);

// Saves the level to the level file it was read from (`level_path`, whose
// blocks other than the textures are copied through) and the palette-list
// file `d3d_path`: each file is written to a new temporary file beside its
// target, synced, and renamed over it. On failure both files stay exactly as
// they were, no temporary file is left and the reason says why.
result save_level(level *lvl, const char *level_path, const char *d3d_path);
// The same, writing the new pair to `level_path` and `d3d_path` while the
// blocks are copied from the level file at `source_path` (which stays as it
// was): the tool's --out.
result save_level_as(level *lvl, const char *source_path, const char *level_path, const char *d3d_path);
