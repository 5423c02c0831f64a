// The texture page view (hits and scrolling without a draw, zoom, palette keys) and the page view and selector drawn.
#include "gl_test_window.h"

#include "level_test_support.h"
#include "render/gl_textures.h"
#include "views/texture_render.h"
#include "views/texture_selector.h"

static std::string reported;
static void record(int index, bool is_page) { reported += std::to_string(index) + (is_page ? "p " : "n "); }

// 128 pages without pixels in a view placed like the main screen's; nothing is drawn.
struct texture_view_test : ::testing::Test {
    level lvl{};
    level_texture pages[128]{};
    std::vector<texture_name> names;
    texture_render view;
    gui_manager manager;
    gui_input_state input;

    void SetUp() override
    {
        gui_set_input(&input);
        reported.clear();
        lvl.textures = pages; lvl.texture_count = 128;
        view.level = &lvl; view.on_select = record;
        view.x = 5; view.y = 25; view.w = 600; view.h = 570;
        manager.add(&view);
        view.set_mode(TEXTURE_MODE_GROUP);
    }
    void TearDown() override { gui_set_input(nullptr); }
    void set_names(std::vector<texture_name> list)
    {
        names = list;
        lvl.texture_names = names.data(); lvl.texture_name_count = (int)names.size();
        view.set_mode(TEXTURE_MODE_SINGLE);
    }
    // An event with the mouse at a point relative to the view's corner; returns the name then selected.
    int at(int vx, int vy, int event = EVENT_LEFT_BUTTON, int value = 1)
    {
        input.mouse_x = view.x + vx;
        input.mouse_y = view.y + vy;
        view.handle_event(event, value);
        return view.selected_name;
    }
};

TEST_F(texture_view_test, grid_hits_follow_zoom_and_scrolling_without_a_draw_and_keys_step_the_page_palette)
{
    // Thumbnail 0 covers 10..74, its gap runs to 84; right of column 6 and the scroll strip hit nothing.
    struct { int x, y, cell; } hits[] = {{3, 3, 0}, {83, 83, 0}, {84, 11, 1}, {11, 84, 7}, {528, 11, -2}, {596, 11, -2}};
    for (const auto &h : hits)
        EXPECT_EQ(view.group_hit(5 + h.x, 25 + h.y), h.cell) << h.x << "," << h.y;
    input.key_down[KEY_LCONTROL] = true;
    for (int i = 0; i < 3; i++)  // 128, 256 and no further: two columns, 64 rows: content 17034
        at(0, 0, EVENT_WHEEL, 1);
    EXPECT_EQ(view.group_hit(5 + 11, 25 + 277) * 1000 + view.thumbnail_size, 2256);
    input.key_down[KEY_LCONTROL] = false;
    at(0, 0, EVENT_WHEEL, 30);  // the plain wheel moves the thumb 90 of 532: offset 2785
    EXPECT_EQ(view.group_hit(5 + 20, 25 + 20), 20);
    view.select_and_show(70, true);  // without reporting
    EXPECT_EQ(view.group_hit(5 + 20, 25 + 20) + reported.size(), 70u);
    pages[70].palette_slot_count = 3;
    std::string slots;
    for (int key : {KEY_UP, KEY_UP, KEY_UP, KEY_A, KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_UP}) {
        view.handle_event(EVENT_KEY, key << 8);
        slots += std::to_string(pages[70].palette_slot);
    }
    EXPECT_EQ(slots, "12221001");
}

