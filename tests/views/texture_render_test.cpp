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
void record_selection(int index, bool is_page)
{
    selections.push_back(std::to_string(index) + (is_page ? "p" : "n"));
}

// A level of `pages` pages (no pixels: nothing here draws) and named
// rectangles, shown by a view placed like the main screen's.
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
    void add_name(int page, int w, int h, int x = 0, int y = 0)
    {
        texture_name n{};
        snprintf(n.name, sizeof n.name, "T%zu", names.size());
        n.texture = page; n.x = x; n.y = y; n.w = w; n.h = h;
        names.push_back(n);
        lvl.texture_names = names.data();
        lvl.texture_name_count = (int)names.size();
    }
    // A left press at a point relative to the view's top-left corner.
    int click(int vx, int vy)
    {
        input.mouse_x = view.x + vx;
        input.mouse_y = view.y + vy;
        return view.handle_event(EVENT_LEFT_BUTTON, 1);
    }
    int wheel(int delta, bool control)
    {
        input.key_down[KEY_LCONTROL] = control;
        int r = view.handle_event(EVENT_WHEEL, delta);
        input.key_down[KEY_LCONTROL] = false;
        return r;
    }
};

TEST(texture_grid, pitch_columns_and_content_height)
{
    EXPECT_EQ(group_pitch(64), 74);
    EXPECT_EQ(group_columns(600, 64), 7);
    EXPECT_EQ(group_content_height(20, 600, 64), 232);   // ceil(20/7) = 3 rows
    EXPECT_EQ(group_content_height(21, 600, 64), 232);
    EXPECT_EQ(group_content_height(22, 600, 64), 306);
    EXPECT_EQ(group_content_height(0, 600, 64), 10);
    EXPECT_EQ(group_columns(600, 256), 2);               // (580) / 266
    EXPECT_EQ(group_columns(600, 32), 13);               // 580 / 42
}

TEST(texture_grid, a_view_narrower_than_one_cell_keeps_one_column)
{
    EXPECT_EQ(group_columns(50, 64), 1);
    EXPECT_EQ(group_columns(0, 256), 1);
    EXPECT_EQ(group_content_height(3, 50, 64), 3 * 74 + 10);
}

TEST_F(texture_view_test, starts_in_single_texture_mode_with_64_pixel_thumbnails)
{
    texture_render fresh;
    EXPECT_EQ(fresh.theme, -1);
    EXPECT_EQ(fresh.level, nullptr);
    EXPECT_EQ(fresh.texture_set, nullptr);
    EXPECT_EQ(fresh.on_select, nullptr);
    EXPECT_EQ(fresh.thumbnail_size, 64);
    EXPECT_EQ(fresh.selected_name, 0);
    EXPECT_EQ(fresh.selected_texture, -1);
    EXPECT_EQ(fresh.mode, TEXTURE_MODE_SINGLE);
    EXPECT_EQ(fresh.zoomed, 0);
    EXPECT_EQ(fresh.click_timer, -1);
    EXPECT_TRUE(fresh.scroll.visible);
}

TEST_F(texture_view_test, attach_places_the_scroll_bar_on_the_right_strip)
{
    EXPECT_EQ(view.scroll.x, 595);
    EXPECT_EQ(view.scroll.y, 25);
    EXPECT_EQ(view.scroll.w, 10);
    EXPECT_EQ(view.scroll.h, 570);
    EXPECT_EQ(view.scroll.wheel_step, 3);
    ASSERT_EQ(manager.objects.size(), 2u);
    EXPECT_EQ(manager.objects[1], &view.scroll);    // above the view
    view.hide();
    EXPECT_FALSE(view.visible);
    EXPECT_FALSE(view.scroll.visible);
    view.show();
    EXPECT_TRUE(view.visible);
    EXPECT_TRUE(view.scroll.visible);
}

TEST_F(texture_view_test, control_wheel_zooms_by_halves_and_doubles_within_32_to_256)
{
    view.set_mode(TEXTURE_MODE_GROUP);
    wheel(-1, true);
    EXPECT_EQ(view.thumbnail_size, 32);
    wheel(0, true);                                 // below 1 halves too
    EXPECT_EQ(view.thumbnail_size, 32);
    int sizes[] = {64, 128, 256, 256};
    for (int expected : sizes) {
        wheel(1, true);
        EXPECT_EQ(view.thumbnail_size, expected);
    }
    wheel(3, false);                                // the plain wheel scrolls instead
    EXPECT_EQ(view.thumbnail_size, 256);
}

