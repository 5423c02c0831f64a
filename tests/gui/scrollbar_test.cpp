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

TEST(scrollbar_arithmetic, offsets_both_ways_for_a_hundred_items_ten_visible)
{
    scrollbar s = make_bar();
    s.set_range(100, 10);
    EXPECT_FLOAT_EQ(s.thumb_size, 19.0f);
    const struct { float position; int offset; } table[] = {{0, 0}, {85.5f, 45}, {171, 90}};
    for (const auto &t : table) {
        s.position = t.position;
        EXPECT_EQ(s.get_offset(100, 10), t.offset) << t.position;
    }
    // set_offset is the inverse and clamps.
    const struct { int range, offset; float position; } back[] = {
        {90, 45, 85.5f}, {90, 500, 171}, {90, -5, 0}, {0, 5, 0}, {-10, 5, 0}};
    for (const auto &t : back) {
        s.position = 30;
        s.set_offset(t.range, t.offset);
        EXPECT_FLOAT_EQ(s.position, t.position) << t.range << " " << t.offset;
    }
    s.position = 171;
    s.set_range(100, 50);   // shrinking pulls the thumb back into the track
    EXPECT_FLOAT_EQ(s.position, 95.0f);
    s.set_range(10, 10);
    EXPECT_EQ(s.get_offset(10, 10), 0);
}

TEST(scrollbar_arithmetic, degenerate_sizes_never_divide_by_zero)
{
    for (int h : {20, 5}) {   // arrows only; shorter than its two arrows
        scrollbar s = make_bar();
        s.h = h;
        EXPECT_EQ(s.track(), 0) << h;
        s.set_range(100, 10);
        EXPECT_EQ(s.get_offset(100, 10), 0) << h;
        s.set_offset(90, 45);
        EXPECT_FLOAT_EQ(s.position, 0.0f) << h;
    }
    scrollbar v = make_bar();
    v.set_range(100, -4);   // a view too small for one row
    v.position = 190;
    EXPECT_EQ(v.get_offset(100, 0), 100);
}

TEST(scrollbar_wheel, moves_by_step_and_clamps_only_when_scrollable)
{
    scrollbar s = make_bar();
    s.handle_event(EVENT_WHEEL, 5);
    EXPECT_FLOAT_EQ(s.position, 0.0f);
    s.set_range(100, 10);
    s.wheel_step = 3;
    const float table[][2] = {{5, 15}, {-100, 0}, {1000, 171}};   // {wheel, position}
    for (const auto &t : table) {
        s.handle_event(EVENT_WHEEL, (int)t[0]);
        EXPECT_FLOAT_EQ(s.position, t[1]) << t[0];
    }
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
        input.mouse_x = px; input.mouse_y = py; input.mouse_b = buttons;
        manager.update();
    }
};

TEST_F(scrollbar_mouse, dragging_the_thumb_follows_the_pointer_and_clamps)
{
    bar.position = 20;   // thumb spans y 130..149
    pass(505, 135, 1);
    const struct { int x, y; float position; } drag[] = {
        {505, 175, 60}, {505, 100, 0}, {505, 600, 171}, {600, 200, 85}};
    for (const auto &d : drag) {
        pass(d.x, d.y, 1);
        EXPECT_FLOAT_EQ(bar.position, d.position) << d.y;
    }
    pass(600, 200, 0);   // the release reaches the bar although the pointer is elsewhere
    EXPECT_TRUE(manager.active.empty());
}

TEST_F(scrollbar_mouse, holding_an_arrow_scrolls_one_pixel_a_pass_and_the_trough_does_nothing)
{
    // Two passes with the button held: the press and one more.
    const struct { float start; int press_y, held_y; float after; } table[] = {
        {3, 105, 105, 1},          // top arrow
        {0.5f, 105, 105, 0.5f},    // one more pixel would go below zero
        {170, 305, 400, 171},      // bottom arrow, held past the end: clamped
        {0, 250, 250, 0}};         // the trough captures but does not page
    for (const auto &t : table) {
        SCOPED_TRACE(t.start);
        bar.position = t.start;
        pass(505, t.press_y, 1);
        EXPECT_EQ(manager.active.size(), 1u);
        pass(505, t.held_y, 1);
        EXPECT_FLOAT_EQ(bar.position, t.after);
        pass(505, t.held_y, 0);
    }
}

TEST(scrollbar_horizontal, thumb_and_arrows_work_along_x)
{
    gui_input_state input;
    gui_set_input(&input);
    scrollbar s;
    s.vertical = false;
    s.x = 100; s.y = 50; s.w = 210; s.h = 10;
    s.set_range(1000, 500);
    s.position = 10;   // thumb spans x 120..215
    input.mouse_x = 150; input.mouse_y = 55;
    s.handle_event(EVENT_LEFT_BUTTON, 1);
    input.mouse_x = 180; input.mouse_y = 0;
    s.update();
    EXPECT_FLOAT_EQ(s.position, 40.0f);
    s.handle_event(EVENT_LEFT_BUTTON, 0);
    input.mouse_x = 305; input.mouse_y = 55;   // right arrow
    s.handle_event(EVENT_LEFT_BUTTON, 1);
    s.update();
    EXPECT_FLOAT_EQ(s.position, 41.0f);
    gui_set_input(nullptr);
}

}  // namespace
