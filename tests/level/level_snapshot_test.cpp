// Which pages a step of the undo history changed, for redrawing them.
#include "level/level_snapshot.h"
#include "level/texture_store.h"
#include "level_test_support.h"

TEST(level_snapshot, a_page_whose_list_names_another_palette_counts_as_changed)
{
    // Palettes 0 and 1 hold the same colours, so only the list tells the pages apart.
    builder_palette same = make_palette(0);
    same.id = 1;
    level lvl;
    ASSERT_EQ(load_bytes(&lvl, encode_level({{BLOCK_TEXTURES, encode_texture_block({make_palette(0), same},
                                                                                    {make_paletted_page(0), make_paletted_page(1)})}}),
                         encode_palette_lists({{0, {0}}, {1, {0}}})), LOAD_OK);
    level_snapshot before = {};
    ASSERT_EQ(take_level_snapshot(&lvl, nullptr, 0, &before), 0);
    set_palette_list_entry(&lvl, 1, 1, 0);
    bool changed[2];
    mark_changed_pages(&lvl, &before, changed);
    EXPECT_TRUE(!changed[0] && changed[1]);
    free_level_snapshot(&before);
    release_level_memory(&lvl);
}
