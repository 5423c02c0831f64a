// Text box line splitting and scrolling arithmetic, and the search box's
// typing, Enter, find_first/find_next and not-found state.
#include <gtest/gtest.h>

#include <allegro.h>
#include <string.h>

#include <string>
#include <vector>

#include "gui/object.h"
#include "gui/textbox.h"

namespace {

void place(textbox &box, int w, int h) { box.x = 0; box.y = 0; box.w = w; box.h = h; box.layout(); }

void set_text(textbox &box, const char *text) { box.text = text; box.length = (int)strlen(text); box.rebuild_lines(); }

TEST(textbox_lines, split_at_line_feeds_up_to_the_length)
{
    textbox box;
    place(box, 300, 200);
    const struct { const char *text; std::vector<std::string> lines; } table[] = {
        {"A\n\nB", {"A", "", "B"}}, {"A\n", {"A"}}, {"\n", {""}}, {"", {}}};
    for (const auto &t : table) {
        set_text(box, t.text);
        EXPECT_EQ(std::vector<std::string>(box.lines.begin(), box.lines.end()), t.lines) << t.text;
    }
    set_text(box, "short\nmuch longer line\nmid");
    EXPECT_EQ(box.widest, text_length(font, "much longer line"));
    box.length = 8;   // "short\nmu"
    box.rebuild_lines();
    ASSERT_EQ(box.lines.size(), 2u);
    EXPECT_STREQ(box.lines[1], "mu");
    box.text = nullptr;   // with a length
    box.rebuild_lines();
    EXPECT_TRUE(box.lines.empty());
}

TEST(textbox_scrolling, shows_the_last_lines_and_the_right_end_of_a_wide_last_line)
{
    textbox box;
    place(box, 200, 7 * text_height(font) + 10);   // room for seven rows
    EXPECT_EQ(box.vscroll.x, box.w - 10);
    EXPECT_EQ(box.hscroll.y, box.h - 10);
    set_text(box, "0\n1\n2\n3\n4\n5\n6\n7\n8\n9");
    EXPECT_EQ(box.vscroll.get_offset(10, 7), 3);

    place(box, 100, 100);
    std::string wide(25, 'W'), text = "top\n" + wide;
    set_text(box, text.c_str());
    EXPECT_EQ(box.hscroll.get_offset(box.widest, box.w - 10), box.widest - 90);
    text = wide + "\ntop";   // a wide line that is not the last: view at the left
    set_text(box, text.c_str());
    EXPECT_EQ(box.hscroll.get_offset(box.widest, box.w - 10), 0);
}

TEST(textbox_scrolling, horizontal_offsets_skip_whole_characters)
{
    const int CW = text_length(font, "A");   // the fonts are monospaced
    const int table[][2] = {{0, 0}, {-5, 0}, {1, 1}, {CW, 1}, {CW + 1, 2}, {100 * CW, 8}};
    for (const auto &t : table)
        EXPECT_EQ(textbox::first_shown_char("ABCDEFGH", t[0]), t[1]) << t[0];
    EXPECT_EQ(textbox::first_shown_char("", 10), 0);
}

TEST(textbox_events, wheel_scrolls_lines_only_over_the_text_and_both_bars_follow_hide)
{
    gui_input_state input;
    gui_set_input(&input);
    textbox box;
    place(box, 200, 7 * text_height(font) + 10);
    set_text(box, "0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13");
    float end = box.vscroll.position;
    const int table[][2] = {{50, 20}, {50, box.h - 10}, {box.w - 10, 20}};   // text, both bar strips
    for (const auto &p : table) {
        input.mouse_x = p[0];
        input.mouse_y = p[1];
        box.handle_event(EVENT_WHEEL, -2);
    }
    EXPECT_EQ(box.vscroll.position, end - 6.0f);   // 3 pixels a unit, once
    box.hide();
    EXPECT_FALSE(box.vscroll.visible || box.hscroll.visible);
    gui_set_input(nullptr);
}

int last_found = -2;
void record_search(int index) { last_found = index; }
int enter(searchbox &box) { box.handle_event(EVENT_KEY, SEARCHBOX_KEY_ENTER); return last_found; }

void type(searchbox &box, const char *text)
{
    for (const char *c = text; *c; c++)
        box.handle_event(EVENT_KEY, (KEY_A << 8) | (unsigned char)*c);
}

TEST(searchbox_search, enter_walks_through_the_matches_without_wrapping)
{
    const char *const items[] = {"ROBOT", "BOX"};
    searchbox box;
    box.items = items; box.count = 2;
    box.on_search = record_search;
    type(box, "bo");
    EXPECT_STREQ(box.query, "BO");   // typing stores upper case
    EXPECT_EQ(enter(box), 0);
    EXPECT_EQ(enter(box), 1);
    EXPECT_EQ(enter(box), -1);
    EXPECT_TRUE(box.not_found);
    box.handle_event(EVENT_KEY, SEARCHBOX_KEY_BACKSPACE);
    EXPECT_FALSE(box.not_found);
    type(box, "O");
    EXPECT_EQ(enter(box), 0);   // edited: from the top again

    searchbox empty;   // nothing to search, and no callback
    type(empty, "X");
    empty.handle_event(EVENT_KEY, SEARCHBOX_KEY_ENTER);
    EXPECT_TRUE(empty.not_found);
}

TEST(searchbox_search, find_skips_empty_and_null_items_and_is_case_sensitive)
{
    const char *const items[] = {"", "alpha", "BETA", nullptr, "ALPHABET", "ALPHA"};
    searchbox box;
    box.items = items; box.count = 6;
    auto query = [&box](const char *q) {   // matching compares query_length characters
        strcpy(box.query, q);
        box.query_length = (int)strlen(q);
        return box.query;
    };
    EXPECT_EQ(box.find_first(query("ALPHA")), 4);
    EXPECT_EQ(box.find_next(box.query), 5);
    EXPECT_EQ(box.find_next(box.query), -1);
    EXPECT_EQ(box.find_first(query("")), 1);
    EXPECT_EQ(box.find_next(box.query), 2);
    EXPECT_EQ(box.find_next(box.query), 4);
    box.next_index = 3;
    EXPECT_EQ(box.find_next(query("BET")), 4);   // a match at the very end
}

TEST(searchbox_typing, query_is_bounded_and_backspace_works_when_full_or_empty)
{
    searchbox box;
    box.handle_event(EVENT_KEY, SEARCHBOX_KEY_BACKSPACE);   // empty: nothing happens
    EXPECT_EQ(box.query_length, 0);
    for (int i = 0; i < 200; i++)
        type(box, "q");
    EXPECT_EQ(strlen(box.query), (size_t)(SEARCHBOX_QUERY_SIZE - 1));
    box.handle_event(EVENT_KEY, SEARCHBOX_KEY_BACKSPACE);   // still works when full
    EXPECT_EQ(box.query_length, SEARCHBOX_QUERY_SIZE - 2);
}

}  // namespace