TEST_F(texture_view_test, plain_wheel_scrolls_the_grid)
{
    set_pages(128);
    view.set_mode(TEXTURE_MODE_GROUP);
    ASSERT_TRUE(view.scroll.scrollable);
    wheel(5, false);
    EXPECT_FLOAT_EQ(view.scroll.position, 15.0f);   // wheel_step 3
    EXPECT_GT(view.scroll.get_offset(view.group_height(), view.h), 0);
    wheel(5, true);                                 // with Control: zoom, no scroll
    EXPECT_FLOAT_EQ(view.scroll.position, 15.0f);
}

TEST_F(texture_view_test, row_layout_packs_names_and_wraps_before_the_scroll_strip)
{
    for (int i = 0; i < 6; i++)
        add_name(0, 100, 20 + i);
    row_layout c;
    row_layout_begin(&c);
    std::string placed;
    while (row_layout_next(&c, &lvl, 600))
        placed += std::to_string(c.index) + "@" + std::to_string(c.rx) + "," + std::to_string(c.ry) + " ";
    // 440 + 100 + 10 = 550 still fits 590; 550 + 110 does not.
    EXPECT_EQ(placed, "0@0,0 1@110,0 2@220,0 3@330,0 4@440,0 5@0,34 ");
    int top, height;
    row_layout_extent(&lvl, 600, &top, &height);
    EXPECT_EQ(top, 34);                             // row 0 is 24 high, plus 10
    EXPECT_EQ(height, 25);
}

TEST_F(texture_view_test, a_name_wider_than_the_row_opens_a_new_row_even_when_first)
{
    add_name(0, 581, 30);                           // 581 + 10 > 590
    add_name(0, 10, 10);
    row_layout c;
    row_layout_begin(&c);
    ASSERT_TRUE(row_layout_next(&c, &lvl, 600));
    EXPECT_EQ(c.rx, 0);
    EXPECT_EQ(c.ry, 10);                            // an empty row of height 0 before it
    ASSERT_TRUE(row_layout_next(&c, &lvl, 600));
    EXPECT_EQ(c.ry, 50);
    EXPECT_FALSE(row_layout_next(&c, &lvl, 600));
    lvl.texture_names[0].w = 580;                   // exactly fits
    row_layout_begin(&c);
    row_layout_next(&c, &lvl, 600);
    EXPECT_EQ(c.ry, 0);
}

TEST_F(texture_view_test, set_mode_ranges_and_single_texture_content_height)
{
    view.set_mode(TEXTURE_MODE_SINGLE);
    EXPECT_EQ(view.content_height, 20);             // no names
    EXPECT_EQ(view.mode, TEXTURE_MODE_SINGLE);
    for (int i = 0; i < 60; i++)
        add_name(0, 100, 50);                       // 5 a row, 12 rows 60 apart
    view.set_mode(TEXTURE_MODE_SINGLE);
    EXPECT_EQ(view.content_height, 11 * 60 + 50 + 20);
    EXPECT_TRUE(view.scroll.scrollable);
    // The zoom recomputes the same layout with a 10-pixel bottom margin.
    wheel(1, true);
    EXPECT_EQ(view.content_height, 11 * 60 + 10 + 50);
    view.set_mode(TEXTURE_MODE_GROUP);
    EXPECT_EQ(view.mode, TEXTURE_MODE_GROUP);
    EXPECT_TRUE(view.scroll.scrollable);            // 128-pixel cells: 5 rows of 138
    view.thumbnail_size = 64;
    view.set_mode(TEXTURE_MODE_GROUP);
    EXPECT_FALSE(view.scroll.scrollable);           // 20 pages fit 570 pixels
}

TEST_F(texture_view_test, grid_cells_are_found_by_division_gaps_and_margins_included)
{
    // Thumbnail 0 covers 10..74; its gap runs to 84; column 1 starts at 84.
    EXPECT_EQ(view.group_hit(view.x + 11, view.y + 11), 0);
    EXPECT_EQ(view.group_hit(view.x + 80, view.y + 80), 0);     // gap right and below
    EXPECT_EQ(view.group_hit(view.x + 3, view.y + 3), 0);       // left and top margin
    EXPECT_EQ(view.group_hit(view.x + 84, view.y + 11), 1);
    EXPECT_EQ(view.group_hit(view.x + 11, view.y + 84), 7);
    EXPECT_EQ(view.group_hit(view.x + 10 + 6 * 74, view.y + 11), 6);
    EXPECT_EQ(view.group_hit(view.x + 10 + 7 * 74, view.y + 11), -2);   // right of the last column
    EXPECT_EQ(view.group_hit(view.x + 596, view.y + 11), -2);           // scroll strip
    view.page_offset = 74;                                              // scrolled one row
    EXPECT_EQ(view.group_hit(view.x + 11, view.y + 11), 7);
}

