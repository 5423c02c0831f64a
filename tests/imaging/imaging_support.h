// Shared helpers of the imaging tests: small in-memory levels and a picture.
#pragma once
#include <vector>

#include "level/level.h"

// A level built field by field: page t paletted or 15-bit with a pattern,
// palettes with the given ids (entry i's colour depends on id and i), and
// palette lists (page, ids). free_test_level frees it and what imports added.
struct test_list {
    int page;
    std::vector<int> ids;
};
void make_test_level(level *lvl, const std::vector<bool> &paletted_pages, const std::vector<int> &palette_ids,
                     const std::vector<test_list> &lists);
void free_test_level(level *lvl);
level_palette *palette_with_id(level *lvl, int id);

// A width x height RGB picture, rows top to bottom: a red "F" on a blue
// gradient, so swapped channels, flipped rows and mirrored columns all show.
std::vector<unsigned char> make_letter_picture(int width, int height);
