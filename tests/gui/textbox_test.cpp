// Text box line splitting and scrolling arithmetic, and the search box's
// typing, Enter, find_first/find_next and not-found state.
#include <gtest/gtest.h>

#include <allegro.h>
#include <string.h>

#include <string>

#include "gui/object.h"
#include "gui/textbox.h"

namespace {

// The fonts used are monospaced; a drawing test earlier in the same process
// may have swapped in the textured font, so metrics are asked, not assumed.
int char_w()
{
    return text_length(font, "A");
}

int text_h()
{
    return text_height(font);
}

void place(textbox &box, int x, int y, int w, int h)
{
    box.x = x;
    box.y = y;
    box.w = w;
    box.h = h;
    box.layout();
}

void set_text(textbox &box, const char *text)
{
    box.text = text;
    box.length = (int)strlen(text);
    box.rebuild_lines();
}

}  // namespace

TEST(textbox_lines, split_at_line_feeds)
{
    const int CW = char_w();
    ASSERT_EQ(text_length(font, "ABCD"), 4 * CW);
    textbox box;
    place(box, 0, 0, 300, 200);

    set_text(box, "A\n\nB");
    ASSERT_EQ(box.lines.size(), 3u);
    EXPECT_STREQ(box.lines[0], "A");
    EXPECT_STREQ(box.lines[1], "");
    EXPECT_STREQ(box.lines[2], "B");

    set_text(box, "A\n");                       // no empty last line
    ASSERT_EQ(box.lines.size(), 1u);
    EXPECT_STREQ(box.lines[0], "A");

    set_text(box, "\n");
    ASSERT_EQ(box.lines.size(), 1u);
    EXPECT_STREQ(box.lines[0], "");

    set_text(box, "");
    EXPECT_TRUE(box.lines.empty());
    EXPECT_EQ(box.widest, 0);

    set_text(box, "short\nmuch longer line\nmid");
    EXPECT_EQ(box.widest, 16 * CW);
}

TEST(textbox_lines, length_limits_the_text_and_null_text_has_no_lines)
{
    textbox box;
    place(box, 0, 0, 300, 200);
    box.text = "one\ntwo\nthree";
    box.length = 6;                             // "one\ntw"
    box.rebuild_lines();
    ASSERT_EQ(box.lines.size(), 2u);
    EXPECT_STREQ(box.lines[1], "tw");

    box.text = nullptr;
    box.length = 12;
    box.rebuild_lines();
    EXPECT_TRUE(box.lines.empty());
}

TEST(textbox_scrolling, shows_the_last_lines_after_a_rebuild)
{
    textbox box;
    place(box, 10, 10, 200, 7 * text_h() + 10);        // room for seven rows
    EXPECT_EQ(box.visible_rows(), 7);
    set_text(box, "0\n1\n2\n3\n4\n5\n6\n7\n8\n9");
    ASSERT_EQ(box.lines.size(), 10u);
    EXPECT_TRUE(box.vscroll.scrollable);
    EXPECT_EQ(box.vscroll.get_offset(10, 7), 3);

    // Text that fits shows no thumb and starts at the top.
    set_text(box, "0\n1\n2");
    EXPECT_FALSE(box.vscroll.scrollable);
    EXPECT_EQ(box.vscroll.get_offset(3, 7), 0);
}

TEST(textbox_scrolling, layout_places_both_bars)
{
    textbox box;
    place(box, 10, 20, 200, 100);
    EXPECT_EQ(box.vscroll.x, 200);
    EXPECT_EQ(box.vscroll.y, 20);
    EXPECT_EQ(box.vscroll.w, 10);
    EXPECT_EQ(box.vscroll.h, 90);
    EXPECT_TRUE(box.vscroll.vertical);
    EXPECT_EQ(box.vscroll.wheel_step, 3);
    EXPECT_EQ(box.hscroll.x, 10);
    EXPECT_EQ(box.hscroll.y, 110);
    EXPECT_EQ(box.hscroll.w, 190);
    EXPECT_EQ(box.hscroll.h, 10);
    EXPECT_FALSE(box.hscroll.vertical);
    EXPECT_EQ(box.hscroll.wheel_step, 0);
}

