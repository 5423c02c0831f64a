// The texture page view drawn under Xvfb: thumbnails, selection rings, the zoomed page, named textures.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>

#include "level/gl_textures.h"
#include "level/level.h"
#include "views/draw_test_window.h"
#include "views/texture_render.h"
#include "demo/demo_level.h"
#include "demo/level_builder.h"

namespace {

// Three paletted pages (page 1 with two palettes, page 2 with none), a
// 15-bit page and named rectangles, one naming a page the level lacks.
class texture_view_draw : public ::testing::Test {
protected:
    level lvl{};
    gl_texture_set set{};
    texture_render view;
    gui_manager manager;

    void SetUp() override
    {
        QTE_REQUIRE_DRAW_WINDOW();
        std::vector<builder_palette> palettes = {make_palette(0), make_palette(1), make_palette(2)};
        std::vector<builder_page> pages = {make_paletted_page(0), make_paletted_page(1),
                                           make_paletted_page(2), make_rgb15_page(3)};
        std::vector<builder_texture_name> names = {
            {"WALL", 0, 40, 10, 50, 30},
            {"ROOF", 1, 0, 0, 120, 64},
            {"LOST", 77, 0, 0, 20, 20},     // page 77 does not exist
        };
        byte_buffer lev = encode_level({
            {BLOCK_TEXTURES, encode_texture_block(palettes, pages)},
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

    // The colour texel (u, v) of a paletted page shows with its current slot.
    rgb texel(int page, int u, int v)
    {
        const level_texture &t = lvl.textures[page];
        int id = -1;
        for (int i = 0; i < lvl.palette_list_count; i++)
            if (lvl.palette_lists[i].texture == page)
                id = lvl.palette_lists[i].palette_ids[t.palette_slot];
        const level_palette *p = lvl.palette_table[id];
        unsigned char index = t.pixels[v * 256 + u];
        return {p->entries[index][0], p->entries[index][1], p->entries[index][2]};
    }

    bool texel_blend_holds(rgb pixel, int page, int u, int v)
    {
        rgb lo = {255, 255, 255}, hi = {0, 0, 0};
        for (int dv = -1; dv <= 0; dv++)
            for (int du = -1; du <= 0; du++) {
                rgb t = texel(page, (u + du) & 255, (v + dv) & 255);
                lo = {std::min(lo.r, t.r), std::min(lo.g, t.g), std::min(lo.b, t.b)};
                hi = {std::max(hi.r, t.r), std::max(hi.g, t.g), std::max(hi.b, t.b)};
            }
        return pixel.r >= lo.r - 2 && pixel.r <= hi.r + 2 && pixel.g >= lo.g - 2 &&
               pixel.g <= hi.g + 2 && pixel.b >= lo.b - 2 && pixel.b <= hi.b + 2;
    }
};

#define EXPECT_COLOUR(actual, expected) \
    EXPECT_TRUE(near_colour(actual, expected)) << colour_text(actual) << " vs " << colour_text(expected)

// AllegroGL's pixel projection moves geometry by a fraction of a pixel, so a
// page drawn one texel per pixel is sampled between texel (u - 1, v - 1) and
// (u, v) by the linear filter: the pixel lies within those four colours.
#define EXPECT_TEXEL(pixel, page, u, v) \
    EXPECT_TRUE(texel_blend_holds(pixel, page, u, v)) \
        << colour_text(pixel) << " not between the texels around " << colour_text(texel(page, u, v))

TEST_F(texture_view_draw, thumbnails_at_full_size_show_their_pages_through_their_palettes)
{
    view.set_mode(TEXTURE_MODE_GROUP);
    view.thumbnail_size = 256;                      // one texel per pixel: exact colours
    lvl.textures[1].palette_slot = 1;
    draw_view();
    maybe_screenshot("texture_view_thumbnails");
    // Page 0 at (x + 10, y + 10), page 1 one cell (266) to the right.
    // Inside the uniform corner block the colour is exact.
    EXPECT_COLOUR(pixel_at(15 + 20, 35 + 10), texel(0, 20, 10));
    EXPECT_COLOUR(pixel_at(15 + 266 + 20, 35 + 10), texel(1, 20, 10));
    int points[][2] = {{5, 30}, {45, 15}, {200, 100}, {255, 255}, {17, 240}, {250, 3}};
    for (auto &pt : points) {
        EXPECT_TEXEL(pixel_at(15 + pt[0], 35 + pt[1]), 0, pt[0], pt[1]);
        EXPECT_TEXEL(pixel_at(15 + 266 + pt[0], 35 + pt[1]), 1, pt[0], pt[1]);
    }
    // Page 2 (next row) has no palette list: drawn untextured, white.
    EXPECT_COLOUR(pixel_at(15 + 50, 35 + 266 + 50), (rgb{255, 255, 255}));
    // The gap between cells shows the white background.
    EXPECT_COLOUR(pixel_at(15 + 260, 35 + 50), (rgb{255, 255, 255}));
}

TEST_F(texture_view_draw, selected_thumbnail_has_three_blue_rings)
{
    view.set_mode(TEXTURE_MODE_GROUP);
    view.selected_texture = 1;
    draw_view();
    maybe_screenshot("texture_view_selection");
    // Page 1's thumbnail covers x 5 + 84 .. 5 + 148, y 25 + 10 .. 25 + 74.
    int left = 5 + 84, right = 5 + 148, top = 25 + 10, bottom = 25 + 74;
    int mid_y = 25 + 40, mid_x = 5 + 110;
    rgb ring0 = {51, 178, 255}, ring1 = {0, 128, 255}, ring2 = {0, 0, 255};
    EXPECT_COLOUR(pixel_at(left - 1, mid_y), ring0);
    EXPECT_COLOUR(pixel_at(left - 2, mid_y), ring1);
    EXPECT_COLOUR(pixel_at(left - 3, mid_y), ring2);
    EXPECT_COLOUR(pixel_at(right, mid_y), ring0);
    EXPECT_COLOUR(pixel_at(right + 1, mid_y), ring1);
    EXPECT_COLOUR(pixel_at(right + 2, mid_y), ring2);
    EXPECT_COLOUR(pixel_at(mid_x, top - 1), ring0);
    EXPECT_COLOUR(pixel_at(mid_x, top - 3), ring2);
    EXPECT_COLOUR(pixel_at(mid_x, bottom + 2), ring2);
    EXPECT_COLOUR(pixel_at(left - 4, mid_y), (rgb{255, 255, 255}));
    // Page 0 is not selected: white around it.
    EXPECT_COLOUR(pixel_at(5 + 9, mid_y), (rgb{255, 255, 255}));
}

TEST_F(texture_view_draw, double_clicked_page_is_shown_at_full_size_on_grey)
{
    view.set_mode(TEXTURE_MODE_GROUP);
    view.selected_texture = 1;
    view.zoomed = 1;
    draw_view();
    maybe_screenshot("texture_view_zoomed");
    // Centred on half the view's size, in screen coordinates: (300, 285).
    int x0 = 300 - 128, y0 = 285 - 128;
    EXPECT_COLOUR(pixel_at(x0 + 30, y0 + 12), texel(1, 30, 12));
    int points[][2] = {{1, 30}, {39, 19}, {128, 128}, {255, 1}, {3, 250}};
    for (auto &pt : points)
        EXPECT_TEXEL(pixel_at(x0 + pt[0], y0 + pt[1]), 1, pt[0], pt[1]);
    EXPECT_COLOUR(pixel_at(300 - 131, 285), (rgb{200, 200, 200}));
    EXPECT_COLOUR(pixel_at(300 + 130, 285 + 100), (rgb{200, 200, 200}));
    EXPECT_COLOUR(pixel_at(300 - 133, 285), (rgb{0, 0, 0}));
}

TEST_F(texture_view_draw, named_textures_are_drawn_at_native_size_in_rows)
{
    view.set_mode(TEXTURE_MODE_SINGLE);
    view.selected_name = 1;
    draw_view();
    maybe_screenshot("texture_view_names");
    // WALL at (x + 10, y + 10) shows page 0 from (40, 10); ROOF follows 60 pixels on.
    EXPECT_TEXEL(pixel_at(15 + 1, 35 + 1), 0, 41, 11);
    EXPECT_TEXEL(pixel_at(15 + 49, 35 + 29), 0, 89, 39);
    EXPECT_COLOUR(pixel_at(15 + 60 + 7, 35 + 5), texel(1, 7, 5));   // the uniform block
    EXPECT_TEXEL(pixel_at(15 + 60 + 119, 35 + 63), 1, 119, 63);
    // ROOF is selected: its innermost ring sits just left of it.
    EXPECT_COLOUR(pixel_at(15 + 60 - 1, 35 + 30), (rgb{51, 178, 255}));
    // LOST names a page the level lacks: untextured, white, nothing read.
    EXPECT_COLOUR(pixel_at(15 + 190 + 10, 35 + 10), (rgb{255, 255, 255}));
}

TEST_F(texture_view_draw, a_slot_beyond_the_page_list_draws_untextured)
{
    view.set_mode(TEXTURE_MODE_GROUP);
    view.thumbnail_size = 256;
    lvl.textures[0].palette_slot = 5;               // the list has one slot
    draw_view();
    EXPECT_COLOUR(pixel_at(15 + 100, 35 + 100), (rgb{255, 255, 255}));
}

TEST_F(texture_view_draw, without_a_level_only_the_background_and_frame_are_drawn)
{
    view.level = nullptr;
    view.set_mode(TEXTURE_MODE_GROUP);
    draw_view();
    EXPECT_COLOUR(pixel_at(300, 300), (rgb{255, 255, 255}));
    EXPECT_COLOUR(pixel_at(5, 300), (rgb{0, 0, 0}));          // the flat frame
    // The scroll bar's arrow line (y + 10) is not drawn either.
    EXPECT_COLOUR(pixel_at(600, 25 + 10), (rgb{255, 255, 255}));
}

TEST_F(texture_view_draw, scrolled_grid_is_clipped_to_the_view)
{
    view.set_mode(TEXTURE_MODE_GROUP);
    view.thumbnail_size = 256;                      // 2 rows of 266: content 542 < 570
    view.h = 300;
    view.set_mode(TEXTURE_MODE_GROUP);
    draw_view();
    maybe_screenshot("texture_view_clipped");
    // Below the view nothing is drawn: the cleared background stays.
    EXPECT_COLOUR(pixel_at(15 + 50, 25 + 300 + 20), (rgb{51, 51, 51}));
}

} // namespace

namespace {

// The demo level in both modes: every page's thumbnail and every named
// texture shows a picture, not the white of a missing texture (the demo's
// unlisted paletted page excepted).
TEST(demo_texture_view, every_page_and_name_shows_a_picture)
{
    QTE_REQUIRE_DRAW_WINDOW();
    sample_level files = make_demo_level();
    level lvl{};
    gl_texture_set set{};
    ASSERT_EQ(load_level_from_memory(&lvl, files.lev.data(), files.lev.size(), files.d3d.data(),
                                     files.d3d.size(), LOAD_ALL), 0) << load_failure_reason();
    build_gl_textures(&set, &lvl);
    texture_render view;
    gui_manager manager;
    view.level = &lvl;
    view.texture_set = &set;
    view.x = 5; view.y = 25; view.w = 600; view.h = 570;
    manager.add(&view);
    view.set_mode(TEXTURE_MODE_GROUP);
    view.selected_texture = DEMO_THREE_PALETTE_PAGE;
    begin_test_frame();
    allegro_gl_set_allegro_mode();
    view.draw(screen);
    allegro_gl_unset_allegro_mode();
    maybe_screenshot("demo_texture_groups");
    // 7 columns of 74-pixel cells; look at a 5 x 5 grid inside each thumbnail.
    for (int p = 0; p < DEMO_PAGE_COUNT; p++) {
        if (p == DEMO_UNLISTED_PAGE)
            continue;
        int cx = 5 + 10 + (p % 7) * 74, cy = 25 + 10 + (p / 7) * 74;
        int coloured = 0;
        for (int j = 0; j < 5; j++)
            for (int i = 0; i < 5; i++)
                if (!near_colour(pixel_at(cx + 6 + i * 12, cy + 6 + j * 12), (rgb{255, 255, 255}), 8))
                    coloured++;
        EXPECT_GT(coloured, 5) << "page " << p;
    }
    view.set_mode(TEXTURE_MODE_SINGLE);
    begin_test_frame();
    allegro_gl_set_allegro_mode();
    view.draw(screen);
    allegro_gl_unset_allegro_mode();
    maybe_screenshot("demo_texture_names");
    row_layout c;
    row_layout_begin(&c);
    while (row_layout_next(&c, &lvl, view.w)) {
        if (lvl.texture_names[c.index].texture == DEMO_UNLISTED_PAGE || c.ry + 10 + c.h > view.h)
            continue;
        int coloured = 0;
        for (int j = 1; j < 4; j++)
            for (int i = 1; i < 4; i++)
                if (!near_colour(pixel_at(5 + 10 + c.rx + c.w * i / 4, 25 + 10 + c.ry + c.h * j / 4),
                                 (rgb{255, 255, 255}), 8))
                    coloured++;
        EXPECT_GT(coloured, 0) << "name " << c.index << " " << lvl.texture_names[c.index].name;
    }
    release_gl_textures(&set);
    cleanup_level(&lvl);
}

} // namespace
