// The quick info panel's lines: texts, offsets, texture-list wrapping and flag order.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "level/level.h"
#include "views/quick_info.h"

namespace {

// Every character 8 pixels wide, like Allegro's built-in font.
int eight_per_char(const char *text) { return 8 * (int)strlen(text); }

class quick_info_lines_test : public ::testing::Test {
protected:
    level lvl{};
    level_texture pages[3]{};
    palette_list lists[1]{};
    int32_t ids[2] = {7, 12};
    texture_name names[1]{};
    model models[1]{};
    model event_models[2]{};
    unsigned char used[2] = {200, 7};
    quick_info panel;

    void SetUp() override
    {
        lvl.load_mask = LOAD_ALL;
        pages[0].paletted = pages[1].paletted = true;  // page 1 has no palette list
        pages[0].flags = PAGE_FLAG_PALETTED;
        pages[0].palette_slot_count = 2;
        pages[1].palette_slot_count = -1;
        lists[0].count = 2;
        lists[0].palette_ids = ids;
        names[0] = texture_name{"ROAD", 2, 16, 32, 64, 8};
        lvl.textures = pages;
        lvl.texture_count = 3;
        lvl.palette_lists = lists;
        lvl.palette_list_count = 1;
        lvl.texture_names = names;
        lvl.texture_name_count = 1;
        lvl.models = models;
        lvl.model_count = 1;
        lvl.event_models = event_models;
        lvl.event_model_count = 2;
        panel.level = &lvl;
        panel.w = 185;
    }

    std::string lines()
    {
        std::vector<info_line> out;
        quick_info_lines(panel, eight_per_char, &out);
        std::string s;
        for (const info_line &l : out)
            s += std::to_string(l.x) + "," + std::to_string(l.y) + ":" + l.text + "\n";
        return s;
    }
};

const std::string title = "4,4:Quick Info:\n";

TEST_F(quick_info_lines_test, page_lines_for_every_kind_of_page_and_out_of_range_reads_nothing)
{
    EXPECT_EQ(lines(), title);  // no selection
    const std::string paletted = title + "10,14:8-bit Paletted\n";
    struct { int page, slot; unsigned flags; bool transparent; std::string expected; } cases[] = {
        {0, 1, 0, false, paletted + "10,24:Using palette 2 of 2.\n10,34:Using palette 12\n"},
        {0, 2, 0, false, paletted + "10,24:Using palette 3 of 2.\n"},  // beyond the list
        {0, -1, 0, false, paletted + "10,24:Using palette 0 of 2.\n"},
        {1, 0, 0, false, paletted + "10,24:Using palette 1 of -1.\n"},
        {2, 0, 0x00030001, true,
         title + "10,14:15-bit Truecolor\n10,24:Has transparency\n10,44:Used by car: 3\n"},
        {2, 0, 0xFFFF0000, false,
         title + "10,14:15-bit Truecolor\n10,24:No transparency\n10,44:Not used by car.\n"},
        {3, 0, 0, false, title},  // beyond the level
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expected);
        panel.texture = c.page;
        if (c.page < 3)
            pages[c.page].palette_slot = c.slot;
        if (c.page == 2) {
            pages[2].flags = c.flags;
            pages[2].transparent = c.transparent;
        }
        EXPECT_EQ(lines(), c.expected);
    }
    panel.level = nullptr;
    panel.texture = 0;
    EXPECT_EQ(lines(), title);
}

TEST_F(quick_info_lines_test, named_rectangle_when_pages_are_not_shown)
{
    panel.show_pages = false;
    panel.texture = 0;
    panel.texture_name = 0;
    EXPECT_EQ(lines(), title + "10,14:Uses texture 2\n10,24:X: 16\n10,34:Y: 32\n10,44:W: 64\n10,54:H: 8\n");
    panel.texture_name = 1;  // beyond the list
    EXPECT_EQ(lines(), title);
}

TEST_F(quick_info_lines_test, model_textures_wrap_before_w_minus_20_and_flags_come_in_order)
{
    panel.show_texture_info = false;
    panel.model = 0;
    models[0].textures_used = used;
    models[0].textures_used_count = 2;
    models[0].object_flags = MODEL_OBJECT_INSIDE | MODEL_OBJECT_KNOCK_OVER;
    models[0].draw_flags = MODEL_DRAW_SHADOW | MODEL_DRAW_FACES_CAMERA | MODEL_DRAW_TRANSPARENT_TEX;
    // "200" is 24 pixels wide and ", " 16, so "7" starts at column 40.
    EXPECT_EQ(lines(), title + "10,14:Textures Used:\n10,24:200, \n50,24:7\n10,44:Flags:\n"
                               "10,54:Can be knocked over\n10,64:Inside\n10,74:Has transparent tex.\n"
                               "10,84:Always faces camera\n10,94:Shadow\n");
    // Each entry advances 40: columns 0 and 40 fit (40 + 24 <= 80), column 80 would pass.
    panel.w = 100;
    unsigned char many[6] = {100, 101, 102, 103, 104, 105};
    models[0] = model{};
    models[0].textures_used = many;
    models[0].textures_used_count = 6;
    EXPECT_EQ(lines(), title + "10,14:Textures Used:\n10,24:100, \n50,24:101, \n10,34:102, \n50,34:103, \n"
                               "10,44:104, \n50,44:105\n10,64:Flags:\n");
}

TEST_F(quick_info_lines_test, event_models_and_out_of_range_models)
{
    panel.show_texture_info = false;
    panel.show_event_models = true;
    panel.model = 1;
    event_models[1].object_flags = MODEL_OBJECT_INSIDE;
    EXPECT_EQ(lines(), title + "10,14:Textures Used:\n10,44:Flags:\n10,54:Inside\n");
    panel.model = 2;
    EXPECT_EQ(lines(), title);
    panel.show_event_models = false;
    panel.model = 1;  // only one model
    EXPECT_EQ(lines(), title);
}

} // namespace
