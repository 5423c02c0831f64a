// Helpers of the imaging tests: levels from builder bytes, and a picture.
#include "imaging_support.h"

#include "level_test_support.h"

void make_test_level(level *lvl, const std::vector<bool> &paletted_pages, const std::vector<int> &palette_ids,
                     const std::vector<builder_palette_list> &lists)
{
    std::vector<builder_palette> palettes;
    std::vector<builder_page> pages;
    for (int id : palette_ids) palettes.push_back(make_palette((int16_t)id));
    for (size_t t = 0; t < paletted_pages.size(); t++) pages.push_back(paletted_pages[t] ? make_paletted_page((int)t) : make_rgb15_page((int)t));
    byte_buffer lev = encode_level({{BLOCK_TEXTURES, encode_texture_block(palettes, pages)}});
    ASSERT_EQ(LOAD_OK, load_bytes(lvl, lev, encode_palette_lists(lists)));
    for (const auto &list : lists)  // as the GL texture set does for the first list of a page
        if (lvl->textures[list.texture].palette_slot_count < 0) lvl->textures[list.texture].palette_slot_count = (int)list.palette_ids.size();
}

level_palette *palette_with_id(level *lvl, int id)
{
    return id >= 0 && id < lvl->palette_table_size ? lvl->palette_table[id] : nullptr;
}

std::vector<unsigned char> make_letter_picture(int width, int height)
{
    std::vector<unsigned char> rgb((size_t)width * height * 3);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            unsigned char *p = &rgb[((size_t)y * width + x) * 3];
            bool stem = x >= 40 && x < 80 && y >= 30 && y < 226, top = x >= 40 && x < 200 && y >= 30 && y < 70;
            bool middle = x >= 40 && x < 160 && y >= 110 && y < 145;
            if (stem || top || middle)
                p[0] = (unsigned char)(200 + (x + y) % 56), p[1] = (unsigned char)(20 + y % 30), p[2] = (unsigned char)(10 + x % 20);
            else
                p[0] = (unsigned char)(x / 8), p[1] = (unsigned char)(40 + y / 4), p[2] = (unsigned char)(150 + (x * y) % 100);
        }
    return rgb;
}
