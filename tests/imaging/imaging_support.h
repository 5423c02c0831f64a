// Shared helpers of the imaging tests: small in-memory levels, generated
// pictures (a red letter on blue), the debug log captured to a file, Allegro.
#pragma once
#include <stdint.h>

#include <array>
#include <string>
#include <vector>

#include "level/level.h"

// A level built field by field: pages[i] paletted or 15-bit with a pattern,
// palettes with the given ids, and palette lists (page, ids).
struct test_list {
    int page;
    std::vector<int> ids;
};
void make_test_level(level *lvl, const std::vector<bool> &paletted_pages, const std::vector<int> &palette_ids,
                     const std::vector<test_list> &lists);
// Frees what make_test_level and the importers allocated.
void free_test_level(level *lvl);
// Palette colour of entry i of a palette with the given id (red, green, blue, extra).
void test_palette_colour(int id, int i, unsigned char out[4]);
level_palette *palette_with_id(level *lvl, int id);

// A width x height picture, bytes red, green, blue per pixel, rows top to
// bottom: a red "F" on a blue background with a soft gradient, so swapped
// channels, flipped rows and mirrored columns all show.
std::vector<unsigned char> make_letter_picture(int width, int height);

// The debug log goes to a fresh file for the current test; log_text()
// returns everything logged since.
void start_log_capture();
std::string log_text();

// Allegro without a display, 32-bit colour, for load_bitmap and save_bitmap.
void init_allegro_for_tests();
// Saves an RGB picture (as above) through Allegro in the format the
// extension names (.bmp 24-bit, .tga, .pcx). Returns false on failure.
bool save_picture(const std::string &path, const std::vector<unsigned char> &rgb, int width, int height);

// A byte-exact 8-bit bitmap: `colours` table entries (colours-used field
// `colours_field`), the given indices (rows top to bottom, written bottom up).
std::vector<unsigned char> make_8bit_bitmap(const std::vector<unsigned char> &indices,
                                            const std::vector<std::array<unsigned char, 4>> &table,
                                            uint32_t colours_field);
