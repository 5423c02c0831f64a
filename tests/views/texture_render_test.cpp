// The texture page view's arithmetic and behaviour: grid cells, rows, clicks, zoom, keys, scrolling.
#include <gtest/gtest.h>

#include <allegro.h>
#include <string.h>

#include <string>
#include <vector>

#include "level/level.h"
#include "views/texture_render.h"

namespace {

std::vector<std::string> selections;
void record_selection(int index, bool is_page) { selections.push_back(std::to_string(index) + (is_page ? "p" : "n")); }

// 20 pages without pixels, in a view placed like the main screen's.
class texture_view_test : public ::testing::Test {
protected:
    level lvl{};
    std::vector<level_texture> pages;
    std::vector<texture_name> names;
    texture_render view;
    gui_manager manager;
    gui_input_state input;

    void SetUp() override
    {
        gui_set_input(&input);
        selections.clear();
        set_pages(20);
        view.level = &lvl;
        view.on_select = record_selection;
        view.x = 5; view.y = 25; view.w = 600; view.h = 570;
        manager.add(&view);
    }
    void TearDown() override { gui_set_input(nullptr); }
    void set_pages(int count)
    {
        pages.assign(count, level_texture{});
        for (level_texture &t : pages) {
            t.paletted = true;
            t.palette_slot_count = -1;
        }
        lvl.textures = pages.data();
        lvl.texture_count = count;
    }
    void add_name(int page, int w, int h)
    {
        texture_name n{};
        n.texture = page; n.w = w; n.h = h;
        names.push_back(n);
        lvl.texture_names = names.data();
        lvl.texture_name_count = (int)names.size();
    }
    // Events at a point relative to the view's top-left corner.
    int click(int vx, int vy, int event = EVENT_LEFT_BUTTON, int value = 1)
    {
        input.mouse_x = view.x + vx;
        input.mouse_y = view.y + vy;
        return view.handle_event(event, value);
    }
    std::string placed()
    {
        row_layout c;
        row_layout_begin(&c);
        std::string s;
        while (row_layout_next(&c, &lvl, 600))
            s += std::to_string(c.index) + "@" + std::to_string(c.rx) + "," + std::to_string(c.ry) + " ";
        return s;
    }
};

TEST(texture_grid, columns_and_content_height)
{
    EXPECT_EQ(group_pitch(64), 74);
    struct { int width, size, columns; } columns[] = {
        {600, 64, 7}, {600, 256, 2}, {600, 32, 13}, {50, 64, 1}, {0, 256, 1},  // never fewer than one
    };
    for (const auto &c : columns)
        EXPECT_EQ(group_columns(c.width, c.size), c.columns) << c.width << " " << c.size;
    struct { int pages, width, height; } heights[] = {
        {20, 600, 232}, {21, 600, 232}, {22, 600, 306}, {0, 600, 10}, {3, 50, 3 * 74 + 10},
    };
    for (const auto &c : heights)
        EXPECT_EQ(group_content_height(c.pages, c.width, 64), c.height) << c.pages << " " << c.width;
}

TEST_F(texture_view_test, rows_pack_names_and_wrap_before_the_scroll_strip)
{
    for (int i = 0; i < 6; i++)
        add_name(0, 100, 20 + i);
    // 440 + 100 + 10 = 550 still fits 590; 550 + 110 does not.
    EXPECT_EQ(placed(), "0@0,0 1@110,0 2@220,0 3@330,0 4@440,0 5@0,34 ");
    int top, height;
    row_layout_extent(&lvl, 600, &top, &height);
    EXPECT_EQ(top, 34);
    EXPECT_EQ(height, 25);

    names.clear();
    add_name(0, 581, 30);  // 581 + 10 > 590: a new (empty) row even when first
    add_name(0, 10, 10);
    EXPECT_EQ(placed(), "0@0,10 1@0,50 ");
    names[0].w = 580;      // exactly fits
    EXPECT_EQ(placed().substr(0, 6), "0@0,0 ");
}

TEST_F(texture_view_test, control_wheel_zooms_within_32_to_256_and_the_plain_wheel_scrolls)
{
    set_pages(128);
    view.set_mode(TEXTURE_MODE_GROUP);
    struct { int delta; int size; } steps[] = {{-1, 32}, {0, 32}, {1, 64}, {1, 128}, {1, 256}, {1, 256}, {-1, 128}};
    input.key_down[KEY_LCONTROL] = true;
    for (const auto &s : steps) {
        click(0, 0, EVENT_WHEEL, s.delta);
        EXPECT_EQ(view.thumbnail_size, s.size);
    }
    EXPECT_FLOAT_EQ(view.scroll.position, 0.0f);  // zooming does not scroll
    input.key_down[KEY_LCONTROL] = false;
    click(0, 0, EVENT_WHEEL, 5);
    EXPECT_FLOAT_EQ(view.scroll.position, 15.0f);  // wheel_step 3
    EXPECT_EQ(view.thumbnail_size, 128);
}

TEST_F(texture_view_test, grid_cells_are_found_by_division_gaps_and_margins_included)
{
    // Thumbnail 0 covers 10..74; its gap runs to 84; column 1 starts at 84.
    struct { int x, y, cell; } hits[] = {
        {11, 11, 0}, {80, 80, 0}, {3, 3, 0}, {84, 11, 1}, {11, 84, 7}, {10 + 6 * 74, 11, 6},
        {10 + 7 * 74, 11, -2},  // right of the last column
        {596, 11, -2},          // the scroll strip
    };
    for (const auto &h : hits)
        EXPECT_EQ(view.group_hit(view.x + h.x, view.y + h.y), h.cell) << h.x << "," << h.y;
    view.page_offset = 74;  // scrolled one row
    EXPECT_EQ(view.group_hit(view.x + 11, view.y + 11), 7);
}

TEST_F(texture_view_test, clicks_select_report_only_a_change_and_skip_missing_pages)
{
    view.set_mode(TEXTURE_MODE_GROUP);
    struct { int x, y, selected; } clicks[] = {
        {80, 80, 0}, {85, 11, 1}, {86, 12, 1},
        {11 + 6 * 74, 11 + 2 * 74, 1},  // page 20 of 20: none, the selection stays
    };
    for (const auto &c : clicks) {
        view.click_timer = -1;
        click(c.x, c.y);
        EXPECT_EQ(view.selected_texture, c.selected);
    }
    EXPECT_EQ(selections, (std::vector<std::string>{"0p", "1p"}));
    // Control+click and the right button do not select.
    view.click_timer = -1;
    input.key_down[KEY_LCONTROL] = true;
    click(11, 11);
    input.key_down[KEY_LCONTROL] = false;
    click(11, 11, EVENT_RIGHT_BUTTON);
    EXPECT_EQ(view.selected_texture, 1);
}

TEST_F(texture_view_test, double_click_opens_the_zoom_within_30_frames_on_the_same_page)
{
    view.set_mode(TEXTURE_MODE_GROUP);
    EXPECT_EQ(click(20, 20), 1);  // new page: timer restarts, captured
    EXPECT_EQ(view.click_timer, 0);
    for (int i = 0; i < 29; i++)
        EXPECT_EQ(view.update(), 0);
    EXPECT_EQ(click(20, 20), 0);  // frame 29
    EXPECT_EQ(view.zoomed, 1);
    EXPECT_EQ(view.click_timer, 40);
    EXPECT_EQ(view.update(), 1);  // back to idle
    EXPECT_EQ(view.click_timer, -1);
    EXPECT_EQ(click(20 + 74, 20), 0);  // any click closes it, and may select
    EXPECT_EQ(view.zoomed, 0);
    EXPECT_EQ(view.selected_texture, 1);

    view.click_timer = -1;
    click(20, 20);
    for (int i = 0; i < 30; i++)
        view.update();
    EXPECT_EQ(click(20, 20), 1);       // frame 30: too late, restarts the timer
    EXPECT_EQ(view.zoomed, 0);
    EXPECT_EQ(view.click_timer, 0);
    view.update();
    EXPECT_EQ(click(20 + 74, 20), 1);  // quick, but another page
    EXPECT_EQ(view.zoomed, 0);
}

TEST_F(texture_view_test, single_texture_click_picks_the_name_by_strict_left_top_and_inclusive_far_edges)
{
    add_name(0, 30, 20);  // drawn at 10..40 x 10..30
    add_name(0, 40, 40);  // drawn at 50..90 x 10..50
    view.set_mode(TEXTURE_MODE_SINGLE);
    view.selected_name = 0;
    struct { int x, y, selected; } clicks[] = {
        {55, 45, 1}, {45, 20, 1} /* gap */, {25, 40, 1} /* below the shorter */, {10, 20, 1} /* left border */,
        {40, 30, 0} /* far corner */, {90, 50, 1}, {11, 11, 0},
    };
    for (const auto &c : clicks) {
        click(c.x, c.y);
        EXPECT_EQ(view.selected_name, c.selected) << c.x << "," << c.y;
    }
    EXPECT_EQ(selections, (std::vector<std::string>{"1n", "0n", "1n", "0n"}));
}

TEST_F(texture_view_test, arrow_keys_step_the_palette_slot_within_the_list)
{
    pages[4].palette_slot_count = 3;
    pages[5].palette_slot_count = 1;
    pages[2].palette_slot_count = 2;
    add_name(2, 10, 10);
    add_name(300, 10, 10);  // a page the level does not have
    view.set_mode(TEXTURE_MODE_GROUP);
    struct { int page, key, slot_of_4; } keys[] = {
        {4, 0x5400, 1}, {4, 0x5400, 2}, {4, 0x5400, 2}, {4, 0x4100, 2}, {4, 0x5500, 1}, {4, 0x5500, 0},
        {4, 0x5500, 0}, {5, 0x5400, 0}, {6, 0x5400, 0}, {20, 0x5400, 0},
    };
    for (const auto &k : keys) {
        view.selected_texture = k.page;
        view.handle_event(EVENT_KEY, k.key);
        EXPECT_EQ(pages[4].palette_slot, k.slot_of_4);
    }
    EXPECT_EQ(pages[5].palette_slot, 0);  // a single palette does not move
    // In single mode the named texture's page moves, not the selected page.
    view.set_mode(TEXTURE_MODE_SINGLE);
    view.selected_texture = 4;
    for (int name : {0, 1, 7, -1}) {
        view.selected_name = name;
        view.handle_event(EVENT_KEY, 0x5400);
    }
    EXPECT_EQ(pages[2].palette_slot, 1);
    EXPECT_EQ(pages[4].palette_slot, 0);
}

TEST_F(texture_view_test, select_and_show_scrolls_into_view_without_reporting)
{
    set_pages(128);  // 19 rows: content 1416, largest offset 846
    view.set_mode(TEXTURE_MODE_GROUP);
    struct { int page, offset; } pages_shown[] = {{70, 740}, {127, 846}, {0, 0}};
    for (const auto &p : pages_shown) {
        view.select_and_show(p.page, true);
        EXPECT_EQ(view.selected_texture, p.page);
        EXPECT_NEAR(view.scroll.get_offset(view.group_height(), view.h), p.offset, 1);
    }
    for (int i = 0; i < 60; i++)
        add_name(0, 100, 50);
    view.set_mode(TEXTURE_MODE_SINGLE);  // content 730, largest offset 160
    struct { int name, offset; } names_shown[] = {{12, 120}, {59, 160}, {100, 160} /* beyond: stays */};
    for (const auto &n : names_shown) {
        view.select_and_show(n.name, false);
        EXPECT_EQ(view.selected_name, n.name);
        EXPECT_NEAR(view.scroll.get_offset(view.content_height, view.h), n.offset, 1);
    }
    EXPECT_TRUE(selections.empty());
}

} // namespace
