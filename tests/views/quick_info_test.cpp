// The quick info panel: its exact lines and offsets, wrapping, selections the level lacks, and dark text drawn on white.
#include "gl_test_window.h"

#include <string.h>

#include <string>
#include <vector>

#include "level/level.h"
#include "views/quick_info.h"

namespace {

TEST(quick_info, lines_name_the_page_rectangle_or_model_and_skip_what_the_level_lacks)
{
    level_texture pages[3]{};
    int32_t ids[2] = {7, 12};
    palette_list list = {0, 2, ids};
    texture_name name = {"ROAD", 2, 16, 32, 64, 8};
    unsigned char used[4] = {7, 10, 200, 1};
    model models[2]{};  // model 0, and event model 1
    pages[0].paletted = true;
    pages[0].palette_slot_count = 2;
    models[0].textures_used = used;
    models[0].textures_used_count = 4;
    models[0].object_flags = MODEL_OBJECT_INSIDE | MODEL_OBJECT_KNOCK_OVER;
    models[0].draw_flags = MODEL_DRAW_SHADOW | MODEL_DRAW_FACES_CAMERA | MODEL_DRAW_TRANSPARENT_TEX;
    models[1].object_flags = MODEL_OBJECT_INSIDE;
    level lvl{};
    lvl.textures = pages; lvl.texture_count = 3;
    lvl.palette_lists = &list; lvl.palette_list_count = 1;
    lvl.texture_names = &name; lvl.texture_name_count = 1;
    lvl.models = models; lvl.model_count = 1;
    lvl.event_models = models; lvl.event_model_count = 2;
    quick_info panel;
    panel.level = &lvl;
    panel.w = 100;  // the texture list wraps where a number would end past 80
    const std::string title = "4,4:Quick Info:\n", paletted = title + "10,14:8-bit Paletted\n";
    const std::string truecolor = title + "10,14:15-bit Truecolor\n", textures = title + "10,14:Textures Used:\n";
    // What is shown (Page, Name, Model, Event model), its index, a palette slot or page flags, the lines.
    struct { char kind; int index, slot; uint32_t flags; std::string expected; } cases[] = {
        {'P', 0, 1, 0, paletted + "10,24:Using palette 2 of 2.\n10,34:Using palette 12\n"},
        {'P', 0, 2, 0, paletted + "10,24:Using palette 3 of 2.\n"}, {'P', 0, -1, 0, paletted + "10,24:Using palette 0 of 2.\n"},
        {'P', 1, 0, 0x00030001, truecolor + "10,24:Has transparency\n10,44:Used by car: 3\n"},
        {'P', 1, 0, 0xFFFF0000, truecolor + "10,24:No transparency\n10,44:Not used by car.\n"},
        {'N', 0, 0, 0, title + "10,14:Uses texture 2\n10,24:X: 16\n10,34:Y: 32\n10,44:W: 64\n10,54:H: 8\n"},
        {'M', 0, 0, 0, textures + "10,24:7, \n34,24:10, \n66,24:200, \n10,34:1\n10,54:Flags:\n10,64:Can be knocked over\n"
                                  "10,74:Inside\n10,84:Has transparent tex.\n10,94:Always faces camera\n10,104:Shadow\n"},
        {'E', 1, 0, 0, textures + "10,44:Flags:\n10,54:Inside\n"},
        {'P', 3, 0, 0, title}, {'N', 1, 0, 0, title}, {'M', 1, 0, 0, title}, {'E', 2, 0, 0, title},  // beyond the lists
    };
    for (const auto &c : cases) {
        pages[0].palette_slot = c.slot;
        pages[1].flags = c.flags;
        pages[1].transparent = c.flags & 1;
        panel.show_texture_info = c.kind == 'P' || c.kind == 'N';
        panel.show_pages = c.kind == 'P';
        panel.show_event_models = c.kind == 'E';
        panel.texture = panel.texture_name = panel.model = c.index;
        std::vector<info_line> out;
        quick_info_lines(panel, [](const char *text) { return 8 * (int)strlen(text); }, &out);  // Allegro's 8-pixel font
        std::string lines;
        for (const info_line &l : out)
            lines += std::to_string(l.x) + "," + std::to_string(l.y) + ":" + l.text + "\n";
        EXPECT_EQ(lines, c.expected);
    }
}

TEST(quick_info, draws_dark_text_on_white)
{
    QTE_REQUIRE_GL_WINDOW();
    quick_info panel;
    panel.x = 610; panel.y = 25; panel.w = 185; panel.h = 150;
    allegro_gl_set_allegro_mode();
    panel.draw(screen);
    allegro_gl_unset_allegro_mode();
    int dark = 0;  // in the title's 8-pixel row
    for (int x = 614; x < 702; x++)
        for (int y = 29; y < 37; y++)
            dark += read_pixel(x, y).r < 100;
    EXPECT_GT(dark, 20);
    EXPECT_EQ(read_pixel(700, 125), gl_pixel(255, 255, 255));
}

} // namespace
