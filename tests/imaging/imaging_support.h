// Shared helpers of the imaging tests: small levels and a picture.
#pragma once
#include <vector>

#include "demo/level_builder.h"
#include "level/level.h"

// A level loaded from builder bytes: page t paletted or 15-bit, palettes
// with the given ids, palette lists {page, ids}, each page's slot count from its
// first list. Free with release_level_memory.
void make_test_level(level *lvl, const std::vector<bool> &paletted_pages, const std::vector<int> &palette_ids,
                     const std::vector<builder_palette_list> &lists);
level_palette *palette_with_id(level *lvl, int id);

// A width x height RGB picture, rows top to bottom: a red "F" on a blue
// gradient, so swapped channels, flipped rows and mirrored columns all show.
std::vector<unsigned char> make_letter_picture(int width, int height);
