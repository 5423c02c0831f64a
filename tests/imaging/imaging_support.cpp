// Helpers of the imaging tests: in-memory levels and a picture.
#include "imaging_support.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>

void make_test_level(level *lvl, const std::vector<bool> &paletted_pages, const std::vector<int> &palette_ids,
                     const std::vector<test_list> &lists)
{
    memset(lvl, 0, sizeof *lvl);
    lvl->load_mask = LOAD_ALL;
    lvl->texture_count = (int)paletted_pages.size();
    lvl->textures = (level_texture *)calloc(paletted_pages.size() + 1, sizeof(level_texture));
    for (size_t t = 0; t < paletted_pages.size(); t++) {
        level_texture &page = lvl->textures[t];
        page.paletted = paletted_pages[t];
        page.flags = page.paletted ? PAGE_FLAG_PALETTED : 0;
        page.palette_slot_count = -1;
        page.pixels = (unsigned char *)malloc(page.paletted ? PAGE_PIXELS : PAGE_PIXELS * 2);
        for (int i = 0; i < PAGE_PIXELS; i++)
            if (page.paletted) page.pixels[i] = (unsigned char)(i % 251 + t);
            else page_pixels16(page)[i] = (uint16_t)(i * 37 + t);
    }
    lvl->palette_count = (int)palette_ids.size();
    lvl->palettes = (level_palette *)calloc(palette_ids.size() + 1, sizeof(level_palette));
    int max_id = -1;
    for (size_t p = 0; p < palette_ids.size(); p++) {
        int id = palette_ids[p];
        lvl->palettes[p].id = (int16_t)id;
        for (int i = 0; i < 256; i++) {
            unsigned char *e = lvl->palettes[p].entries[i];
            e[0] = (unsigned char)(i * 7 + id * 31), e[1] = (unsigned char)(255 - i);
            e[2] = (unsigned char)(i * 3 + id), e[3] = (unsigned char)(i ^ 0x5A);
        }
        max_id = std::max(max_id, id);
    }
    lvl->palette_table_size = max_id + 1;
    lvl->palette_table = (level_palette **)calloc((size_t)max_id + 2, sizeof(level_palette *));
    for (size_t p = 0; p < palette_ids.size(); p++) lvl->palette_table[palette_ids[p]] = &lvl->palettes[p];
    lvl->palette_list_count = (int)lists.size();
    lvl->palette_lists = (palette_list *)calloc(lists.size() + 1, sizeof(palette_list));
    for (size_t l = 0; l < lists.size(); l++) {
        palette_list &list = lvl->palette_lists[l];
        list.texture = lists[l].page;
        list.count = (int)lists[l].ids.size();
        list.palette_ids = (int32_t *)calloc(lists[l].ids.size() + 1, sizeof(int32_t));
        for (size_t s = 0; s < lists[l].ids.size(); s++) list.palette_ids[s] = lists[l].ids[s];
        level_texture &page = lvl->textures[list.texture];
        if (page.paletted && page.palette_slot_count < 0) page.palette_slot_count = list.count;
    }
}

void free_test_level(level *lvl)
{
    for (int t = 0; t < lvl->texture_count; t++) free(lvl->textures[t].pixels);
    for (int l = 0; l < lvl->palette_list_count; l++) free(lvl->palette_lists[l].palette_ids);
    free(lvl->textures), free(lvl->palettes), free(lvl->palette_table), free(lvl->palette_lists);
    memset(lvl, 0, sizeof *lvl);
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
