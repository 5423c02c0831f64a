// Text box line splitting and scrolling, and the search box's typing, Enter,
// searching and not-found state.
#include <string.h>

#include "gui/textbox.h"
#include "gui_fixture.h"

static int last_found = -2;

TEST_F(gui_fixture, textbox_splits_lines_shows_the_end_wheels_only_over_the_text_and_search_walks_the_matches)
{
    textbox box;
    box.w = 200; box.h = 7 * gui_text_height() + 10;   // room for seven rows
    box.layout();
    const struct { const char *text; int length; std::vector<std::string> lines; } table[] = {
        {"A\n\nB", 4, {"A", "", "B"}}, {"A\n", 2, {"A"}}, {"\n", 1, {""}}, {"", 0, {}}, {"short\nmuch", 8, {"short", "mu"}},
        {nullptr, 5, {}}};
    for (const auto &t : table) {
        box.text = t.text; box.length = t.length; box.rebuild_lines();
        EXPECT_EQ(std::vector<std::string>(box.lines.begin(), box.lines.end()), t.lines) << t.length;
    }
    box.text = "\n\n\n\n\n\n\n\n\n\n\n\n\nX"; box.length = 14;
    box.rebuild_lines();
    EXPECT_EQ(box.vscroll.get_offset(14, 7), 7);   // the last lines are shown
    float end = box.vscroll.position;
    const int points[][2] = {{50, 20}, {50, box.h - 10}, {box.w - 10, 20}};   // the text, then both bar strips
    for (const auto &p : points) {
        input.mouse_x = p[0]; input.mouse_y = p[1];
        box.handle_event(EVENT_WHEEL, -2);
    }
    EXPECT_EQ(box.vscroll.position, end - 6.0f);   // 3 pixels a unit, once
    box.hide();
    EXPECT_FALSE(box.vscroll.visible || box.hscroll.visible);

    // The search box; empty has nothing to search, no callback, and more typing than its query holds.
    const char *const items[] = {"", "ROBOT", nullptr, "BOX", "robot"};
    searchbox search, empty;
    search.items = items; search.count = 5;
    search.on_search = [](int index) { last_found = index; };
    // {key, found (-2 = no search)}; typing stores upper case, an edit searches from the top again.
    const int steps[][2] = {{'b', -2}, {'o', -2}, {SEARCHBOX_KEY_ENTER, 1}, {SEARCHBOX_KEY_ENTER, 3},
        {SEARCHBOX_KEY_ENTER, -1}, {SEARCHBOX_KEY_BACKSPACE, -2}, {'O', -2}, {SEARCHBOX_KEY_ENTER, 1}};
    for (const auto &s : steps) {
        last_found = -2;
        search.handle_event(EVENT_KEY, s[0]);
        EXPECT_EQ(last_found * 10 + search.not_found, s[1] * 10 + (&s == &steps[4])) << &s - steps;
    }
    for (int i = 0; i < 200; i++)
        empty.handle_event(EVENT_KEY, i < 199 ? 'q' : (int)SEARCHBOX_KEY_ENTER);
    EXPECT_EQ(strlen(empty.query) * 10 + empty.not_found, (SEARCHBOX_QUERY_SIZE - 1) * 10u + 1);
}
