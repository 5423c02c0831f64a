// Fuzz entry point: the 8-bit header check and the 8-bit importer on bytes,
// into a paletted page with one palette, a paletted page with three (only
// selected textures), and a 15-bit page.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "imaging/bitmap_import.h"
#include "render/gl_textures.h"
#include "level/level.h"


namespace {

void make_level(level *lvl)
{
    memset(lvl, 0, sizeof *lvl);
    lvl->texture_count = 3;
    lvl->textures = (level_texture *)calloc(3, sizeof(level_texture));
    for (int t = 0; t < 3; t++) {
        level_texture &page = lvl->textures[t];
        page.paletted = t < 2;
        page.flags = page.paletted ? PAGE_FLAG_PALETTED : 0;
        page.palette_slot_count = t == 0 ? 1 : t == 1 ? 3 : -1;
        page.palette_slot = t == 1 ? 2 : 0;
        page.pixels = (unsigned char *)calloc(1, page.paletted ? PAGE_PIXELS : PAGE_PIXELS * 2);
    }
    lvl->palette_count = 3;
    lvl->palettes = (level_palette *)calloc(3, sizeof(level_palette));
    lvl->palette_table_size = 4;
    lvl->palette_table = (level_palette **)calloc(4, sizeof(level_palette *));
    const int ids[3] = {0, 1, 3};
    for (int i = 0; i < 3; i++) {
        lvl->palettes[i].id = (int16_t)ids[i];
        lvl->palette_table[ids[i]] = &lvl->palettes[i];
    }
    lvl->palette_list_count = 2;
    lvl->palette_lists = (palette_list *)calloc(2, sizeof(palette_list));
    lvl->palette_lists[0] = {0, 1, (int32_t *)calloc(1, sizeof(int32_t))};
    lvl->palette_lists[1] = {1, 3, (int32_t *)calloc(3, sizeof(int32_t))};
    lvl->palette_lists[1].palette_ids[1] = 1;
    lvl->palette_lists[1].palette_ids[2] = 3;
}

void free_level(level *lvl)
{
    for (int t = 0; t < lvl->texture_count; t++) free(lvl->textures[t].pixels);
    free(lvl->textures);
    free(lvl->palettes);
    free(lvl->palette_table);
    for (int i = 0; i < lvl->palette_list_count; i++) free(lvl->palette_lists[i].palette_ids);
    free(lvl->palette_lists);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    check_8bit_bitmap_bytes(data, size);
    level lvl;
    make_level(&lvl);
    texture_name names[2] = {{"a", 1, 10, 10, 40, 20}, {"b", 1, 200, 240, 255, 255}};
    const texture_name *pointers[2] = {&names[0], &names[1]};
    bool selected[2] = {true, size % 2 == 0};
    import_selection selection = {2, pointers, selected};
    import_8bit_bitmap_bytes(&lvl, 0, data, size, nullptr);
    import_8bit_bitmap_bytes(&lvl, 1, data, size, &selection);
    import_8bit_bitmap_bytes(&lvl, 2, data, size, nullptr);
    free_level(&lvl);
    return 0;
}
