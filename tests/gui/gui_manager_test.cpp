// Dispatch order of the gui_manager: presses, hover hand-over, releases, keys, the active list.
#include "gui_fixture.h"

using strings = std::vector<std::string>;
static strings journal;   // every event as "name:type=value"
static std::string ev(const char *n, int type, int v) { return std::string(n) + ":" + std::to_string(type) + "=" + std::to_string(v); }

// Logs its events, asks for capture on every press and leaves the active list at its release_after-th update.
struct probe : object {
    const char *name;
    int updates = 0, release_after = -1;
    probe(const char *n, int at) : name(n) { x = y = at; w = h = 100; }
    int handle_event(int type, int value) override { journal.push_back(ev(name, type, value)); return type == EVENT_LEFT_BUTTON && value; }
    int update() override { return ++updates == release_after; }
    int draw(BITMAP *) override { return 0; }
};

struct dispatch : gui_fixture {
    probe low{"low", 0}, high{"high", 50};
    dispatch() { journal.clear(); manager.add(&low); manager.add(&high); }
    strings after_pass(int px, int py, int b) { journal.clear(); pass(px, py, b); return journal; }
};

TEST_F(dispatch, top_widget_takes_press_wheel_enter_and_key_every_visible_one_the_release_and_hover_hands_over)
{
    // Borders are outside, and hover hands over between the two in one pass.
    const std::string low_in = ev("low", EVENT_HOVER, 1), low_out = ev("low", EVENT_HOVER, 0);
    const struct { int x, y; strings expected; } steps[] = {{0, 50, {}}, {50, 100, {}}, {1, 1, {low_in}},
        {60, 60, {ev("high", EVENT_HOVER, 1), low_out}}, {99, 99, {}},   // the covered one never counts again
        {10, 10, {ev("high", EVENT_HOVER, 0), low_in}}, {100, 50, {low_out}}};
    for (const auto &s : steps)
        EXPECT_EQ(after_pass(s.x, s.y, 0), s.expected) << s.x << "," << s.y;
    // Presses, the wheel, the entered event and keys reach the topmost widget under the pointer.
    input.mouse_z = -2;
    input.push_key('a');
    input.push_key('b');
    EXPECT_EQ(after_pass(60, 60, 3), (strings{ev("high", EVENT_LEFT_BUTTON, 1), ev("high", EVENT_RIGHT_BUTTON, 1),
        ev("high", EVENT_WHEEL, 2), ev("high", EVENT_HOVER, 1), ev("high", EVENT_KEY, 'a')}));   // one key a pass
    EXPECT_EQ(after_pass(60, 60, 0), (strings{ev("high", EVENT_KEY, 'b'), ev("high", EVENT_RIGHT_BUTTON, 0),
        ev("high", EVENT_LEFT_BUTTON, 0), ev("low", EVENT_RIGHT_BUTTON, 0), ev("low", EVENT_LEFT_BUTTON, 0)}));
    high.visible = false;
    input.push_key('c');
    EXPECT_EQ(after_pass(500, 500, 1), strings{});   // the background takes the press and the key
    EXPECT_EQ(after_pass(500, 500, 0), strings{ev("low", EVENT_LEFT_BUTTON, 0)});   // the hidden one hears nothing
    high.visible = true;
    // The active list runs updates until released and drops hidden widgets.
    low.release_after = 3;   // low has not captured yet; high was updated twice above
    pass(10, 10, 1);   // the capture's first update runs in the same pass
    pass(60, 60, 0);
    pass(60, 60, 1);   // low's third update ends its capture; high captures
    EXPECT_EQ(manager.active, (std::vector<object *>{&high}));
    high.hide();
    pass(60, 60, 1);
    EXPECT_EQ(low.updates * 10 + high.updates + manager.active.size(), 33u);   // neither updated again
}