TEST_F(texture_view_test, names_wrap_into_rows_are_hit_inside_strict_left_top_and_inclusive_far_edges_and_key_their_page)
{
    // 581 does not fit even the first row and leaves it empty; 540 after 30 just fits 600 less the margins.
    set_names({{"", 0, 0, 0, 581, 30}, {"", 2, 0, 0, 30, 20}, {"", 300, 0, 0, 540, 25}});
    EXPECT_EQ(view.content_height, 50 + 25 + 20);  // the last row at 50
    // Names 1 and 2 are drawn at 10..40 and 50..590 across, from 60 down: not hit are 1's left and
    // top borders, the strip below it and the gap; hit are the far corners and a point inside.
    std::string picked;
    for (auto p : {std::make_pair(55, 80), {10, 70}, {25, 60}, {25, 82}, {45, 70}, {40, 80}, {590, 85}, {11, 61}})
        picked += std::to_string(at(p.first, p.second));
    EXPECT_EQ(picked + " " + reported, "22222121 2n 1n 2n 1n ");
    // The key moves the named texture's page (2) with no page selected; page 300 is not in the level.
    pages[2].palette_slot_count = 2;
    for (int name : {2, 1, 7, -1}) {
        view.selected_name = name;
        view.handle_event(EVENT_KEY, KEY_UP << 8);
    }
    EXPECT_EQ(pages[2].palette_slot, 1);
    input.key_down[KEY_LCONTROL] = true;
    at(0, 0, EVENT_WHEEL, 1);
    EXPECT_EQ(view.content_height, 50 + 25 + 10);  // a zoom lays out with the smaller margin
    set_names(std::vector<texture_name>(60, {"", 0, 0, 0, 100, 50}));  // 12 rows of 5: largest offset 160
    view.select_and_show(59, false);
    EXPECT_EQ(view.name_hit(5 + 20, 25 + 40), 15);  // row 3 under (20, 40), no draw between
}

TEST(texture_views_drawn, pages_through_their_palettes_rings_zoom_and_selector_marks)
{
    QTE_REQUIRE_GL_WINDOW();
    // Two paletted pages, page 1 through palettes 1 and 2; WALL on page 0 and ROOF on page 1.
    byte_buffer lev = encode_level({{BLOCK_TEXTURES, encode_texture_block({make_palette(0), make_palette(1), make_palette(2)},
                                                                          {make_paletted_page(0), make_paletted_page(1)})},
        {BLOCK_TEXTURE_NAMES, encode_texture_names_block({{"WALL", 0, 40, 10, 50, 30}, {"ROOF", 1, 0, 0, 120, 64}})}});
    level lvl;
    ASSERT_EQ(load_bytes(&lvl, lev, encode_palette_lists({{0, {0}}, {1, {1, 2}}})), LOAD_OK);
    gl_texture_set set{};
    build_gl_textures(&set, &lvl);
    auto draw = [](object *o) { allegro_gl_set_allegro_mode(); o->draw(screen); allegro_gl_unset_allegro_mode(); glFinish(); };
    texture_render view;
    view.level = &lvl; view.texture_set = &set; view.x = 5; view.y = 25; view.w = 600; view.h = 570;
    view.thumbnail_size = 256;  // one texel a pixel: cell 1 starts at x 5 + 10 + 266
    view.set_mode(TEXTURE_MODE_GROUP);
    view.selected_texture = lvl.textures[1].palette_slot = 1;
    draw(&view);
    // Page 1's top-left 40 x 20 block (index 201) through palette 2 is (125, 64, 69).
    EXPECT_PRED2(near, read_pixel(281 + 20, 35 + 10), (gl_pixel{125, 64, 69}));
    EXPECT_PRED2(near, read_pixel(281 - 1, 100), (gl_pixel{51, 178, 255}));  // the innermost of three rings
    view.zoomed = 1;  // the page at full size, centred on half the view's size
    draw(&view);
    EXPECT_PRED2(near, read_pixel(300 - 128 + 30, 285 - 128 + 12), (gl_pixel{125, 64, 69}));
    // The selector with page 1 through its second palette: only ROOF, marked by a point strictly inside.
    texture_selector selector;
    selector.level = &lvl; selector.texture_set = &set; selector.x = 172; selector.y = 150; selector.w = selector.h = 256;
    selector.selected.push_back(true);  // left over from last time
    selector.prepare(1, 1);
    EXPECT_EQ(selector.toggle_at(0, 30) + selector.toggle_at(120, 30) + selector.toggle_at(60, 64), 0);  // borders
    EXPECT_EQ(selector.toggle_at(60, 63) * 10 + selector.names.size(), 11u);
    draw(&selector);
    EXPECT_PRED2(near, read_pixel(172 + 36, 150 + 17), (gl_pixel{75, 140, 41}));  // 40 % green over the block
    release_gl_textures(&set);
    cleanup_level(&lvl);
}
