// Removing the palettes that no palette list names.
#include <gtest/gtest.h>
#include <string.h>

#include "app/app_state.h"
#include "imaging/unused_palettes.h"
#include "level_test_support.h"

namespace {

// Palettes 0-5; lists name 4, 1, 4 again, 9 (no such palette), -2 and 1.
struct unused_fixture : testing::Test {
    level lvl;
    void SetUp() override
    {
        std::vector<builder_palette> palettes;
        for (int16_t id = 0; id < 6; id++) palettes.push_back(make_palette(id));
        byte_buffer lev = encode_level({{BLOCK_TEXTURES, encode_texture_block(palettes, {make_paletted_page(0)})}});
        ASSERT_EQ(load_bytes(&lvl, lev, encode_palette_lists({{0, {4, 1, 4}}, {1, {9, -2, 1}}})), LOAD_OK);
        level_changed = false;
    }
    void TearDown() override { release_level_memory(&lvl); }
};

}  // namespace

TEST_F(unused_fixture, palettes_no_list_names_are_flagged_once)
{
    log_capture log;
    remove_unused_palettes(&lvl);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
        "Deleting unused palettes.", "Palette 0 flagged for deletion.", "Palette 2 flagged for deletion.",
        "Palette 3 flagged for deletion.", "Palette 5 flagged for deletion.", "Finished deleting unused palettes"}));
    EXPECT_TRUE(level_changed);
    EXPECT_EQ(lvl.palette_table[0], nullptr);
    EXPECT_EQ(lvl.palette_table[1], &lvl.palettes[1]);
    EXPECT_EQ(lvl.palette_table[4], &lvl.palettes[4]);
    EXPECT_EQ(lvl.palette_count, 6);  // the records stay
    level_changed = false;
    log.clear();
    remove_unused_palettes(&lvl);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Deleting unused palettes.", "Finished deleting unused palettes"}));
    EXPECT_FALSE(level_changed);
}

TEST_F(unused_fixture, without_lists_every_palette_goes_and_without_a_level_nothing_happens)
{
    for (int32_t i = 0; i < lvl.palette_list_count; i++) free(lvl.palette_lists[i].palette_ids);
    free(lvl.palette_lists);
    lvl.palette_lists = nullptr;
    lvl.palette_list_count = -1;  // as read from a file whose count is -1
    log_capture log;
    remove_unused_palettes(&lvl);
    EXPECT_EQ(log.lines().size(), 8u);
    for (int id = 0; id < 6; id++) EXPECT_EQ(lvl.palette_table[id], nullptr);
    level empty;
    memset(&empty, 0, sizeof empty);
    current_level = &empty;
    level_changed = false;
    log.clear();
    delete_unused_palettes_command();
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Deleting unused palettes."}));
    EXPECT_FALSE(level_changed);
    current_level = nullptr;
}
