// Button and check box state machines, image regions.
#include <gtest/gtest.h>

#include "gui/button.h"

namespace {

int presses, clicks, checks, unchecks, selects;
int *selected_group;
void count_press() { presses++; }
void count_click() { clicks++; }
void count_check() { checks++; }
void count_uncheck() { unchecks++; }
void count_select(int *group) { selects++; selected_group = group; }

class widgets : public ::testing::Test {
protected:
    gui_input_state input;
    gui_manager manager;
    void SetUp() override
    {
        presses = clicks = checks = unchecks = selects = 0;
        selected_group = nullptr;
        gui_set_input(&input);
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

button make_button()
{
    button b;
    b.x = 100; b.y = 100; b.w = 60; b.h = 20;
    b.on_press = count_press;
    b.on_click = count_click;
    return b;
}

TEST_F(widgets, button_click_is_press_and_release_over_it)
{
    button b = make_button();
    manager.add(&b);
    pass(120, 110, 0);
    EXPECT_TRUE(b.hovered);
    pass(120, 110, 1);
    EXPECT_TRUE(b.pressed && b.held);
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(clicks, 0);
    pass(120, 110, 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(b.pressed || b.held);
    EXPECT_TRUE(manager.active.empty());   // a button never captures
}

TEST_F(widgets, button_drag_off_cancels_and_drag_back_rearms)
{
    button b = make_button();
    manager.add(&b);
    pass(120, 110, 0);
    pass(120, 110, 1);
    pass(300, 300, 1);
    EXPECT_FALSE(b.pressed);
    EXPECT_TRUE(b.held);
    EXPECT_FALSE(b.hovered);
    pass(300, 300, 0);
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(clicks, 0);
    EXPECT_FALSE(b.held);

    pass(120, 110, 1);
    pass(300, 300, 1);
    pass(121, 111, 1);
    EXPECT_TRUE(b.pressed);
    pass(121, 111, 0);
    EXPECT_EQ(presses, 2);
    EXPECT_EQ(clicks, 1);
}

TEST_F(widgets, button_release_after_a_press_elsewhere_does_not_click)
{
    button b = make_button();
    manager.add(&b);
    pass(300, 300, 1);
    pass(120, 110, 1);   // enters while the button is down, but was never pressed on it
    EXPECT_FALSE(b.pressed);
    pass(120, 110, 0);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(presses, 0);
}

TEST_F(widgets, button_with_null_callbacks_works)
{
    button b;
    b.x = 0; b.y = 0; b.w = 10; b.h = 10;
    manager.add(&b);
    pass(5, 5, 1);
    pass(5, 5, 0);
    EXPECT_FALSE(b.pressed);
}

checkbox make_box()
{
    checkbox c;
    c.x = 100; c.y = 100; c.w = 100; c.h = 10;
    return c;
}

TEST_F(widgets, checkbox_reacts_only_strictly_inside_its_square)
{
    checkbox c = make_box();
    c.on_check = count_check;
    c.on_uncheck = count_uncheck;
    manager.add(&c);
    EXPECT_TRUE(c.visible);
    pass(150, 105, 1);   // on the label
    pass(150, 105, 0);
    EXPECT_FALSE(c.checked);
    pass(110, 105, 1);   // right border line of the square
    pass(110, 105, 0);
    pass(105, 100, 1);   // top border line
    pass(105, 100, 0);
    EXPECT_FALSE(c.checked);
    pass(105, 105, 1);
    EXPECT_TRUE(c.checked);
    EXPECT_EQ(checks, 1);
    pass(105, 105, 0);
    pass(109, 109, 1);
    EXPECT_FALSE(c.checked);
    EXPECT_EQ(unchecks, 1);
    EXPECT_EQ(checks, 1);
}

TEST_F(widgets, toggle_with_only_on_uncheck_hears_every_click)
{
    checkbox c = make_box();
    c.on_uncheck = count_uncheck;
    for (int i = 0; i < 3; i++) {
        input.mouse_x = 105;
        input.mouse_y = 105;
        c.handle_event(EVENT_LEFT_BUTTON, 1);
    }
    EXPECT_EQ(unchecks, 3);
    EXPECT_TRUE(c.checked);
    EXPECT_EQ(c.handle_event(EVENT_LEFT_BUTTON, 0), 0);
    EXPECT_TRUE(c.checked);
}

TEST_F(widgets, radio_options_share_a_group_and_report_only_changes)
{
    int group = 0;
    checkbox a = make_box(), b = make_box();
    b.y = 120;
    a.flags = b.flags = CHECKBOX_RADIO;
    a.value = 0;
    b.value = 1;
    a.group = b.group = &group;
    a.on_select = b.on_select = count_select;
    EXPECT_TRUE(a.is_selected());
    EXPECT_FALSE(b.is_selected());
    input.mouse_x = 105;
    input.mouse_y = 105;
    a.handle_event(EVENT_LEFT_BUTTON, 1);   // already selected
    EXPECT_EQ(selects, 0);
    input.mouse_y = 125;
    b.handle_event(EVENT_LEFT_BUTTON, 1);
    EXPECT_EQ(group, 1);
    EXPECT_EQ(selects, 1);
    EXPECT_EQ(selected_group, &group);
    EXPECT_TRUE(b.is_selected());
    EXPECT_FALSE(a.is_selected());
    EXPECT_FALSE(b.checked);   // radio mode leaves the toggle state alone

    checkbox lone = make_box();
    lone.flags = CHECKBOX_RADIO;
    lone.on_select = count_select;
    input.mouse_y = 105;
    lone.handle_event(EVENT_LEFT_BUTTON, 1);   // null group: nothing to write or report
    EXPECT_EQ(selects, 1);
    EXPECT_FALSE(lone.is_selected());
}

TEST(image_region, set_region_turns_pixels_into_texture_coordinates)
{
    image im;
    EXPECT_EQ(im.texture, -1);
    im.texture_w = 580;
    im.texture_h = 580;
    im.set_region(0, 290, 580, 290);
    EXPECT_FLOAT_EQ(im.u, 0.0f);
    EXPECT_FLOAT_EQ(im.v, 0.5f);
    EXPECT_FLOAT_EQ(im.u_size, 1.0f);
    EXPECT_FLOAT_EQ(im.v_size, 0.5f);
    EXPECT_EQ(im.w, 580);
    EXPECT_EQ(im.h, 290);
    im.set_region(0, 0, 580, 580);
    EXPECT_FLOAT_EQ(im.v_size, 1.0f);
    EXPECT_EQ(im.h, 580);
}

}  // namespace
