// The GL textures of the loaded level's pages, one per page and palette slot.
#pragma once
#include "level/level.h"

struct gl_texture_set {
    unsigned int **gl_names;   // per page, names by palette slot; ~0u = none
    int *slot_counts;          // per page; -1 for a 15-bit page
    int count;                 // pages the set was built for
};

// Builds a texture for every page and every slot of its palette list (the
// level's palette_slot_count and palette_slot are only read: the reader set them).
void build_gl_textures(gl_texture_set *set, level *lvl);
void rebuild_gl_texture(gl_texture_set *set, level *lvl, int page);
unsigned int gl_texture_for(const gl_texture_set *set, int page, int slot);
void release_gl_textures(gl_texture_set *set);
// Frees the arrays without deleting GL textures (shut-down: the context ends
// with the process).
void free_gl_texture_arrays(gl_texture_set *set);
