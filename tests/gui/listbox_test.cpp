// List box rows, selection by mouse and keys, scrolling to a selection, cutting long items.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "gui/listbox.h"

namespace {

std::vector<int> changes;
void record_change(int index) { changes.push_back(index); }

class list_fixture : public ::testing::Test {
protected:
    gui_input_state input;
    gui_manager manager;
    listbox list;
    std::vector<std::string> names;
    std::vector<const char *> pointers;

    void SetUp() override
    {
        changes.clear();
        gui_set_input(&input);
        list.x = 610; list.y = 200; list.w = 185; list.h = 4 + 10 * (gui_text_height() + 2);   // ten rows
        list.on_change = record_change;
    }
    void TearDown() override { gui_set_input(nullptr); }
    void fill(int n)
    {
        names.clear();
        pointers.clear();
        for (int i = 0; i < n; i++)
            names.push_back("item " + std::to_string(i));
        for (const std::string &s : names)
            pointers.push_back(s.c_str());
        list.items = pointers.data(); list.count = n;
        list.update_range();
    }
    void point(int px, int row, int buttons = 0)
    {
        int rh = gui_text_height() + 2;
        input.mouse_x = px; input.mouse_y = list.y + 5 + row * rh + rh / 2; input.mouse_b = buttons;
        manager.update();
    }
    void click(int px, int row) { point(px, row, 1); point(px, row, 0); }
    void key(int value) { input.push_key(value); manager.update(); }
    int offset() { return list.scroll.get_offset(list.count, list.rows()); }
};

TEST_F(list_fixture, click_selects_the_row_under_the_pointer_and_reports_changes)
{
    fill(5);
    manager.add(&list);
    EXPECT_EQ(list.scroll.x, 610 + 185 - 10);
    list.hide();
    EXPECT_FALSE(list.scroll.visible);
    list.show();
    click(650, 3);
    click(650, 3);   // same row again: no new report
    click(650, 0);
    click(650, 7);   // below the last item
    click(610 + 185 - 12, 2);   // the rightmost 12 pixels are the bar's
    click(610 + 185 - 13, 2);
    EXPECT_EQ(changes, (std::vector<int>{3, 0, 2}));
    fill(100);
    list.top = 40;   // as the last draw left it
    click(650, 2);
    EXPECT_EQ(list.selected, 42);
    list.scroll.wheel_step = 3;
    input.mouse_z = -4;   // the wheel over the list moves its bar
    point(650, 1);
    EXPECT_FLOAT_EQ(list.scroll.position, 12.0f);
}

TEST_F(list_fixture, arrow_keys_step_and_scroll_the_selection)
{
    fill(30);
    manager.add(&list);
    point(650, 1);
    key(0x5400);   // up with nothing selected
    EXPECT_EQ(list.selected, -1);
    for (int i = 0; i < 3; i++)
        key(0x5500);
    EXPECT_EQ(offset(), 2);
    key(0x5400);
    key('a');
    key(0x4800);   // another scancode without a character
    EXPECT_EQ(changes, (std::vector<int>{0, 1, 2, 1}));
    list.select(29);   // scrolls to the last screenful and never reports
    EXPECT_EQ(offset(), 20);
    key(0x5500);       // already the last
    EXPECT_EQ(changes.size(), 4u);
}

TEST_F(list_fixture, selection_out_of_range_counts_as_none)
{
    fill(5);
    manager.add(&list);
    for (int bad : {5, -7, 1000000}) {
        list.select(2);
        list.select(bad);
        EXPECT_EQ(list.selected, -1) << bad;
    }
    list.items = nullptr;   // count without an array
    list.select(0);
    EXPECT_EQ(list.selected, -1);

    fill(20);
    list.select(15);
    fill(4);   // the list shrank under the selection
    point(650, 1);
    key(0x5400);
    EXPECT_EQ(list.selected, 15);
    key(0x5500);
    EXPECT_EQ(changes, (std::vector<int>{0}));

    list.select(-1);
    fill(0);   // an empty list ignores clicks and keys
    click(650, 0);
    key(0x5500);
    EXPECT_EQ(changes.size(), 1u);
}

TEST_F(list_fixture, long_items_are_cut_to_fit_with_a_margin)
{
    std::string long_item(150, 'W');
    const char *one[1] = {long_item.c_str()};
    list.items = one; list.count = 1;
    char text[256];
    for (int numbered = 0; numbered < 2; numbered++) {
        list.numbered = numbered != 0;
        list.row_text(0, text, sizeof text);
        const char *item = numbered ? strchr(text, ' ') + 1 : text;
        int n = (int)strlen(item), room = list.w - 22 - 10 - (numbered ? gui_text_length("0") : 0);
        EXPECT_LE(gui_text_length(item), room) << numbered;
        EXPECT_GT(gui_text_length(std::string(long_item, 0, n + 1).c_str()), room) << numbered;
    }
    list.w = 100000;   // wide enough for anything: still at most 99 characters
    list.numbered = false;
    list.row_text(0, text, sizeof text);
    EXPECT_EQ(strlen(text), 99u);
    list.numbered = true;
    list.row_text(1, text, sizeof text);   // out of range reads nothing
    EXPECT_STREQ(text, "1: ");
}

}  // namespace
