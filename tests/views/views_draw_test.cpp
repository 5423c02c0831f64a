// The texture selector and the quick info panel drawn under Xvfb.
#include <gtest/gtest.h>

#include "demo/level_builder.h"
#include "level/gl_textures.h"
#include "level/level.h"
#include "views/draw_test_window.h"
#include "views/quick_info.h"
#include "views/texture_selector.h"

namespace {

#define EXPECT_COLOUR(actual, expected, tolerance) \
    EXPECT_TRUE(near_colour(actual, expected, tolerance)) << colour_text(actual) << " vs " << colour_text(expected)

class views_draw : public ::testing::Test {
protected:
    level lvl{};
    gl_texture_set set{};

    void SetUp() override
    {
        QTE_REQUIRE_DRAW_WINDOW();
        std::vector<builder_texture_name> names = {
            {"BLOCK", 0, 2, 2, 30, 14},  // inside the page's uniform corner block
            {"RAMP", 0, 100, 100, 50, 40},
            {"OTHER", 1, 0, 0, 64, 64},
        };
        byte_buffer lev = encode_level({
            {BLOCK_TEXTURES, encode_texture_block({make_palette(0), make_palette(1)},
                                                  {make_paletted_page(0), make_paletted_page(1)})},
            {BLOCK_TEXTURE_NAMES, encode_texture_names_block(names)},
        });
        byte_buffer d3d = encode_palette_lists({{0, {0, 1}}, {1, {1}}});
        ASSERT_EQ(load_level_from_memory(&lvl, lev.data(), lev.size(), d3d.data(), d3d.size(), LOAD_ALL), 0)
            << load_failure_reason();
        build_gl_textures(&set, &lvl);
    }
    void TearDown() override
    {
        release_gl_textures(&set);
        cleanup_level(&lvl);
    }
};

TEST_F(views_draw, selector_shows_the_page_with_yellow_outlines_and_green_marks)
{
    texture_selector selector;
    selector.level = &lvl;
    selector.texture_set = &set;
    selector.x = 172; selector.y = 150; selector.w = 256; selector.h = 256;
    selector.prepare(0, 1);  // page 0 through its second palette
    ASSERT_EQ(selector.names.size(), 2u);
    selector.selected[0] = true;
    begin_test_frame();
    allegro_gl_set_allegro_mode();
    selector.draw(screen);
    allegro_gl_unset_allegro_mode();
    const int X = 172, Y = 150;
    const unsigned char *e = lvl.palette_table[1]->entries[200];  // the corner block's colour
    rgb block = {e[0], e[1], e[2]};
    EXPECT_COLOUR(pixel_at(X + 36, Y + 17), block, 3);  // outside both names
    rgb marked = {(int)(block.r * 0.6), (int)(block.g * 0.6 + 255 * 0.4), (int)(block.b * 0.6)};
    EXPECT_COLOUR(pixel_at(X + 15, Y + 9), marked, 4);  // 40 % green over the page
    EXPECT_COLOUR(pixel_at(X + 100, Y + 120), (rgb{255, 255, 0}), 3);  // RAMP's outline
    EXPECT_COLOUR(pixel_at(X + 2, Y + 9), (rgb{153, 255, 0}), 3);      // the mark over BLOCK's outline
}

TEST_F(views_draw, quick_info_prints_dark_text_on_white_and_restores_blending)
{
    quick_info panel;
    panel.level = &lvl;
    panel.x = 610; panel.y = 25; panel.w = 185; panel.h = 150;
    panel.texture = 0;
    begin_test_frame();
    allegro_gl_set_allegro_mode();
    panel.draw(screen);
    // Allegro mode restores its own GL state when it ends, so look before.
    bool blending = glIsEnabled(GL_BLEND);
    GLint src = 0, dst = 0;
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    allegro_gl_unset_allegro_mode();
    int dark = 0;  // the title's glyphs in its 8-pixel row
    for (int x = 614; x < 614 + 88; x++)
        for (int y = 29; y < 37; y++) {
            rgb c = pixel_at(x, y);
            dark += c.r < 100 && c.g < 100 && c.b < 100;
        }
    EXPECT_GT(dark, 20);
    EXPECT_COLOUR(pixel_at(700, 25 + 100), (rgb{255, 255, 255}), 3);
    EXPECT_FALSE(blending);
    EXPECT_EQ(src, GL_SRC_ALPHA);
    EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);
}

} // namespace