TEST_F(texture_view_test, group_click_selects_and_reports_only_a_change)
{
    view.set_mode(TEXTURE_MODE_GROUP);
    click(80, 80);
    EXPECT_EQ(view.selected_texture, 0);
    view.click_timer = -1;
    click(11 + 74, 11);
    EXPECT_EQ(view.selected_texture, 1);
    view.click_timer = -1;
    click(12 + 74, 12);                             // same page again: no report
    EXPECT_EQ(selections, (std::vector<std::string>{"0p", "1p"}));
}

TEST_F(texture_view_test, click_beyond_the_last_page_keeps_the_selection_but_counts_for_the_double_click)
{
    view.set_mode(TEXTURE_MODE_GROUP);
    click(11 + 2 * 74, 11);                         // page 2
    for (int i = 0; i < 31; i++)
        view.update();
    ASSERT_EQ(view.click_timer, -1);
    EXPECT_EQ(click(11 + 6 * 74, 11 + 2 * 74), 1);  // page 20 of 20: none
    EXPECT_EQ(view.selected_texture, 2);
    EXPECT_EQ(view.click_timer, 0);
    EXPECT_EQ(click(11 + 6 * 74, 11 + 2 * 74), 0);  // second click opens the zoom
    EXPECT_EQ(view.zoomed, 1);
    EXPECT_EQ(selections, (std::vector<std::string>{"2p"}));
    // With no page selected at all, a click past the end selects nothing.
    view.selected_texture = -1;
    view.zoomed = 0;
    click(11 + 6 * 74, 11 + 2 * 74);
    EXPECT_EQ(view.selected_texture, -1);
}

TEST_F(texture_view_test, double_click_opens_the_zoom_and_the_next_click_closes_it)
{
    view.set_mode(TEXTURE_MODE_GROUP);
    EXPECT_EQ(click(20, 20), 1);                    // new page: timer 40 then 0, captured
    EXPECT_EQ(view.click_timer, 0);
    for (int i = 0; i < 29; i++)
        EXPECT_EQ(view.update(), 0);
    EXPECT_EQ(view.click_timer, 29);
    EXPECT_EQ(click(20, 20), 0);                    // within 30 frames
    EXPECT_EQ(view.zoomed, 1);
    EXPECT_EQ(view.click_timer, 40);
    EXPECT_EQ(view.update(), 1);                    // 41: back to idle
    EXPECT_EQ(view.click_timer, -1);
    EXPECT_EQ(click(20 + 74, 20), 0);               // any click closes it, and may select
    EXPECT_EQ(view.zoomed, 0);
    EXPECT_EQ(view.selected_texture, 1);
}

TEST_F(texture_view_test, slow_second_click_or_another_page_does_not_zoom)
{
    view.set_mode(TEXTURE_MODE_GROUP);
    click(20, 20);
    for (int i = 0; i < 30; i++)
        view.update();
    EXPECT_EQ(view.click_timer, 30);
    EXPECT_EQ(click(20, 20), 1);                    // too late: restarts the timer
    EXPECT_EQ(view.zoomed, 0);
    EXPECT_EQ(view.click_timer, 0);
    view.update();
    EXPECT_EQ(click(20 + 74, 20), 1);               // quick, but another page
    EXPECT_EQ(view.zoomed, 0);
    EXPECT_EQ(view.click_timer, 0);
    for (int i = 0; i < 30; i++)
        EXPECT_EQ(view.update(), 0);
    EXPECT_EQ(view.update(), 1);                    // 31: idle again
    EXPECT_EQ(view.click_timer, -1);
}

TEST_F(texture_view_test, control_click_and_right_button_do_not_select)
{
    view.set_mode(TEXTURE_MODE_GROUP);
    input.key_down[KEY_LCONTROL] = true;
    click(20, 20);
    input.key_down[KEY_LCONTROL] = false;
    input.mouse_x = view.x + 20;
    view.handle_event(EVENT_RIGHT_BUTTON, 1);
    view.handle_event(EVENT_LEFT_BUTTON, 0);
    EXPECT_EQ(view.selected_texture, -1);
    EXPECT_TRUE(selections.empty());
}

