// Dispatch order of the gui_manager: presses, hover hand-over, releases, keys, the active list.
#include <gtest/gtest.h>

#include <allegro.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gui/object.h"

namespace {

using strings = std::vector<std::string>;
strings journal;   // every event as "name:type=value"

std::string ev(const char *n, int type, int v) { return std::string(n) + ":" + std::to_string(type) + "=" + std::to_string(v); }
std::string L(const char *n, int v) { return ev(n, EVENT_LEFT_BUTTON, v); }
std::string R(const char *n, int v) { return ev(n, EVENT_RIGHT_BUTTON, v); }
std::string H(const char *n, int v) { return ev(n, EVENT_HOVER, v); }
std::string K(const char *n, int v) { return ev(n, EVENT_KEY, v); }

class probe : public object {
public:
    const char *name;
    int capture_on_press = 0, updates = 0, release_after = -1, draws = 0;
    probe(const char *n, int px, int py, int pw, int ph) : name(n) { x = px; y = py; w = pw; h = ph; }
    int handle_event(int type, int value) override
    {
        journal.push_back(ev(name, type, value));
        return type == EVENT_LEFT_BUTTON && value == 1 ? capture_on_press : 0;
    }
    int update() override { return ++updates == release_after; }
    int draw(BITMAP *) override { return ++draws, 0; }
    void attach(gui_manager *) override {}
    void show() override { visible = true; }
    void hide() override { visible = false; }
};

class dispatch : public ::testing::Test {
protected:
    gui_input_state input;
    gui_manager m;
    void SetUp() override { journal.clear(); gui_set_input(&input); }
    void TearDown() override { gui_set_input(nullptr); }
    void pass(int px, int py, int buttons)
    {
        input.mouse_x = px; input.mouse_y = py; input.mouse_b = buttons;
        m.update();
    }
};

TEST_F(dispatch, border_points_are_outside)
{
    probe a("a", 10, 20, 30, 40);
    m.add(&a);
    const struct { int x, y; bool inside; } points[] = {
        {11, 21, true}, {39, 59, true}, {10, 30, false}, {40, 30, false}, {20, 20, false}, {20, 60, false}};
    for (const auto &p : points) {
        SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
        journal.clear();
        pass(p.x, p.y, 1);
        EXPECT_EQ(std::count(journal.begin(), journal.end(), L("a", 1)), p.inside ? 1 : 0);
        pass(p.x, p.y, 0);
    }
}

TEST_F(dispatch, overlapping_widgets_top_gets_press_wheel_key_and_enter_both_get_release)
{
    probe low("low", 0, 0, 100, 100), high("high", 50, 50, 100, 100);
    m.add(&low);
    m.add(&high);
    input.mouse_z = -2;
    input.push_key('a');
    pass(60, 60, 1 | 2);
    EXPECT_EQ(journal, (strings{L("high", 1), R("high", 1), ev("high", EVENT_WHEEL, 2), H("high", 1), K("high", 'a')}));
    journal.clear();
    pass(60, 60, 0);
    EXPECT_EQ(journal, (strings{R("high", 0), L("high", 0), R("low", 0), L("low", 0)}));
    journal.clear();
    pass(60, 60, 0);   // the covered widget never counts as hovered
    EXPECT_TRUE(journal.empty());
}

TEST_F(dispatch, press_on_background_reaches_nobody_release_reaches_every_visible_widget)
{
    m.update();   // empty manager: nothing to do
    probe a("a", 0, 0, 10, 10), b("b", 20, 0, 10, 10), hidden("hidden", 40, 0, 10, 10);
    hidden.visible = false;
    m.add(&a);
    m.add(&b);
    m.add(&hidden);
    input.push_key('x');
    pass(200, 200, 1);
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(input.key_count, 0);   // the key was read and dropped
    pass(200, 200, 0);
    EXPECT_EQ(journal, (strings{L("b", 0), L("a", 0)}));
    m.draw_all(nullptr);
    EXPECT_EQ(a.draws + b.draws + hidden.draws, 2);
}

TEST_F(dispatch, hover_hands_over_between_overlapping_widgets_in_one_pass)
{
    probe low("low", 0, 0, 100, 100), high("high", 50, 50, 100, 100);
    m.add(&low);
    m.add(&high);
    const struct { int x, y; strings expected; } steps[] = {
        {10, 10, {H("low", 1)}},
        {60, 60, {H("high", 1), H("low", 0)}},
        {10, 10, {H("high", 0), H("low", 1)}},
        {500, 500, {H("low", 0)}}};
    for (const auto &s : steps) {
        SCOPED_TRACE(s.x);
        journal.clear();
        pass(s.x, s.y, 0);
        EXPECT_EQ(journal, s.expected);
    }
}

TEST_F(dispatch, one_key_per_pass_and_keys_follow_the_pointer)
{
    probe a("a", 0, 0, 50, 50), b("b", 100, 0, 50, 50);
    m.add(&a);
    m.add(&b);
    input.push_key(0x5400);
    input.push_key(0x5500);
    input.push_key('q');
    pass(10, 10, 0);
    journal.clear();
    pass(110, 10, 0);
    pass(10, 10, 0);
    EXPECT_EQ(journal, (strings{H("b", 1), H("a", 0), K("b", 0x5500), H("b", 0), H("a", 1), K("a", 'q')}));
}

TEST_F(dispatch, active_list_runs_updates_until_released_and_drops_widgets_hidden_while_captured)
{
    probe a("a", 0, 0, 50, 50), b("b", 100, 0, 50, 50);
    a.capture_on_press = b.capture_on_press = 1;
    a.release_after = 3;
    m.add(&a);
    m.add(&b);
    pass(10, 10, 1);
    EXPECT_EQ(a.updates, 1);   // the capture's first update runs in the same pass
    pass(110, 10, 0);
    pass(110, 10, 1);          // a's third update ends its capture; b captures
    EXPECT_EQ(a.updates, 3);
    EXPECT_EQ(m.active, (std::vector<object *>{&b}));
    b.hide();
    pass(110, 10, 1);
    EXPECT_TRUE(m.active.empty());
    EXPECT_EQ(b.updates, 1);   // no further update
}

TEST(input_seam, scripted_keys_queue_in_order_and_scancodes_are_range_checked)
{
    gui_input_state input;
    gui_set_input(&input);
    EXPECT_EQ(input_readkey(), 0);
    for (int i = 0; i < 70; i++)
        input.push_key(i + 1);
    EXPECT_EQ(input.key_count, 64);
    EXPECT_EQ(input_readkey(), 1);
    EXPECT_FALSE(input_key_down(-1));
    EXPECT_FALSE(input_key_down(100000));
    gui_set_input(nullptr);
}

}  // namespace
