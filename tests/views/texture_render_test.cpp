// The texture page view and the selector: hits and scrolling without a draw, zoom, palette keys, marks, and drawing.
#include "gl_test_window.h"

#include <string>
#include <vector>

#include "demo/level_builder.h"
#include "level/level.h"
#include "render/gl_textures.h"
#include "views/texture_render.h"
#include "views/texture_selector.h"

namespace {

std::string reported;
void record(int index, bool is_page) { reported += std::to_string(index) + (is_page ? "p " : "n "); }

// 20 pages without pixels (room for 128) in a view placed like the main screen's; nothing is drawn.
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
        lvl.textures = pages;
        lvl.texture_count = 20;
        view.level = &lvl;
        view.on_select = record;
        view.x = 5; view.y = 25; view.w = 600; view.h = 570;
        manager.add(&view);
        view.set_mode(TEXTURE_MODE_GROUP);
    }
    void TearDown() override { gui_set_input(nullptr); }
    void set_names(std::vector<texture_name> list)
    {
        names = list;
        lvl.texture_names = names.data();
        lvl.texture_name_count = (int)names.size();
        view.set_mode(TEXTURE_MODE_SINGLE);
    }
    // An event with the mouse at a point relative to the view's corner.
    void at(int vx, int vy, int event = EVENT_LEFT_BUTTON, int value = 1)
    {
        input.mouse_x = view.x + vx;
        input.mouse_y = view.y + vy;
        view.handle_event(event, value);
    }
};

TEST_F(texture_view_test, grid_hits_follow_zoom_and_scrolling_without_a_draw)
{
    lvl.texture_count = 128;
    view.set_mode(TEXTURE_MODE_GROUP);
    // Thumbnail 0 covers 10..74, its gap runs to 84; right of column 6 and the scroll strip hit nothing.
    struct { int x, y, cell; } hits[] = {{3, 3, 0}, {83, 83, 0}, {84, 11, 1}, {11, 84, 7}, {528, 11, -2}, {596, 11, -2}};
    for (const auto &h : hits)
        EXPECT_EQ(view.group_hit(5 + h.x, 25 + h.y), h.cell) << h.x << "," << h.y;
    input.key_down[KEY_LCONTROL] = true;
    for (int i = 0; i < 3; i++)  // 128, 256 and no further: two columns, 64 rows, largest offset 16464
        at(0, 0, EVENT_WHEEL, 1);
    EXPECT_EQ(view.thumbnail_size, 256);
    EXPECT_EQ(view.group_hit(5 + 11, 25 + 277), 2);
    input.key_down[KEY_LCONTROL] = false;
    at(0, 0, EVENT_WHEEL, 30);  // the plain wheel moves the thumb 90 of 532: offset 2785
    EXPECT_EQ(view.group_hit(5 + 20, 25 + 20), 20);
    view.select_and_show(127, true);
    EXPECT_EQ(view.group_offset(), 16464);
    view.select_and_show(70, true);
    EXPECT_EQ(view.group_hit(5 + 20, 25 + 20), 70);
    EXPECT_EQ(reported, "");
}

TEST_F(texture_view_test, names_wrap_into_rows_and_are_hit_inside_strict_left_top_and_inclusive_far_edges)
{
    // 581 does not fit even a fresh row and leaves an empty one; 580 just fits 600 less the margins.
    set_names({{"", 0, 0, 0, 581, 30}, {"", 0, 0, 0, 580, 30}, {"", 0, 0, 0, 30, 20}, {"", 0, 0, 0, 40, 25}});
    EXPECT_EQ(view.content_height, 90 + 25 + 20);  // the last row at 90
    // Names 2 and 3 are drawn at 10..40 and 50..90 across, from 100 down.
    for (auto p : {std::make_pair(55, 120), {45, 110} /* gap */, {25, 122}, {10, 110}, {40, 120}, {90, 125}, {11, 101}})
        at(p.first, p.second);
    EXPECT_EQ(reported, "3n 2n 3n 2n ");
    input.key_down[KEY_LCONTROL] = true;
    at(0, 0, EVENT_WHEEL, 1);
    EXPECT_EQ(view.content_height, 90 + 25 + 10);  // a zoom lays out with the smaller margin
    set_names(std::vector<texture_name>(60, {"", 0, 0, 0, 100, 50}));  // 12 rows of 5: largest offset 160
    view.select_and_show(59, false);
    EXPECT_EQ(view.name_hit(5 + 20, 25 + 40), 15);  // row 3 under (20, 40), no draw between
}

TEST_F(texture_view_test, arrow_keys_step_the_shown_page_palette_slot_within_its_list)
{
    pages[4].palette_slot_count = 3; pages[2].palette_slot_count = 2;
    view.selected_texture = 4;
    std::string slots;
    for (int key : {KEY_UP, KEY_UP, KEY_UP, KEY_A, KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_UP}) {
        view.handle_event(EVENT_KEY, key << 8);
        slots += std::to_string(pages[4].palette_slot);
    }
    EXPECT_EQ(slots, "12221001");
    // In single mode the named texture's page moves, not the selected one; page 300 is not in the level.
    set_names({{"", 2, 0, 0, 10, 10}, {"", 300, 0, 0, 10, 10}});
    for (int name : {0, 1, 7, -1}) {
        view.selected_name = name;
        view.handle_event(EVENT_KEY, KEY_UP << 8);
    }
    EXPECT_EQ(pages[2].palette_slot * 10 + pages[4].palette_slot, 11);
}

