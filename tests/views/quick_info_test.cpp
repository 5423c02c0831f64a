// The quick info panel's lines: exact texts and offsets, wrapping, selections the level lacks, widths.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "level/level.h"
#include "views/quick_info.h"

int eight_pixel_font(const char *text) { return 8 * (int)strlen(text); }   // Allegro's font

TEST(quick_info, lines_name_the_page_rectangle_or_model_and_skip_what_the_level_lacks)
{
    int32_t ids[2] = {7, 12};
    palette_list list = {0, 2, ids};
    texture_name name = {"ROAD", 2, 16, 32, 64, 8};
    // Page 0 paletted with two slots; pages 1 and 2 15-bit: transparent and used by car 3, and neither;
    // page 3 paletted without a list.
    level_texture pages[4] = {{0, true, false, 0, 2, nullptr}, {0x00030001, false, true, 0, -1, nullptr},
                              {0xFFFF0000, false, false, 0, -1, nullptr}, {0, true, false, 0, -1, nullptr}};
    unsigned char used[7] = {7, 10, 200, 1, 99, 5, 3};
    model models[2]{};  // two models, the second also the only event model
    models[0].textures_used = used; models[0].textures_used_count = 7;
    models[0].object_flags = models[1].object_flags = MODEL_OBJECT_INSIDE | MODEL_OBJECT_KNOCK_OVER;
    models[0].draw_flags = MODEL_DRAW_SHADOW | MODEL_DRAW_FACES_CAMERA | MODEL_DRAW_TRANSPARENT_TEX;
    level lvl{};
    lvl.textures = pages; lvl.texture_count = 4;
    lvl.palette_lists = &list; lvl.palette_list_count = 1;
    lvl.texture_names = &name; lvl.texture_name_count = 1;
    lvl.models = models; lvl.event_models = models + 1; lvl.model_count = 2; lvl.event_model_count = 1;
    quick_info panel;  // as on the main screen: every line ends 10 pixels inside, the texture list wraps to
    panel.level = &lvl; panel.w = 185;
    const std::string title = "4,4:Quick Info:\n", paletted = title + "10,14:8-bit Paletted\n";
    // What is shown (Page, Name, Model, Event model), its index, page 0's palette slot, the lines.
    struct { char kind; int index, slot; std::string expected; } cases[] = {
        {'P', 0, 1, paletted + "10,24:Palette 2 of 2.\n10,34:Palette id 12\n"},
        {'P', 0, 2, paletted + "10,24:Palette 3 of 2.\n"}, {'P', 0, -1, paletted + "10,24:Palette 0 of 2.\n"},
        {'P', 3, 0, paletted + "10,24:No palette list\n"},
        {'P', 1, 0, title + "10,14:15-bit Truecolor\n10,24:Has transparency\n10,44:Used by car: 3\n"},
        {'P', 2, 0, title + "10,14:15-bit Truecolor\n10,24:No transparency\n10,44:Not used by car.\n"},
        {'N', 0, 0, title + "10,14:Uses texture 2\n10,24:X: 16\n10,34:Y: 32\n10,44:W: 64\n10,54:H: 8\n"},
        {'M', 0, 0, title + "10,14:Textures Used:\n10,24:7, \n34,24:10, \n66,24:200, \n106,24:1, \n130,24:99, \n10,34:5, \n34,34:3\n10,54:Flags:\n"
                    "10,64:Can be knocked over\n10,74:Inside\n10,84:Has transparent tex.\n10,94:Always faces camera\n10,104:Shadow\n"},
        {'E', 0, 0, title + "10,14:Textures Used:\n10,44:Flags:\n10,54:Can be knocked over\n10,64:Inside\n"},
        {'E', 1, 0, title + "10,14:Textures Used:\n10,44:Flags:\n10,54:Can be knocked over\n10,64:Inside\n"},  // models[1]
        {'P', 4, 0, title}, {'N', 1, 0, title}, {'M', 2, 0, title}, {'E', 2, 0, title},  // beyond the lists
    };
    for (const auto &c : cases) {
        pages[0].palette_slot = c.slot;
        panel.show_texture_info = c.kind == 'P' || c.kind == 'N';
        panel.show_pages = c.kind == 'P'; panel.show_event_models = c.kind == 'E';
        panel.texture = panel.texture_name = panel.model = c.index;
        std::vector<info_line> out;
        quick_info_lines(panel, eight_pixel_font, &out);
        std::string lines;
        for (const info_line &l : out)
            lines += std::to_string(l.x) + "," + std::to_string(l.y) + ":" + l.text + "\n";
        for (const info_line &l : out) EXPECT_LE(l.x + eight_pixel_font(l.text), panel.w - 10) << l.text;
        EXPECT_EQ(lines, c.expected);
    }
}