TEST(textbox_scrolling, a_wide_last_line_is_shown_from_its_right_end)
{
    textbox box;
    place(box, 0, 0, 100, 100);
    std::string wide(25, 'W');                  // 25 characters in a 100-pixel box
    std::string text = "top\n" + wide;
    set_text(box, text.c_str());
    EXPECT_EQ(box.widest, 25 * char_w());
    EXPECT_TRUE(box.hscroll.scrollable);
    EXPECT_EQ(box.hscroll.get_offset(box.widest, box.w - 10), box.widest - 90);

    // A wide line that is not the last leaves the view at the left.
    text = wide + "\ntop";
    set_text(box, text.c_str());
    EXPECT_TRUE(box.hscroll.scrollable);
    EXPECT_EQ(box.hscroll.get_offset(box.widest, box.w - 10), 0);
}

TEST(textbox_scrolling, horizontal_offsets_skip_whole_characters)
{
    const int CW = char_w();
    const char *line = "ABCDEFGH";
    EXPECT_EQ(textbox::first_shown_char(line, 0), 0);
    EXPECT_EQ(textbox::first_shown_char(line, -5), 0);
    EXPECT_EQ(textbox::first_shown_char(line, 1), 1);    // inside A: A goes whole
    EXPECT_EQ(textbox::first_shown_char(line, CW), 1);
    EXPECT_EQ(textbox::first_shown_char(line, CW + 1), 2);
    EXPECT_EQ(textbox::first_shown_char(line, 8 * CW), 8);
    EXPECT_EQ(textbox::first_shown_char(line, 100 * CW), 8);   // scrolled away
    EXPECT_EQ(textbox::first_shown_char("", 10), 0);
}

TEST(textbox_events, wheel_scrolls_lines_only_over_the_text)
{
    gui_input_state input;
    gui_set_input(&input);
    textbox box;
    place(box, 0, 0, 200, 7 * text_h() + 10);
    set_text(box, "0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13");
    float end = box.vscroll.position;
    ASSERT_GT(end, 6.0f);

    input.mouse_x = 50;
    input.mouse_y = 20;
    EXPECT_EQ(box.handle_event(EVENT_WHEEL, -2), 0);
    EXPECT_EQ(box.vscroll.position, end - 6.0f);         // 3 pixels a unit

    input.mouse_y = box.h - 10;                           // the bottom bar's strip
    box.handle_event(EVENT_WHEEL, -1);
    input.mouse_y = 20;
    input.mouse_x = box.w - 10;                           // the right bar's strip
    box.handle_event(EVENT_WHEEL, -1);
    EXPECT_EQ(box.vscroll.position, end - 6.0f);
    gui_set_input(nullptr);
}

TEST(textbox_events, attach_show_and_hide_carry_both_bars)
{
    gui_manager manager;
    textbox box;
    place(box, 0, 0, 100, 100);
    manager.add(&box);
    ASSERT_EQ(manager.objects.size(), 3u);
    EXPECT_EQ(manager.objects[1], &box.vscroll);
    EXPECT_EQ(manager.objects[2], &box.hscroll);
    box.hide();
    EXPECT_FALSE(box.visible || box.vscroll.visible || box.hscroll.visible);
    box.show();
    EXPECT_TRUE(box.visible && box.vscroll.visible && box.hscroll.visible);
}

// ------------------------------------------------------------------ searchbox

namespace {

int last_found = -2;
int searches = 0;

void record_search(int index)
{
    last_found = index;
    searches++;
}

void type(searchbox &box, const char *text)
{
    for (const char *c = text; *c; c++)
        box.handle_event(EVENT_KEY, (KEY_A << 8) | (unsigned char)*c);
}

int enter(searchbox &box)
{
    box.handle_event(EVENT_KEY, SEARCHBOX_KEY_ENTER);
    return last_found;
}

const char *const ROBOT_BOX[] = { "ROBOT", "BOX" };

}  // namespace

