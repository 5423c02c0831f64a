// Scroll bar arithmetic and its clamping, wheel, thumb dragging and arrow repeat.
#include "gui/scrollbar.h"
#include "gui_fixture.h"

TEST_F(gui_fixture, scroll_bar_offsets_wheel_drag_and_arrows_are_clamped_and_never_divide_by_zero)
{
    // A vertical bar 10 wide and 210 high: arrows 10 each, track 190; a hundred
    // items with ten visible give a thumb of 19 and room for 171 pixels of travel.
    scrollbar bar;
    bar.x = 500; bar.y = 100; bar.w = 10; bar.h = 210;
    manager.add(&bar);
    bar.set_range(100, 10);
    // {position, offset it gives, max offset, offset set, position it gives}
    const float table[][5] = {{0, 0, 90, 45, 85.5f}, {85.5f, 45, 90, 500, 171}, {171, 90, 90, -5, 0}, {400, 90, 0, 5, 0}};
    for (const auto &t : table) {
        bar.position = t[0];
        EXPECT_EQ(bar.get_offset(100, 10), t[1]) << t[0];
        bar.set_offset((int)t[2], (int)t[3]);
        EXPECT_FLOAT_EQ(bar.position, t[4]) << t[3];
    }
    bar.position = 171;
    bar.set_range(100, 50);   // a bigger thumb pulls the position back into the track
    EXPECT_FLOAT_EQ(bar.position, 95.0f);
    bar.set_range(100, -4);   // a view too small for one row: an empty thumb
    EXPECT_EQ(bar.thumb_size, 0.0f);
    bar.set_range(100, 10);
    bar.wheel_step = 3;
    for (int wheel : {5, 1000, -100, 2})   // 15, clamped to 171, clamped to 0, 6
        bar.handle_event(EVENT_WHEEL, wheel);
    EXPECT_FLOAT_EQ(bar.position, 6);
    // {start, press y, held x, held y, position after}; the thumb spans y 130..149 at position 20.
    const float drags[][5] = {{20, 135, 505, 175, 60}, {20, 135, 505, 100, 0}, {20, 135, 600, 600, 171},
        {3, 105, 505, 105, 1},       // the top arrow: a pixel a pass
        {0.5f, 105, 505, 105, 0.5f}, // one more would go below zero
        {170, 305, 505, 400, 171},   // the bottom arrow, held past the end
        {0, 250, 505, 250, 0}};      // the trough captures but does not page
    for (const auto &t : drags) {
        bar.position = t[0];
        pass(505, (int)t[1], 1);
        pass((int)t[2], (int)t[3], 1);
        EXPECT_FLOAT_EQ(bar.position, t[4]) << &t - drags;
        pass(600, 0, 0);   // the release reaches the bar wherever the pointer is
    }
    for (int h : {20, 5}) {   // arrows only; shorter than its two arrows
        bar.h = h;
        bar.set_range(100, 10);
        bar.set_offset(90, 45);
        EXPECT_EQ(bar.get_offset(100, 10) + bar.position + bar.track(), 0) << h;
    }
}
