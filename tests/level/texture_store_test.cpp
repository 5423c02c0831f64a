// Palette ids, palette-list slots and page conversion to RGBA.
#include <gtest/gtest.h>
#include <string.h>

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
    EXPECT_EQ(find_palette_list(&lvl, 0), &lvl.palette_lists[0]);   // the first one naming it
    EXPECT_EQ(find_palette_list(&lvl, 2), nullptr);
    EXPECT_EQ(get_palette_list_entry(&lvl, 0, 3), 4);
    set_palette_list_entry(&lvl, 0, 3, 1);
    EXPECT_EQ(get_palette_list_entry(&lvl, 0, 1), 3);
    EXPECT_TRUE(log.lines().empty());

    set_palette_list_entry(&lvl, 0, 4, 4);   // slot 5 of 4
    set_palette_list_entry(&lvl, 0, 4, -1);
    EXPECT_EQ(get_palette_list_entry(&lvl, 0, 4), NO_PALETTE_ENTRY);
    EXPECT_EQ(get_palette_list_entry(&lvl, 0, -1), NO_PALETTE_ENTRY);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
        "Out of bounds d3d replacement: Tried to store palette 4 into slot 5/4 of image 0.",
        "Out of bounds d3d replacement: Tried to store palette 4 into slot 0/4 of image 0.",
        "Out of bounds d3d query: Tried to find palette 5/4 of image 0.",
        "Out of bounds d3d query: Tried to find palette 0/4 of image 0.",
    }));
    log.clear();

    // Ids outside the table and pages outside the level change nothing.
    set_palette_list_entry(&lvl, 0, 5, 0);
    set_palette_list_entry(&lvl, 0, -3, 0);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
        "Refused d3d replacement: palette 5 is not in the palette table.",
        "Refused d3d replacement: palette -3 is not in the palette table.",
    }));
    EXPECT_EQ(get_palette_list_entry(&lvl, 0, 0), 2);
    set_palette_list_entry(&lvl, 9, 0, 0);   // a list for a page the level lacks
    EXPECT_EQ(lvl.palette_lists[3].palette_ids[0], 1);
    EXPECT_EQ(get_palette_list_entry(&lvl, 9, 0), NO_PALETTE_ENTRY);
    EXPECT_EQ(get_palette_list_entry(&lvl, -1, 0), NO_PALETTE_ENTRY);
    EXPECT_EQ(get_palette_list_entry(&lvl, 2, 0), NO_PALETTE_ENTRY);   // no list
}

TEST_F(store_fixture, current_palette_follows_the_slot_shown)
{
    EXPECT_EQ(current_palette_id(&lvl, 0), 2);
    lvl.textures[0].palette_slot = 3;
    EXPECT_EQ(current_palette_id(&lvl, 0), 4);
    lvl.textures[0].palette_slot = 4;   // outside the list
    EXPECT_EQ(current_palette_id(&lvl, 0), NO_PALETTE_ENTRY);
    EXPECT_EQ(current_palette_id(&lvl, 2), 0);   // no list
    EXPECT_EQ(current_palette_id(&lvl, 3), 0);   // 15-bit
    EXPECT_EQ(current_palette_id(&lvl, 4), NO_PALETTE_ENTRY);
    EXPECT_EQ(current_palette_id(&lvl, -1), NO_PALETTE_ENTRY);
    EXPECT_EQ(find_free_palette_id(&lvl), -1);   // ids 0-4 all taken
    lvl.palette_table[2] = nullptr;
    EXPECT_EQ(find_free_palette_id(&lvl), 2);
}

TEST(page_conversion, fifteen_bit_pixels_honour_the_key_and_paletted_ones_are_opaque)
{
    std::vector<uint16_t> pixels(PAGE_PIXELS, 0);
    pixels[0] = 0x7C00;   // red
    pixels[1] = 0x03E0;   // green
    pixels[2] = 0x801F;   // blue, bit 15 ignored
    pixels[3] = 0x8421;
    std::vector<unsigned char> rgba(4 * PAGE_PIXELS);
    page16_to_rgba(pixels.data(), true, rgba.data());
    EXPECT_EQ(std::vector<unsigned char>(rgba.begin(), rgba.begin() + 16),
              (std::vector<unsigned char>{248, 0, 0, 255, 0, 248, 0, 255, 0, 0, 248, 255, 0, 0, 0, 0}));
    page16_to_rgba(pixels.data(), false, rgba.data());
    EXPECT_EQ(std::vector<unsigned char>(rgba.begin() + 12, rgba.begin() + 16), (std::vector<unsigned char>{8, 8, 8, 255}));
    level_palette p;
    memset(&p, 0, sizeof p);
    p.entries[1][0] = 10; p.entries[1][1] = 20; p.entries[1][2] = 30;
    std::vector<unsigned char> indices(PAGE_PIXELS, 0);
    indices[PAGE_PIXELS - 1] = 1;
    page8_to_rgba(indices.data(), &p, rgba.data());
    EXPECT_EQ(std::vector<unsigned char>(rgba.end() - 4, rgba.end()), (std::vector<unsigned char>{10, 20, 30, 255}));
}