TEST(searchbox_search, enter_walks_through_the_matches_without_wrapping)
{
    searchbox box;
    box.items = ROBOT_BOX;
    box.count = 2;
    box.on_search = record_search;
    searches = 0;

    type(box, "bo");
    EXPECT_STREQ(box.query, "BO");              // typing stores upper case
    EXPECT_EQ(box.query_length, 2);
    EXPECT_TRUE(box.changed);

    EXPECT_EQ(enter(box), 0);
    EXPECT_FALSE(box.changed);
    EXPECT_FALSE(box.not_found);
    EXPECT_EQ(enter(box), 1);
    EXPECT_EQ(enter(box), -1);
    EXPECT_TRUE(box.not_found);
    EXPECT_EQ(enter(box), -1);
    EXPECT_TRUE(box.not_found);
    EXPECT_EQ(searches, 4);

    box.handle_event(EVENT_KEY, SEARCHBOX_KEY_BACKSPACE);
    EXPECT_STREQ(box.query, "B");
    EXPECT_FALSE(box.not_found);
    type(box, "O");
    EXPECT_EQ(enter(box), 0);                   // edited: from the top again
}

TEST(searchbox_search, find_first_and_find_next_directly)
{
    const char *const items[] = { "", "alpha", "BETA", nullptr, "ALPHABET", "ALPHA" };
    searchbox box;
    box.items = items;
    box.count = 6;
    strcpy(box.query, "ALPHA");
    box.query_length = 5;
    EXPECT_EQ(box.find_first(box.query), 4);    // case-sensitive: "alpha" does not match
    EXPECT_EQ(box.next_index, 5);
    EXPECT_EQ(box.find_next(box.query), 5);
    EXPECT_EQ(box.find_next(box.query), -1);
    EXPECT_EQ(box.next_index, 6);               // a miss leaves next_index

    // The empty query matches the first non-empty item from next_index on.
    box.query[0] = 0;
    box.query_length = 0;
    EXPECT_EQ(box.find_first(box.query), 1);
    EXPECT_EQ(box.find_next(box.query), 2);
    EXPECT_EQ(box.find_next(box.query), 4);     // skips the null item

    // A match at the very end of an item.
    strcpy(box.query, "BET");
    box.query_length = 3;
    box.next_index = 3;
    EXPECT_EQ(box.find_next(box.query), 4);
}

TEST(searchbox_search, nothing_to_search_turns_the_field_red)
{
    searchbox box;
    box.on_search = nullptr;                    // a null callback is allowed
    type(box, "X");
    box.handle_event(EVENT_KEY, SEARCHBOX_KEY_ENTER);
    EXPECT_TRUE(box.not_found);
    EXPECT_EQ(box.find_first("X"), -1);

    box.items = ROBOT_BOX;
    box.count = 0;
    EXPECT_EQ(box.find_first(box.query), -1);
}

TEST(searchbox_typing, backspace_limit_and_keys_without_characters)
{
    searchbox box;
    box.handle_event(EVENT_KEY, SEARCHBOX_KEY_BACKSPACE);   // empty: nothing happens
    EXPECT_EQ(box.query_length, 0);
    EXPECT_FALSE(box.changed);

    for (int i = 0; i < 200; i++)
        type(box, "q");
    EXPECT_EQ(box.query_length, SEARCHBOX_QUERY_SIZE - 1);
    EXPECT_EQ(strlen(box.query), (size_t)(SEARCHBOX_QUERY_SIZE - 1));
    EXPECT_EQ(box.query[0], 'Q');
    box.handle_event(EVENT_KEY, SEARCHBOX_KEY_BACKSPACE);   // still works when full
    EXPECT_EQ(box.query_length, SEARCHBOX_QUERY_SIZE - 2);

    // An arrow key has no character: a zero byte that ends the visible text
    // but still counts.
    searchbox arrow;
    type(arrow, "A");
    arrow.handle_event(EVENT_KEY, 0x5400);
    EXPECT_EQ(arrow.query_length, 2);
    EXPECT_STREQ(arrow.query, "A");

    // Other events are ignored.
    EXPECT_EQ(arrow.handle_event(EVENT_LEFT_BUTTON, 1), 0);
    EXPECT_EQ(arrow.query_length, 2);
}
