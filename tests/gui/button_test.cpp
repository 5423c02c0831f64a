// Button and check box state machines.
#include <gtest/gtest.h>

#include "gui/button.h"

namespace {

int presses, clicks, checks, unchecks, selects;
void count_press() { presses++; }
void count_click() { clicks++; }
void count_check() { checks++; }
void count_uncheck() { unchecks++; }
void count_select(int *) { selects++; }

class widgets : public ::testing::Test {
protected:
    gui_input_state input;
    gui_manager manager;
    button b;
    void SetUp() override
    {
        presses = clicks = checks = unchecks = selects = 0;
        gui_set_input(&input);
        b.x = 100; b.y = 100; b.w = 60; b.h = 20;
        b.on_press = count_press;
        b.on_click = count_click;
    }
    void TearDown() override { gui_set_input(nullptr); }
    void pass(int px, int py, int buttons)
    {
        input.mouse_x = px; input.mouse_y = py; input.mouse_b = buttons;
        manager.update();
    }
    void press_at(checkbox &c, int px, int py)
    {
        input.mouse_x = px; input.mouse_y = py;
        c.handle_event(EVENT_LEFT_BUTTON, 1);
    }
};

TEST_F(widgets, button_clicks_on_release_over_it_and_drag_off_cancels)
{
    manager.add(&b);
    pass(120, 110, 1);
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(clicks, 0);
    pass(120, 110, 0);
    EXPECT_EQ(clicks, 1);
    pass(120, 110, 1);
    pass(300, 300, 1);   // dragged off
    EXPECT_FALSE(b.pressed);
    pass(300, 300, 0);
    EXPECT_EQ(clicks, 1);
    pass(120, 110, 1);
    pass(300, 300, 1);
    pass(121, 111, 1);   // and back: armed again
    pass(121, 111, 0);
    EXPECT_EQ(clicks, 2);
    pass(300, 300, 1);
    pass(120, 110, 1);   // entered with the button down, never pressed on it
    pass(120, 110, 0);
    EXPECT_EQ(presses, 3);
    EXPECT_EQ(clicks, 2);
    EXPECT_TRUE(manager.active.empty());   // a button never captures

    button bare;   // no callbacks at all
    bare.x = 0; bare.y = 0; bare.w = 10; bare.h = 10;
    manager.add(&bare);
    pass(5, 5, 1);
    pass(5, 5, 0);
}

TEST_F(widgets, checkbox_reacts_only_strictly_inside_its_square)
{
    checkbox c;
    c.x = 100; c.y = 100; c.w = 100; c.h = 10;
    c.on_check = count_check;
    c.on_uncheck = count_uncheck;
    const int outside[][2] = {{150, 105}, {110, 105}, {105, 100}};   // label, right and top border
    for (const auto &p : outside)
        press_at(c, p[0], p[1]);
    EXPECT_FALSE(c.checked);
    press_at(c, 105, 105);
    press_at(c, 109, 109);
    EXPECT_FALSE(c.checked);
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(unchecks, 1);
    c.on_check = nullptr;   // only on_uncheck: it hears every click
    press_at(c, 105, 105);
    press_at(c, 105, 105);
    EXPECT_EQ(unchecks, 3);
}

TEST_F(widgets, radio_options_share_a_group_and_report_only_changes)
{
    int group = 0;
    checkbox a, o, lone;
    for (checkbox *c : {&a, &o, &lone}) {
        c->x = 100; c->y = 100; c->w = 100; c->h = 10;
        c->flags = CHECKBOX_RADIO;
        c->on_select = count_select;
    }
    a.value = 0;
    o.value = 1;
    a.group = o.group = &group;
    press_at(a, 105, 105);   // already selected
    EXPECT_EQ(selects, 0);
    press_at(o, 105, 105);
    EXPECT_EQ(group, 1);
    EXPECT_EQ(selects, 1);
    EXPECT_FALSE(a.is_selected());
    EXPECT_FALSE(o.checked);   // radio mode leaves the toggle state alone
    press_at(lone, 105, 105);  // null group: nothing to write or report
    EXPECT_EQ(selects, 1);
}

}  // namespace
