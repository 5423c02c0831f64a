// The texture selector: which rectangles prepare collects and which a click toggles.
#include <gtest/gtest.h>

#include <allegro.h>
#include <string.h>

#include "level/level.h"
#include "views/texture_selector.h"

namespace {

class selector_test : public ::testing::Test {
protected:
    level lvl{};
    texture_name names[5]{};
    texture_selector selector;
    gui_input_state input;

    void name(int i, int page, int x, int y, int w, int h)
    {
        snprintf(names[i].name, sizeof names[i].name, "N%d", i);
        names[i].texture = page;
        names[i].x = x; names[i].y = y; names[i].w = w; names[i].h = h;
    }

    void SetUp() override
    {
        name(0, 3, 10, 20, 30, 40);   // page 3
        name(1, 1, 0, 0, 16, 16);     // another page
        name(2, 3, 30, 50, 20, 20);   // page 3, overlaps 0 at (31..39, 51..59)
        name(3, 3, 200, 200, 56, 56); // page 3
        name(4, 300, 0, 0, 8, 8);     // a page the level lacks
        lvl.texture_names = names;
        lvl.texture_name_count = 5;
        selector.level = &lvl;
        // 256 x 256 with its corner at (100, 50): page point = screen - (100, 50).
        selector.x = 100; selector.y = 50; selector.w = 256; selector.h = 256;
        gui_set_input(&input);
    }
    void TearDown() override { gui_set_input(nullptr); }

    void click(int page_x, int page_y)
    {
        input.mouse_x = 100 + page_x;
        input.mouse_y = 50 + page_y;
        selector.handle_event(EVENT_LEFT_BUTTON, 1);
    }
};

TEST_F(selector_test, prepare_collects_the_page_rectangles_in_level_order)
{
    selector.selected.push_back(true);          // left over from last time
    selector.prepare(3, 2);
    EXPECT_EQ(selector.page, 3);
    EXPECT_EQ(selector.palette_slot, 2);
    ASSERT_EQ(selector.names.size(), 3u);
    EXPECT_EQ(selector.names[0], &names[0]);
    EXPECT_EQ(selector.names[1], &names[2]);
    EXPECT_EQ(selector.names[2], &names[3]);
    ASSERT_EQ(selector.selected.size(), 3u);
    for (bool mark : selector.selected)
        EXPECT_FALSE(mark);
    selector.prepare(9, 0);
    EXPECT_TRUE(selector.names.empty());
    EXPECT_TRUE(selector.selected.empty());
    click(5, 5);                                // nothing to toggle
}

TEST_F(selector_test, click_inside_toggles_and_a_second_click_untoggles)
{
    selector.prepare(3, 0);
    click(11, 21);
    EXPECT_TRUE(selector.selected[0]);
    EXPECT_FALSE(selector.selected[1]);
    click(39, 59 - 20);                         // still inside rectangle 0 only
    EXPECT_FALSE(selector.selected[0]);
}

TEST_F(selector_test, borders_do_not_count)
{
    selector.prepare(3, 0);
    // Rectangle 0 spans 10 < px < 40, 20 < py < 60.
    click(10, 30);
    click(40, 30);
    click(25, 20);
    click(25, 60);
    EXPECT_FALSE(selector.selected[0]);
    // The far corner of the page: rectangle 3 ends at 256, which no point reaches.
    click(255, 255);
    EXPECT_TRUE(selector.selected[2]);
}

TEST_F(selector_test, one_click_toggles_every_overlapping_rectangle)
{
    selector.prepare(3, 0);
    click(35, 55);
    EXPECT_TRUE(selector.selected[0]);
    EXPECT_TRUE(selector.selected[1]);
    EXPECT_FALSE(selector.selected[2]);
    // The page is centred in a larger widget: the point follows the centre.
    selector.w = 300; selector.h = 280;         // corner moves by (22, 12)
    input.mouse_x = 100 + 22 + 35;
    input.mouse_y = 50 + 12 + 55;
    selector.handle_event(EVENT_LEFT_BUTTON, 1);
    EXPECT_FALSE(selector.selected[0]);
    EXPECT_FALSE(selector.selected[1]);
}

TEST_F(selector_test, only_left_presses_act)
{
    selector.prepare(3, 0);
    input.mouse_x = 100 + 15;
    input.mouse_y = 50 + 25;
    EXPECT_EQ(selector.handle_event(EVENT_LEFT_BUTTON, 0), 0);
    EXPECT_EQ(selector.handle_event(EVENT_RIGHT_BUTTON, 1), 0);
    EXPECT_EQ(selector.handle_event(EVENT_KEY, 0x5400), 0);
    EXPECT_FALSE(selector.selected[0]);
    EXPECT_EQ(selector.handle_event(EVENT_LEFT_BUTTON, 1), 0);
    EXPECT_TRUE(selector.selected[0]);
}

TEST_F(selector_test, select_all_marks_every_rectangle_including_overlaps)
{
    selector.prepare(3, 0);
    click(35, 55);                              // 0 and 2 on
    selector.select_all();
    for (bool mark : selector.selected)
        EXPECT_TRUE(mark);
}

TEST_F(selector_test, prepare_without_a_level_is_empty)
{
    selector.level = nullptr;
    selector.prepare(3, 1);
    EXPECT_TRUE(selector.names.empty());
    EXPECT_EQ(selector.page, 3);
}

} // namespace
