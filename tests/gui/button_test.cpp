// Button and check box state machines.
#include "gui/button.h"
#include "gui_fixture.h"

static int presses, clicks, selects;

TEST_F(gui_fixture, button_clicks_on_release_over_it_check_boxes_react_strictly_inside_and_radios_report_changes)
{
    button b;
    b.x = 100; b.y = 100; b.w = 60; b.h = 20;
    b.on_press = [] { presses++; };
    b.on_click = [] { clicks++; };
    manager.add(&b);
    // {x, buttons, presses, clicks} after each pass at y = x / 2 + 50; 120 is on the button, 300 off it.
    const int steps[][4] = {{120, 1, 1, 0}, {120, 0, 1, 1}, {120, 1, 2, 1}, {300, 1, 2, 1}, {300, 0, 2, 1},   // drag off
        {120, 1, 3, 1}, {300, 1, 3, 1}, {122, 1, 3, 1}, {122, 0, 3, 2},            // and back: armed again
        {300, 1, 3, 2}, {120, 1, 3, 2}, {120, 0, 3, 2}};   // entered held
    for (const auto &s : steps) {
        pass(s[0], s[0] / 2 + 50, s[1]);
        EXPECT_EQ(presses * 10 + clicks, s[2] * 10 + s[3]) << &s - steps;
    }

    // Check boxes: a toggle, two radio options of one group, a radio option without a group.
    int group = 0;
    checkbox c, a, o, lone;
    for (checkbox *box : {&c, &a, &o, &lone}) {
        box->x = box->y = 100; box->w = 100; box->h = 10; box->value = box == &o;
        box->flags = box == &c ? 0 : CHECKBOX_RADIO; box->group = box == &lone ? nullptr : &group;
        box->on_select = [](int *) { selects++; };
    }
    const int points[][2] = {{150, 105}, {110, 105}, {100, 105}, {105, 100}, {105, 110}, {101, 109}};
    for (const auto &p : points) {   // the label, the four borders, then just inside
        input.mouse_x = p[0]; input.mouse_y = p[1];
        for (checkbox *box : {&c, &a, &o, &lone})
            box->handle_event(EVENT_LEFT_BUTTON, 1);
    }
    // Radio mode leaves the toggle state alone; "a" was already selected; lone has nothing to write or report.
    EXPECT_EQ((std::vector<int>{c.checked, a.is_selected(), o.is_selected(), o.checked, selects}), (std::vector<int>{1, 0, 1, 0, 1}));
}
