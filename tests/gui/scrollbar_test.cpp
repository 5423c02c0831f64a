// Scroll bar arithmetic, wheel, thumb dragging and arrow repeat.
#include <gtest/gtest.h>

#include "gui/scrollbar.h"

namespace {

// A vertical bar 10 wide and 210 high: arrows 10 each, track 190.
scrollbar make_bar()
{
    scrollbar s;
    s.x = 500; s.y = 100; s.w = 10; s.h = 210;
    return s;
}

TEST(scrollbar_arithmetic, hundred_items_ten_visible_thumb_at_bottom_gives_ninety)
{
    scrollbar s = make_bar();
    EXPECT_EQ(s.track(), 190);
    s.set_range(100, 10);
    EXPECT_TRUE(s.scrollable);
    EXPECT_FLOAT_EQ(s.thumb_size, 19.0f);
    s.position = 190 - 19;
    EXPECT_EQ(s.get_offset(100, 10), 90);
    s.position = 0;
    EXPECT_EQ(s.get_offset(100, 10), 0);
    s.position = 85.5f;   // half way: floor(90 * 85.5 / 171)
    EXPECT_EQ(s.get_offset(100, 10), 45);
}

TEST(scrollbar_arithmetic, content_that_fits_keeps_thumb_and_position_but_reports_zero)
{
    scrollbar s = make_bar();
    s.set_range(100, 10);
    s.position = 50;
    s.set_range(10, 10);
    EXPECT_FALSE(s.scrollable);
    EXPECT_FLOAT_EQ(s.position, 50.0f);
    EXPECT_FLOAT_EQ(s.thumb_size, 19.0f);
    EXPECT_EQ(s.get_offset(10, 10), 0);
    s.set_range(0, 0);
    EXPECT_FALSE(s.scrollable);
    s.set_range(0, 5);
    EXPECT_FALSE(s.scrollable);
    s.set_range(-3, -7);
    EXPECT_FALSE(s.scrollable);
}

TEST(scrollbar_arithmetic, shrinking_range_pulls_the_thumb_back_into_the_track)
{
    scrollbar s = make_bar();
    s.set_range(100, 10);
    s.position = 171;
    s.set_range(100, 50);
    EXPECT_FLOAT_EQ(s.thumb_size, 95.0f);
    EXPECT_FLOAT_EQ(s.position, 95.0f);
    EXPECT_EQ(s.get_offset(100, 50), 50);
}

TEST(scrollbar_arithmetic, degenerate_sizes_never_divide_by_zero)
{
    scrollbar s = make_bar();
    s.h = 20;   // arrows only, no track
    EXPECT_EQ(s.track(), 0);
    s.set_range(100, 10);
    EXPECT_FLOAT_EQ(s.thumb_size, 0.0f);
    EXPECT_EQ(s.get_offset(100, 10), 0);
    s.set_offset(90, 45);
    EXPECT_FLOAT_EQ(s.position, 0.0f);
    s.h = 5;    // shorter than its two arrows
    EXPECT_EQ(s.track(), 0);
    s.set_range(100, 10);
    EXPECT_EQ(s.get_offset(100, 10), 0);

    scrollbar v = make_bar();
    v.set_range(100, -4);   // a view too small for one row
    EXPECT_TRUE(v.scrollable);
    EXPECT_FLOAT_EQ(v.thumb_size, 0.0f);
    v.position = 190;
    EXPECT_EQ(v.get_offset(100, 0), 100);
}

TEST(scrollbar_arithmetic, set_offset_maps_and_clamps)
{
    scrollbar s = make_bar();
    s.set_range(100, 10);
    s.set_offset(90, 45);
    EXPECT_FLOAT_EQ(s.position, 85.5f);
    EXPECT_EQ(s.get_offset(100, 10), 45);
    s.set_offset(90, 90);
    EXPECT_EQ(s.get_offset(100, 10), 90);
    s.set_offset(90, 500);
    EXPECT_FLOAT_EQ(s.position, 171.0f);
    s.set_offset(90, -5);
    EXPECT_FLOAT_EQ(s.position, 0.0f);
    s.position = 30;
    s.set_offset(0, 5);
    EXPECT_FLOAT_EQ(s.position, 0.0f);
    s.position = 30;
    s.set_offset(-10, 5);
    EXPECT_FLOAT_EQ(s.position, 0.0f);
}

TEST(scrollbar_wheel, moves_by_step_and_clamps_only_when_scrollable)
{
    scrollbar s = make_bar();
    s.handle_event(EVENT_WHEEL, 5);
    EXPECT_FLOAT_EQ(s.position, 0.0f);
    s.set_range(100, 10);
    s.wheel_step = 3;
    EXPECT_EQ(s.handle_event(EVENT_WHEEL, 5), 0);
    EXPECT_FLOAT_EQ(s.position, 15.0f);
    s.handle_event(EVENT_WHEEL, -2);
    EXPECT_FLOAT_EQ(s.position, 9.0f);
    s.handle_event(EVENT_WHEEL, -100);
    EXPECT_FLOAT_EQ(s.position, 0.0f);
    s.handle_event(EVENT_WHEEL, 1000);
    EXPECT_FLOAT_EQ(s.position, 171.0f);
}

class scrollbar_mouse : public ::testing::Test {
protected:
    gui_input_state input;
    gui_manager manager;
    scrollbar bar = make_bar();
    void SetUp() override
    {
        gui_set_input(&input);
        bar.set_range(100, 10);
        manager.add(&bar);
    }
    void TearDown() override { gui_set_input(nullptr); }
    void pass(int px, int py, int buttons)
    {
        input.mouse_x = px;
        input.mouse_y = py;
        input.mouse_b = buttons;
        manager.update();
    }
};

TEST_F(scrollbar_mouse, dragging_the_thumb_follows_the_pointer_and_clamps)
{
    bar.position = 20;   // thumb spans y 130..149
    pass(505, 135, 1);
    EXPECT_TRUE(bar.active);
    EXPECT_TRUE(bar.dragging);
    EXPECT_EQ(bar.grab, 115);
    ASSERT_EQ(manager.active.size(), 1u);
    pass(505, 175, 1);
    EXPECT_FLOAT_EQ(bar.position, 60.0f);
    pass(505, 100, 1);   // above the bar
    EXPECT_FLOAT_EQ(bar.position, 0.0f);
    pass(505, 600, 1);   // far below
    EXPECT_FLOAT_EQ(bar.position, 171.0f);
    pass(600, 200, 1);   // sideways does not matter
    EXPECT_FLOAT_EQ(bar.position, 85.0f);
    pass(600, 200, 0);   // release reaches the bar although the pointer is elsewhere
    EXPECT_FALSE(bar.active);
    EXPECT_FALSE(bar.dragging);
    EXPECT_TRUE(manager.active.empty());
    pass(505, 135, 0);
    EXPECT_FLOAT_EQ(bar.position, 85.0f);
}

TEST_F(scrollbar_mouse, holding_an_arrow_scrolls_one_pixel_a_pass)
{
    bar.position = 3;
    pass(505, 105, 1);   // top arrow
    EXPECT_FALSE(bar.dragging);
    EXPECT_FLOAT_EQ(bar.position, 2.0f);
    pass(505, 105, 1);
    pass(505, 105, 1);
    pass(505, 105, 1);
    EXPECT_FLOAT_EQ(bar.position, 0.0f);
    pass(505, 105, 0);
    EXPECT_TRUE(manager.active.empty());

    bar.position = 0.5f;   // one more pixel would go below zero
    pass(505, 105, 1);
    EXPECT_FLOAT_EQ(bar.position, 0.5f);
    pass(505, 105, 0);

    bar.position = 169;
    pass(505, 305, 1);   // bottom arrow
    EXPECT_FLOAT_EQ(bar.position, 170.0f);
    pass(505, 305, 1);
    EXPECT_FLOAT_EQ(bar.position, 171.0f);
    pass(505, 400, 1);   // past the end counts as the arrow
    EXPECT_FLOAT_EQ(bar.position, 171.0f);
    pass(505, 400, 0);
}

TEST_F(scrollbar_mouse, trough_press_captures_but_does_not_page)
{
    bar.position = 0;
    pass(505, 250, 1);
    EXPECT_TRUE(bar.active);
    EXPECT_FALSE(bar.dragging);
    EXPECT_EQ(manager.active.size(), 1u);
    pass(505, 250, 1);
    EXPECT_FLOAT_EQ(bar.position, 0.0f);
    pass(505, 250, 0);
}

TEST_F(scrollbar_mouse, press_on_the_border_or_outside_is_ignored)
{
    input.mouse_x = 500;   // left border line
    input.mouse_y = 200;
    EXPECT_EQ(bar.handle_event(EVENT_LEFT_BUTTON, 1), 0);
    EXPECT_FALSE(bar.active);
    EXPECT_EQ(bar.update(), 1);   // not active: capture ends at once
}

TEST(scrollbar_horizontal, thumb_and_arrows_work_along_x)
{
    gui_input_state input;
    gui_set_input(&input);
    scrollbar s;
    s.vertical = false;
    s.x = 100; s.y = 50; s.w = 210; s.h = 10;
    EXPECT_EQ(s.track(), 190);
    s.set_range(1000, 500);
    EXPECT_FLOAT_EQ(s.thumb_size, 95.0f);
    s.position = 10;   // thumb spans x 120..215
    input.mouse_x = 150;
    input.mouse_y = 55;
    EXPECT_EQ(s.handle_event(EVENT_LEFT_BUTTON, 1), 1);
    EXPECT_TRUE(s.dragging);
    input.mouse_x = 180;
    input.mouse_y = 0;
    s.update();
    EXPECT_FLOAT_EQ(s.position, 40.0f);
    s.handle_event(EVENT_LEFT_BUTTON, 0);
    input.mouse_x = 305;
    input.mouse_y = 55;
    s.handle_event(EVENT_LEFT_BUTTON, 1);
    EXPECT_FALSE(s.dragging);
    s.update();
    EXPECT_FLOAT_EQ(s.position, 41.0f);
    gui_set_input(nullptr);
}

}  // namespace
