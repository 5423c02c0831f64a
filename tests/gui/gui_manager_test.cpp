// Dispatch order of the gui_manager: presses, hover hand-over, releases, keys, the active list.
#include <gtest/gtest.h>

#include <allegro.h>

#include <string>
#include <vector>

#include "gui/object.h"

namespace {

// Records every event as "name:type=value"; can be told to capture.
std::vector<std::string> journal;

class probe : public object {
public:
    const char *name;
    int capture_on_press = 0;     // handle_event result for a left press
    int capture_on_leave = 0;     // result for EVENT_HOVER 0
    int updates = 0;
    int release_after = -1;       // update() returns 1 once updates reaches this
    int attached = 0;

    probe(const char *n, int px, int py, int pw, int ph) : name(n)
    {
        x = px; y = py; w = pw; h = ph;
    }
    int handle_event(int type, int value) override
    {
        journal.push_back(std::string(name) + ":" + std::to_string(type) + "=" + std::to_string(value));
        if (type == EVENT_LEFT_BUTTON && value == 1)
            return capture_on_press;
        if (type == EVENT_HOVER && value == 0)
            return capture_on_leave;
        return 0;
    }
    int update() override
    {
        updates++;
        journal.push_back(std::string(name) + ":update");
        return updates == release_after ? 1 : 0;
    }
    int draw(BITMAP *) override { return 0; }
    void attach(gui_manager *) override { attached++; }
    void show() override { visible = true; }
    void hide() override { visible = false; }
};

std::string L(const char *n, int v) { return std::string(n) + ":0=" + std::to_string(v); }
std::string R(const char *n, int v) { return std::string(n) + ":1=" + std::to_string(v); }
std::string W(const char *n, int v) { return std::string(n) + ":2=" + std::to_string(v); }
std::string H(const char *n, int v) { return std::string(n) + ":3=" + std::to_string(v); }
std::string K(const char *n, int v) { return std::string(n) + ":4=" + std::to_string(v); }

class dispatch : public ::testing::Test {
protected:
    gui_input_state input;
    void SetUp() override
    {
        journal.clear();
        gui_set_input(&input);
    }
    void TearDown() override { gui_set_input(nullptr); }
    void move(int px, int py) { input.mouse_x = px; input.mouse_y = py; }
};

using strings = std::vector<std::string>;

TEST_F(dispatch, contains_excludes_every_border_line)
{
    probe p("p", 10, 20, 30, 40);
    EXPECT_TRUE(contains(&p, 11, 21));
    EXPECT_TRUE(contains(&p, 39, 59));
    EXPECT_FALSE(contains(&p, 10, 30));
    EXPECT_FALSE(contains(&p, 40, 30));
    EXPECT_FALSE(contains(&p, 20, 20));
    EXPECT_FALSE(contains(&p, 20, 60));
    probe empty("e", 10, 10, 1, 1);
    EXPECT_FALSE(contains(&empty, 10, 10));
    EXPECT_FALSE(contains(&empty, 11, 11));
}

TEST_F(dispatch, add_attaches_then_hands_out_the_theme_only_afterwards)
{
    input.mouse_z = 7;
    gui_manager m;
    EXPECT_EQ(m.last_z, 7);
    EXPECT_EQ(m.theme, -1);
    probe a("a", 0, 0, 10, 10), b("b", 0, 0, 10, 10);
    m.add(&a);
    m.set_theme(42);
    m.add(&b);
    m.add(&b);   // no duplicate check
    EXPECT_EQ(a.theme, -1);
    EXPECT_EQ(b.theme, 42);
    EXPECT_EQ(a.attached, 1);
    EXPECT_EQ(b.attached, 2);
    ASSERT_EQ(m.objects.size(), 3u);
    EXPECT_EQ(m.hover, (std::vector<int>{0, 0, 0}));
}

TEST_F(dispatch, overlapping_widgets_top_gets_press_wheel_key_and_enter_both_get_release)
{
    gui_manager m;
    probe low("low", 0, 0, 100, 100), high("high", 50, 50, 100, 100);
    m.add(&low);
    m.add(&high);
    move(60, 60);
    input.mouse_b = 1 | 2;
    input.mouse_z = -2;
    input.push_key('a');
    m.update();
    EXPECT_EQ(journal, (strings{L("high", 1), R("high", 1), W("high", 2), H("high", 1), K("high", 'a')}));
    journal.clear();
    input.mouse_b = 0;
    m.update();
    EXPECT_EQ(journal, (strings{R("high", 0), L("high", 0), R("low", 0), L("low", 0)}));
    // The covered widget never counts as hovered while the pointer stays there.
    journal.clear();
    m.update();
    m.update();
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(m.hover, (std::vector<int>{0, 1}));
}

TEST_F(dispatch, press_on_background_reaches_nobody_release_reaches_every_visible_widget)
{
    gui_manager m;
    probe a("a", 0, 0, 10, 10), b("b", 20, 0, 10, 10), hidden("hidden", 40, 0, 10, 10);
    hidden.visible = false;
    m.add(&a);
    m.add(&b);
    m.add(&hidden);
    move(200, 200);
    input.mouse_b = 1;
    input.push_key('x');
    m.update();
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(input.key_count, 0);   // the key was read and dropped
    input.mouse_b = 0;
    m.update();
    EXPECT_EQ(journal, (strings{L("b", 0), L("a", 0)}));
}

TEST_F(dispatch, hover_hands_over_from_lower_to_higher_in_one_pass)
{
    gui_manager m;
    probe low("low", 0, 0, 100, 100), high("high", 50, 50, 100, 100);
    m.add(&low);
    m.add(&high);
    move(10, 10);
    m.update();
    EXPECT_EQ(journal, (strings{H("low", 1)}));
    journal.clear();
    move(60, 60);
    m.update();
    EXPECT_EQ(journal, (strings{H("high", 1), H("low", 0)}));
    journal.clear();
    move(10, 10);
    m.update();
    EXPECT_EQ(journal, (strings{H("high", 0), H("low", 1)}));
    journal.clear();
    move(500, 500);
    m.update();
    EXPECT_EQ(journal, (strings{H("low", 0)}));
}

TEST_F(dispatch, hand_over_reaches_hidden_widgets_and_can_capture_them)
{
    gui_manager m;
    probe low("low", 0, 0, 100, 100), high("high", 50, 50, 100, 100);
    low.capture_on_leave = 1;
    m.add(&low);
    m.add(&high);
    move(10, 10);
    m.update();
    high.visible = false;
    move(60, 60);
    m.update();   // pointer still inside low only
    journal.clear();
    high.visible = true;
    low.visible = false;
    m.update();
    EXPECT_EQ(journal, (strings{H("high", 1), H("low", 0)}));
    // low was appended at once but is hidden, so the active pass drops it.
    EXPECT_TRUE(m.active.empty());
    EXPECT_EQ(low.updates, 0);
}

TEST_F(dispatch, hidden_widget_keeps_its_hover_mark_until_seen_outside)
{
    gui_manager m;
    probe a("a", 0, 0, 100, 100);
    m.add(&a);
    move(10, 10);
    m.update();
    a.visible = false;
    move(500, 500);
    m.update();
    EXPECT_EQ(m.hover[0], 1);
    a.visible = true;
    journal.clear();
    m.update();
    EXPECT_EQ(journal, (strings{H("a", 0)}));
    EXPECT_EQ(m.hover[0], 0);
}

TEST_F(dispatch, border_points_are_outside)
{
    gui_manager m;
    probe a("a", 10, 10, 20, 20);
    m.add(&a);
    input.mouse_b = 1;
    for (int i = 0; i < 4; i++) {
        static const int pts[4][2] = {{10, 15}, {30, 15}, {15, 10}, {15, 30}};
        move(pts[i][0], pts[i][1]);
        input.mouse_b ^= 1;
        m.update();
    }
    for (const std::string &e : journal)
        EXPECT_NE(e, L("a", 1)) << "a press on a border line reached the widget";
}

TEST_F(dispatch, one_key_per_pass_and_keys_follow_the_pointer)
{
    gui_manager m;
    probe a("a", 0, 0, 50, 50), b("b", 100, 0, 50, 50);
    m.add(&a);
    m.add(&b);
    move(10, 10);
    input.push_key(0x5400);
    input.push_key(0x5500);
    input.push_key('q');
    m.update();
    journal.clear();   // drops the entered event
    move(110, 10);
    m.update();
    move(10, 10);
    m.update();
    EXPECT_EQ(journal, (strings{H("b", 1), H("a", 0), K("b", 0x5500), H("b", 0), H("a", 1), K("a", 'q')}));
}

TEST_F(dispatch, press_and_release_between_passes_are_never_seen_together)
{
    gui_manager m;
    probe a("a", 0, 0, 50, 50);
    m.add(&a);
    move(10, 10);
    m.update();
    journal.clear();
    input.mouse_b = 1;
    m.update();
    input.mouse_b = 0;
    m.update();
    EXPECT_EQ(journal, (strings{L("a", 1), L("a", 0)}));
    // A click entirely between two passes is lost.
    journal.clear();
    input.mouse_b = 1;
    input.mouse_b = 0;
    m.update();
    EXPECT_TRUE(journal.empty());
}

TEST_F(dispatch, active_list_runs_updates_until_released_and_drops_hidden_widgets)
{
    gui_manager m;
    probe a("a", 0, 0, 50, 50), b("b", 100, 0, 50, 50);
    a.capture_on_press = 1;
    a.release_after = 3;
    b.capture_on_press = 1;
    m.add(&a);
    m.add(&b);
    move(10, 10);
    input.mouse_b = 1;
    m.update();
    ASSERT_EQ(m.active.size(), 1u);
    EXPECT_EQ(a.updates, 1);   // the capture's first update runs in the same pass
    input.mouse_b = 0;
    move(110, 10);
    m.update();
    input.mouse_b = 1;
    m.update();   // a's third update ends its capture; b captures
    EXPECT_EQ(a.updates, 3);
    ASSERT_EQ(m.active.size(), 1u);
    EXPECT_EQ(m.active[0], &b);
    b.hide();
    m.update();
    EXPECT_TRUE(m.active.empty());
    EXPECT_EQ(b.updates, 1);   // hidden while captured: no update at the next pass
    m.update();
    EXPECT_EQ(a.updates, 3);
}

TEST_F(dispatch, release_result_can_capture_and_widget_can_be_listed_twice)
{
    gui_manager m;
    probe a("a", 0, 0, 50, 50);
    a.capture_on_press = 1;
    m.add(&a);
    move(10, 10);
    input.mouse_b = 1;
    m.update();
    input.mouse_b = 0;
    m.update();
    input.mouse_b = 1;
    m.update();
    EXPECT_EQ(m.active.size(), 2u);
    EXPECT_EQ(a.updates, 1 + 1 + 2);
}

TEST_F(dispatch, empty_manager_passes_and_draws_without_effect)
{
    gui_manager m;
    input.mouse_b = 3;
    input.mouse_z = 5;
    input.push_key('k');
    m.update();
    m.draw_all(nullptr);
    EXPECT_TRUE(m.left_down);
    EXPECT_TRUE(m.right_down);
    EXPECT_EQ(m.last_z, 5);
    EXPECT_EQ(input.key_count, 0);
}

TEST(input_seam, scripted_keys_queue_in_order_and_scancodes_are_range_checked)
{
    gui_input_state input;
    gui_set_input(&input);
    EXPECT_FALSE(input_keypressed());
    EXPECT_EQ(input_readkey(), 0);
    for (int i = 0; i < 70; i++)
        input.push_key(i + 1);
    EXPECT_EQ(input.key_count, 64);
    EXPECT_EQ(input_readkey(), 1);
    EXPECT_EQ(input_readkey(), 2);
    input.key_down[KEY_LCONTROL] = true;
    EXPECT_TRUE(input_key_down(KEY_LCONTROL));
    EXPECT_FALSE(input_key_down(-1));
    EXPECT_FALSE(input_key_down(100000));
    gui_set_input(nullptr);
}

}  // namespace