TEST_F(texture_view_test, selector_marks_every_name_of_its_page_strictly_containing_a_click)
{
    // Names 0, 2 and 3 lie on page 3, and 0 and 2 overlap at (31..39, 51..59).
    set_names({{"", 3, 10, 20, 30, 40}, {"", 1, 0, 0, 16, 16}, {"", 3, 30, 50, 20, 20}, {"", 3, 200, 200, 56, 56}});
    texture_selector selector;
    selector.level = &lvl;
    selector.x = 100; selector.y = 50; selector.w = 300; selector.h = 280;  // the page's corner at (122, 62)
    selector.selected.push_back(true);  // left over from last time
    selector.prepare(3, 0);
    ASSERT_EQ(selector.names, (std::vector<texture_name *>{&names[0], &names[2], &names[3]}));
    std::string marks;  // name 0's borders do not count
    for (auto c : {std::make_pair(10, 30), {40, 30}, {25, 20}, {25, 60}, {11, 21}, {39, 39}, {35, 55}, {255, 255}}) {
        input.mouse_x = 122 + c.first;
        input.mouse_y = 62 + c.second;
        selector.handle_event(EVENT_LEFT_BUTTON, 1);
        marks += std::to_string(selector.selected[0]) + std::to_string(selector.selected[1]) + std::to_string(selector.selected[2]) + " ";
    }
    EXPECT_EQ(marks, "000 000 000 000 100 000 110 111 ");
}

bool near(gl_pixel a, gl_pixel b) { return abs(a.r - b.r) < 4 && abs(a.g - b.g) < 4 && abs(a.b - b.b) < 4; }

TEST(texture_views_drawn, pages_through_their_palettes_rings_zoom_names_and_selector_marks)
{
    QTE_REQUIRE_GL_WINDOW();
    // Two paletted pages, page 1 through palettes 1 and 2; WALL on page 0 and ROOF on page 1.
    byte_buffer lev = encode_level({
        {BLOCK_TEXTURES, encode_texture_block({make_palette(0), make_palette(1), make_palette(2)},
                                              {make_paletted_page(0), make_paletted_page(1)})},
        {BLOCK_TEXTURE_NAMES, encode_texture_names_block({{"WALL", 0, 40, 10, 50, 30}, {"ROOF", 1, 0, 0, 120, 64}})}});
    byte_buffer d3d = encode_palette_lists({{0, {0}}, {1, {1, 2}}});
    level lvl{};
    ASSERT_EQ(load_level_from_memory(&lvl, lev.data(), lev.size(), d3d.data(), d3d.size(), LOAD_ALL), 0);
    gl_texture_set set{};
    build_gl_textures(&set, &lvl);
    auto texel = [&](int id, int page, int u, int v) {  // texel (u, v) of a page through palette `id`
        const unsigned char *e = lvl.palette_table[id]->entries[lvl.textures[page].pixels[v * 256 + u]];
        return gl_pixel(e[0], e[1], e[2]);
    };
    auto draw = [](object *o) { allegro_gl_set_allegro_mode(); o->draw(screen); allegro_gl_unset_allegro_mode(); };
    texture_render view;
    view.level = &lvl; view.texture_set = &set;
    view.x = 5; view.y = 25; view.w = 600; view.h = 570;
    view.thumbnail_size = 256;  // one texel a pixel: cell 1 starts at x 5 + 10 + 266
    view.set_mode(TEXTURE_MODE_GROUP);
    view.selected_texture = 1;
    lvl.textures[1].palette_slot = 1;
    draw(&view);
    EXPECT_PRED2(near, read_pixel(281 + 20, 35 + 10), texel(2, 1, 20, 10));
    EXPECT_PRED2(near, read_pixel(281 - 1, 100), gl_pixel(51, 178, 255));  // the innermost of three rings
    view.zoomed = 1;  // the page at full size on grey, centred on half the view's size
    draw(&view);
    EXPECT_PRED2(near, read_pixel(300 - 128 + 30, 285 - 128 + 12), texel(2, 1, 30, 12));
    EXPECT_PRED2(near, read_pixel(300 - 131, 285), gl_pixel(200, 200, 200));
    view.set_mode(TEXTURE_MODE_SINGLE);  // WALL (50 wide, from page 0's 40, 10) at (15, 35), then ROOF
    draw(&view);
    EXPECT_PRED2(near, read_pixel(15 + 60 + 7, 35 + 5), texel(2, 1, 7, 5));
    EXPECT_FALSE(near(read_pixel(15 + 5, 35 + 5), texel(0, 0, 5, 5)));  // not the page's corner block
    texture_selector selector;  // ROOF marked, on page 1 through its second palette
    selector.level = &lvl; selector.texture_set = &set;
    selector.x = 172; selector.y = 150; selector.w = 256; selector.h = 256;
    selector.prepare(1, 1);
    selector.selected[0] = true;
    draw(&selector);
    gl_pixel under = texel(2, 1, 36, 17);  // 40 % green over it
    EXPECT_PRED2(near, read_pixel(172 + 36, 150 + 17), gl_pixel(under.r * 6 / 10, under.g * 6 / 10 + 102, under.b * 6 / 10));
    EXPECT_PRED2(near, read_pixel(172 + 120, 150 + 30), gl_pixel(255, 255, 0));  // its outline
    release_gl_textures(&set);
    cleanup_level(&lvl);
}

} // namespace