TEST_F(texture_view_test, single_texture_click_picks_the_name_under_the_pointer)
{
    add_name(0, 30, 20);                            // drawn at 10..40 x 10..30
    add_name(0, 40, 40);                            // drawn at 50..90 x 10..50
    view.set_mode(TEXTURE_MODE_SINGLE);
    view.selected_name = 0;
    click(55, 45);
    EXPECT_EQ(view.selected_name, 1);
    click(45, 20);                                  // the gap between them
    EXPECT_EQ(view.selected_name, 1);
    click(25, 40);                                  // below the shorter name
    EXPECT_EQ(view.selected_name, 1);
    click(10, 20);                                  // its left border is outside
    EXPECT_EQ(view.selected_name, 1);
    click(40, 30);                                  // its far corner is inside
    EXPECT_EQ(view.selected_name, 0);
    click(11, 11);
    EXPECT_EQ(selections, (std::vector<std::string>{"1n", "0n"}));
    EXPECT_EQ(view.name_hit(view.x + 50, view.y + 20), -1);
    EXPECT_EQ(view.name_hit(view.x + 90, view.y + 50), 1);
}

TEST_F(texture_view_test, arrow_keys_step_the_palette_slot_within_the_list)
{
    pages[4].palette_slot_count = 3;
    view.set_mode(TEXTURE_MODE_GROUP);
    view.selected_texture = 4;
    int ups[] = {1, 2, 2};
    for (int expected : ups) {
        EXPECT_EQ(view.handle_event(EVENT_KEY, 0x5400), 0);
        EXPECT_EQ(pages[4].palette_slot, expected);
    }
    view.handle_event(EVENT_KEY, 0x4100);           // another key
    EXPECT_EQ(pages[4].palette_slot, 2);
    int downs[] = {1, 0, 0};
    for (int expected : downs) {
        view.handle_event(EVENT_KEY, 0x5500);
        EXPECT_EQ(pages[4].palette_slot, expected);
    }
    // Pages with no list or a single palette do not move.
    pages[5].palette_slot_count = 1;
    view.selected_texture = 5;
    view.handle_event(EVENT_KEY, 0x5400);
    EXPECT_EQ(pages[5].palette_slot, 0);
    view.selected_texture = 6;
    view.handle_event(EVENT_KEY, 0x5400);
    EXPECT_EQ(pages[6].palette_slot, 0);
}

TEST_F(texture_view_test, arrow_keys_follow_the_named_texture_in_single_mode_and_ignore_missing_pages)
{
    pages[2].palette_slot_count = 2;
    add_name(2, 10, 10);
    add_name(300, 10, 10);                          // a page the level does not have
    view.set_mode(TEXTURE_MODE_SINGLE);
    view.selected_texture = 5;                      // not the page concerned here
    view.selected_name = 0;
    view.handle_event(EVENT_KEY, 0x5400);
    EXPECT_EQ(pages[2].palette_slot, 1);
    view.selected_name = 1;
    view.handle_event(EVENT_KEY, 0x5400);
    view.selected_name = 7;                         // beyond the names
    view.handle_event(EVENT_KEY, 0x5400);
    view.selected_name = -1;
    view.handle_event(EVENT_KEY, 0x5500);
    view.set_mode(TEXTURE_MODE_GROUP);
    view.selected_texture = 20;                     // beyond the pages
    view.handle_event(EVENT_KEY, 0x5400);
    EXPECT_EQ(pages[2].palette_slot, 1);
    EXPECT_EQ(pages[5].palette_slot, 0);
}

TEST_F(texture_view_test, select_and_show_scrolls_a_page_into_view_without_reporting)
{
    set_pages(128);                                 // 19 rows: content 1416
    view.set_mode(TEXTURE_MODE_GROUP);
    view.select_and_show(70, true);                 // row 10, top 740 of at most 846
    EXPECT_EQ(view.selected_texture, 70);
    EXPECT_NEAR(view.scroll.get_offset(view.group_height(), view.h), 740, 1);
    view.select_and_show(127, true);                // row 18 lies past the largest offset
    EXPECT_EQ(view.scroll.get_offset(view.group_height(), view.h), 846);
    view.select_and_show(0, true);
    EXPECT_EQ(view.scroll.get_offset(view.group_height(), view.h), 0);
    EXPECT_TRUE(selections.empty());
}

TEST_F(texture_view_test, select_and_show_scrolls_a_name_into_view)
{
    for (int i = 0; i < 60; i++)
        add_name(0, 100, 50);
    view.set_mode(TEXTURE_MODE_SINGLE);            // content 730, largest offset 160
    view.select_and_show(12, false);                // row 2, top 120
    EXPECT_EQ(view.selected_name, 12);
    EXPECT_NEAR(view.scroll.get_offset(view.content_height, view.h), 120, 1);
    view.select_and_show(59, false);                // top 660: the end
    EXPECT_EQ(view.scroll.get_offset(view.content_height, view.h), 160);
    view.select_and_show(100, false);               // beyond the list: stays
    EXPECT_EQ(view.selected_name, 100);
    EXPECT_EQ(view.scroll.get_offset(view.content_height, view.h), 160);
    EXPECT_TRUE(selections.empty());
}

} // namespace
