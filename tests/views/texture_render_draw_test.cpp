// The texture page view, the texture selector and the quick info panel drawn under Xvfb.
#include <gtest/gtest.h>

#include "demo/level_builder.h"
#include "render/gl_textures.h"
#include "level/level.h"
#include "views/draw_test_window.h"
#include "views/quick_info.h"
#include "views/texture_render.h"
#include "views/texture_selector.h"

namespace {

#define EXPECT_COLOUR(actual, expected) \
    EXPECT_TRUE(near_colour(actual, expected)) << colour_text(actual) << " vs " << colour_text(expected)

const rgb white = {255, 255, 255};

// Three paletted pages (page 1 with two palettes, page 2 with none), a
// 15-bit page and named rectangles, one naming a page the level lacks.
// Paletted pages hold index 200 + seed where x < 40 and y < 20.
class texture_view_draw : public ::testing::Test {
protected:
    level lvl{};
    gl_texture_set set{};
    texture_render view;
    gui_manager manager;

    void SetUp() override
    {
        QTE_REQUIRE_DRAW_WINDOW();
        std::vector<builder_texture_name> names = {
            {"WALL", 0, 40, 10, 50, 30}, {"ROOF", 1, 0, 0, 120, 64}, {"LOST", 77, 0, 0, 20, 20},
            {"BLOCK", 0, 2, 2, 30, 14}};
        byte_buffer lev = encode_level({
            {BLOCK_TEXTURES, encode_texture_block({make_palette(0), make_palette(1), make_palette(2)},
                                                  {make_paletted_page(0), make_paletted_page(1),
                                                   make_paletted_page(2), make_rgb15_page(3)})},
            {BLOCK_TEXTURE_NAMES, encode_texture_names_block(names)},
        });
        byte_buffer d3d = encode_palette_lists({{0, {0}}, {1, {1, 2}}});
        ASSERT_EQ(load_level_from_memory(&lvl, lev.data(), lev.size(), d3d.data(), d3d.size(), LOAD_ALL), 0)
            << load_failure_reason();
        build_gl_textures(&set, &lvl);
        view.level = &lvl;
        view.texture_set = &set;
        view.x = 5; view.y = 25; view.w = 600; view.h = 570;
        manager.add(&view);
        view.set_mode(TEXTURE_MODE_GROUP);
    }
    void TearDown() override
    {
        release_gl_textures(&set);
        cleanup_level(&lvl);
    }
    void draw_view()
    {
        begin_test_frame();
        allegro_gl_set_allegro_mode();
        view.draw(screen);
        allegro_gl_unset_allegro_mode();
    }
    // The colour of texel (u, v) of a paletted page through palette `id`.
    rgb texel(int id, int page, int u, int v)
    {
        const level_palette *p = lvl.palette_table[id];
        unsigned char index = lvl.textures[page].pixels[v * 256 + u];
        return {p->entries[index][0], p->entries[index][1], p->entries[index][2]};
    }
};

TEST_F(texture_view_draw, full_size_thumbnails_show_their_pages_through_their_current_palettes)
{
    view.thumbnail_size = 256;  // one texel per pixel; the corner block is uniform
    lvl.textures[1].palette_slot = 1;
    draw_view();
    EXPECT_COLOUR(pixel_at(15 + 20, 35 + 10), texel(0, 0, 20, 10));
    EXPECT_COLOUR(pixel_at(15 + 266 + 20, 35 + 10), texel(2, 1, 20, 10));
    EXPECT_COLOUR(pixel_at(15 + 50, 35 + 266 + 50), white);  // page 2 has no palette list
    EXPECT_COLOUR(pixel_at(15 + 260, 35 + 50), white);       // the gap between cells
    // The 15-bit page's texel (204, 100) holds 5-bit red 25, green 12, blue 19.
    EXPECT_TRUE(near_colour(pixel_at(15 + 266 + 204, 35 + 266 + 100), (rgb{203, 97, 154}), 8))
        << colour_text(pixel_at(15 + 266 + 204, 35 + 266 + 100));

    lvl.textures[0].palette_slot = 5;  // beyond the page's list: untextured, nothing read
    draw_view();
    EXPECT_COLOUR(pixel_at(15 + 100, 35 + 100), white);
}

TEST_F(texture_view_draw, selected_thumbnail_has_three_blue_rings)
{
    view.selected_texture = 1;
    draw_view();
    // Page 1's thumbnail starts at x 5 + 84; its middle row is y 25 + 40.
    EXPECT_COLOUR(pixel_at(5 + 84 - 1, 65), (rgb{51, 178, 255}));
    EXPECT_COLOUR(pixel_at(5 + 84 - 2, 65), (rgb{0, 128, 255}));
    EXPECT_COLOUR(pixel_at(5 + 84 - 3, 65), (rgb{0, 0, 255}));
    EXPECT_COLOUR(pixel_at(5 + 84 - 4, 65), white);
    EXPECT_COLOUR(pixel_at(5 + 9, 65), white);  // page 0 is not selected
}

TEST_F(texture_view_draw, double_clicked_page_is_shown_at_full_size_on_grey)
{
    view.selected_texture = 1;
    view.zoomed = 1;
    draw_view();
    // Centred on half the view's size: (300, 285).
    EXPECT_COLOUR(pixel_at(300 - 128 + 30, 285 - 128 + 12), texel(1, 1, 30, 12));
    EXPECT_COLOUR(pixel_at(300 - 131, 285), (rgb{200, 200, 200}));
    EXPECT_COLOUR(pixel_at(300 - 133, 285), (rgb{0, 0, 0}));
}

TEST_F(texture_view_draw, named_textures_are_drawn_at_native_size_in_rows)
{
    view.set_mode(TEXTURE_MODE_SINGLE);
    view.selected_name = 1;
    draw_view();
    // WALL at (x + 10, y + 10) is 50 wide; ROOF follows 60 pixels on, its ring just left of it.
    EXPECT_COLOUR(pixel_at(15 + 60 + 7, 35 + 5), texel(1, 1, 7, 5));
    EXPECT_COLOUR(pixel_at(15 + 60 - 1, 35 + 30), (rgb{51, 178, 255}));
    EXPECT_COLOUR(pixel_at(15 + 190 + 10, 35 + 10), white);  // LOST: a page the level lacks
}

TEST_F(texture_view_draw, without_a_level_or_below_the_view_only_the_background_shows)
{
    view.thumbnail_size = 256;
    view.h = 300;
    view.set_mode(TEXTURE_MODE_GROUP);
    draw_view();
    EXPECT_COLOUR(pixel_at(15 + 50, 25 + 300 + 20), (rgb{51, 51, 51}));  // clipped to the view
    view.level = nullptr;
    draw_view();
    EXPECT_COLOUR(pixel_at(300, 200), white);
    EXPECT_COLOUR(pixel_at(5, 200), (rgb{0, 0, 0}));  // the flat frame
}

TEST_F(texture_view_draw, selector_shows_the_page_with_yellow_outlines_and_green_marks)
{
    texture_selector selector;
    selector.level = &lvl;
    selector.texture_set = &set;
    selector.x = 172; selector.y = 150; selector.w = 256; selector.h = 256;
    selector.prepare(1, 1);  // page 1 through its second palette: ROOF
    ASSERT_EQ(selector.names.size(), 1u);
    selector.selected[0] = true;
    begin_test_frame();
    allegro_gl_set_allegro_mode();
    selector.draw(screen);
    allegro_gl_unset_allegro_mode();
    const int X = 172, Y = 150;
    rgb block = texel(2, 1, 36, 17);
    EXPECT_COLOUR(pixel_at(X + 130, Y + 17), texel(2, 1, 130, 17));  // outside the name
    rgb marked = {(int)(block.r * 0.6), (int)(block.g * 0.6 + 255 * 0.4), (int)(block.b * 0.6)};
    EXPECT_TRUE(near_colour(pixel_at(X + 36, Y + 17), marked, 4)) << colour_text(pixel_at(X + 36, Y + 17));
    selector.prepare(0, 0);  // WALL and BLOCK, unmarked
    begin_test_frame();
    allegro_gl_set_allegro_mode();
    selector.draw(screen);
    allegro_gl_unset_allegro_mode();
    EXPECT_COLOUR(pixel_at(X + 40, Y + 30), (rgb{255, 255, 0}));  // WALL's outline
    EXPECT_COLOUR(pixel_at(X + 15, Y + 9), texel(0, 0, 15, 9));    // inside BLOCK: not tinted
}

TEST_F(texture_view_draw, quick_info_prints_dark_text_on_white_and_restores_blending)
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
    EXPECT_COLOUR(pixel_at(700, 25 + 100), white);
    EXPECT_FALSE(blending);
    EXPECT_EQ(src, GL_SRC_ALPHA);
    EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);
}

} // namespace
