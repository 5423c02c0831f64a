// Palette-list slots and the palette a page is shown with: lookups, stores and their refusals.
#include "level/texture_store.h"
#include "level_test_support.h"

namespace {

// Three paletted pages: page 0 with list {2, 0, 1, 4}, page 1 with {3},
// page 2 without a list; one 15-bit page (3). Palettes 0-4.
struct store_fixture : testing::Test {
    level lvl;
    void SetUp() override
    {
        std::vector<builder_palette> palettes;
        for (int16_t id = 0; id < 5; id++) palettes.push_back(make_palette(id));
        byte_buffer lev = encode_level({{BLOCK_TEXTURES, encode_texture_block(palettes,
            {make_paletted_page(0), make_paletted_page(1), make_paletted_page(2), make_rgb15_page(0)})}});
        byte_buffer d3d = encode_palette_lists({{0, {2, 0, 1, 4}}, {1, {3}}, {0, {1}}, {9, {1}}});
        ASSERT_EQ(load_bytes(&lvl, lev, d3d), LOAD_OK);
    }
    void TearDown() override { release_level_memory(&lvl); }
};

}  // namespace

TEST_F(store_fixture, palette_list_slots_in_and_out_of_range)
{
    log_capture log;
    EXPECT_EQ(get_palette_list_entry(&lvl, 0, 3), 4);   // the first list naming the page
    set_palette_list_entry(&lvl, 0, 3, 1);
    EXPECT_EQ(get_palette_list_entry(&lvl, 0, 1), 3);
    // Slots, ids and pages outside their ranges change nothing.
    set_palette_list_entry(&lvl, 0, 4, 4);   // slot 5 of 4
    set_palette_list_entry(&lvl, 0, 4, -1);
    set_palette_list_entry(&lvl, 0, 5, 0);
    set_palette_list_entry(&lvl, 0, -3, 0);
    set_palette_list_entry(&lvl, 9, 0, 0);   // a list for a page the level lacks
    for (int slot : {4, -1}) EXPECT_EQ(get_palette_list_entry(&lvl, 0, slot), NO_PALETTE_ENTRY);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
        "Out of bounds d3d replacement: Tried to store palette 4 into slot 5/4 of image 0.",
        "Out of bounds d3d replacement: Tried to store palette 4 into slot 0/4 of image 0.",
        "Refused d3d replacement: palette 5 is not in the palette table.",
        "Refused d3d replacement: palette -3 is not in the palette table.",
        "Out of bounds d3d query: Tried to find palette 5/4 of image 0.",
        "Out of bounds d3d query: Tried to find palette 0/4 of image 0.",
    }));
    EXPECT_EQ(get_palette_list_entry(&lvl, 0, 0), 2);
    EXPECT_EQ(lvl.palette_lists[3].palette_ids[0], 1);
    for (int page : {9, -1, 2}) EXPECT_EQ(get_palette_list_entry(&lvl, page, 0), NO_PALETTE_ENTRY) << page;
}

TEST_F(store_fixture, current_palette_follows_the_slot_shown)
{
    const int slot_ids[][2] = {{0, 2}, {3, 4}, {4, NO_PALETTE_ENTRY}};   // slot 4 is outside the list
    for (auto s : slot_ids) {
        lvl.textures[0].palette_slot = s[0];
        EXPECT_EQ(current_palette_id(&lvl, 0), s[1]) << s[0];
    }
    const int page_ids[][2] = {{2, 0}, {3, 0}, {4, NO_PALETTE_ENTRY}, {-1, NO_PALETTE_ENTRY}};   // no list; 15-bit
    for (auto p : page_ids) EXPECT_EQ(current_palette_id(&lvl, p[0]), p[1]) << p[0];
}
