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
    int rh = 0;   // row height

    void SetUp() override
    {
        changes.clear();
        gui_set_input(&input);
        rh = gui_text_height() + 2;
        list.x = 610; list.y = 200; list.w = 185; list.h = 4 + 10 * rh;   // ten rows
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
        list.items = pointers.data();
        list.count = n;
        list.update_range();
    }
    void pass(int px, int py, int buttons)
    {
        input.mouse_x = px;
        input.mouse_y = py;
        input.mouse_b = buttons;
        manager.update();
    }
    void key(int value)
    {
        input.push_key(value);
        manager.update();
    }
    int row_y(int row) { return list.y + 5 + row * rh + rh / 2; }
};

TEST_F(list_fixture, attach_lays_out_the_scroll_bar_above_the_list)
{
    fill(100);
    manager.set_theme(9);
    manager.add(&list);
    ASSERT_EQ(manager.objects.size(), 2u);
    EXPECT_EQ(manager.objects[0], &list);
    EXPECT_EQ(manager.objects[1], &list.scroll);
    EXPECT_EQ(list.scroll.x, 610 + 185 - 10);
    EXPECT_EQ(list.scroll.y, 200);
    EXPECT_EQ(list.scroll.w, 10);
    EXPECT_EQ(list.scroll.h, list.h);
    EXPECT_EQ(list.scroll.theme, 9);
    EXPECT_EQ(list.theme, 9);
    EXPECT_TRUE(list.scroll.scrollable);
    EXPECT_EQ(list.rows(), 10);
    list.hide();
    EXPECT_FALSE(list.scroll.visible);
    list.show();
    EXPECT_TRUE(list.scroll.visible);
}

TEST_F(list_fixture, click_selects_the_row_under_the_pointer_and_reports_changes)
{
    fill(5);
    manager.add(&list);
    pass(650, row_y(3), 1);
    EXPECT_EQ(list.selected, 3);
    pass(650, row_y(3), 0);
    pass(650, row_y(3), 1);   // same row again: no new report
    pass(650, row_y(3), 0);
    pass(650, row_y(0), 1);
    pass(650, row_y(0), 0);
    EXPECT_EQ(changes, (std::vector<int>{3, 0}));
    pass(650, row_y(7), 1);   // below the last item
    pass(650, row_y(7), 0);
    EXPECT_EQ(list.selected, 0);
    pass(610 + 185 - 12, row_y(2), 1);   // the rightmost 12 pixels are the bar's
    pass(610 + 185 - 12, row_y(2), 0);
    EXPECT_EQ(list.selected, 0);
    pass(610 + 185 - 13, row_y(2), 1);
    EXPECT_EQ(list.selected, 2);
}

TEST_F(list_fixture, click_uses_the_first_row_shown)
{
    fill(100);
    manager.add(&list);
    list.top = 40;   // as the last draw left it
    pass(650, row_y(2), 1);
    EXPECT_EQ(list.selected, 42);
}

TEST_F(list_fixture, arrow_keys_step_and_scroll_the_selection)
{
    fill(30);
    manager.add(&list);
    pass(650, row_y(1), 0);
    key(0x5400);   // up with nothing selected
    EXPECT_EQ(list.selected, -1);
    key(0x5500);
    EXPECT_EQ(list.selected, 0);
    key(0x5500);
    key(0x5500);
    EXPECT_EQ(list.selected, 2);
    EXPECT_EQ(list.scroll.get_offset(30, list.rows()), 2);
    key(0x5400);
    EXPECT_EQ(list.selected, 1);
    key('a');
    key(0x4800);   // another scancode without a character
    EXPECT_EQ(list.selected, 1);
    EXPECT_EQ(changes, (std::vector<int>{0, 1, 2, 1}));
    list.select(29);
    key(0x5500);   // already the last
    EXPECT_EQ(list.selected, 29);
    EXPECT_EQ(changes.size(), 4u);
}

TEST_F(list_fixture, select_in_the_last_screenful_scrolls_to_the_end)
{
    fill(100);
    manager.add(&list);
    list.select(50);
    EXPECT_EQ(list.selected, 50);
    EXPECT_EQ(list.scroll.get_offset(100, list.rows()), 50);
    list.select(95);
    EXPECT_EQ(list.selected, 95);
    EXPECT_EQ(list.scroll.get_offset(100, list.rows()), 90);
    list.select(0);
    EXPECT_EQ(list.scroll.get_offset(100, list.rows()), 0);
    EXPECT_TRUE(changes.empty());   // select itself never reports
}

TEST_F(list_fixture, select_outside_the_items_selects_nothing)
{
    fill(5);
    manager.add(&list);
    list.select(2);
    list.select(5);
    EXPECT_EQ(list.selected, -1);
    list.select(-7);
    EXPECT_EQ(list.selected, -1);
    list.select(1000000);
    EXPECT_EQ(list.selected, -1);
    EXPECT_EQ(list.scroll.position, 0.0f);
    list.items = nullptr;   // count without an array
    list.select(0);
    EXPECT_EQ(list.selected, -1);
}

TEST_F(list_fixture, stale_selection_after_the_list_shrank_counts_as_none)
{
    fill(20);
    manager.add(&list);
    list.select(15);
    fill(4);
    pass(650, row_y(1), 0);
    key(0x5400);   // up from a selection that no longer exists
    EXPECT_EQ(list.selected, 15);
    EXPECT_TRUE(changes.empty());
    key(0x5500);
    EXPECT_EQ(list.selected, 0);
    EXPECT_EQ(changes, (std::vector<int>{0}));
}

TEST_F(list_fixture, empty_list_ignores_clicks_and_keys)
{
    fill(0);
    manager.add(&list);
    EXPECT_FALSE(list.scroll.scrollable);
    pass(650, row_y(0), 1);
    pass(650, row_y(0), 0);
    key(0x5500);
    EXPECT_EQ(list.selected, -1);
    EXPECT_TRUE(changes.empty());
}

TEST_F(list_fixture, wheel_over_the_list_scrolls_its_bar)
{
    fill(100);
    list.scroll.wheel_step = 3;
    manager.add(&list);
    input.mouse_x = 650;
    input.mouse_y = row_y(2);
    input.mouse_z = -4;
    manager.update();
    EXPECT_FLOAT_EQ(list.scroll.position, 12.0f);
    fill(3);   // now everything fits: the wheel does nothing
    input.mouse_z = -8;
    manager.update();
    EXPECT_FLOAT_EQ(list.scroll.position, 12.0f);
    EXPECT_EQ(list.scroll.get_offset(3, list.rows()), 0);
}

TEST_F(list_fixture, long_items_are_cut_to_fit_with_a_margin)
{
    std::string long_item(150, 'W');
    const char *one[1] = {long_item.c_str()};
    list.items = one;
    list.count = 1;
    char text[256];
    for (int numbered = 0; numbered < 2; numbered++) {
        list.numbered = numbered != 0;
        list.row_text(0, text, sizeof text);
        const char *item = numbered ? strchr(text, ' ') + 1 : text;
        int n = (int)strlen(item);
        EXPECT_GT(n, 0);
        EXPECT_LT(n, 150);
        EXPECT_LE(gui_text_length(item) + 10 + (numbered ? gui_text_length("0") : 0), list.w - 22);
        std::string one_more(long_item, 0, n + 1);
        EXPECT_GT(gui_text_length(one_more.c_str()) + 10 + (numbered ? gui_text_length("0") : 0), list.w - 22);
    }
    list.w = 100000;   // wide enough for anything: still at most 99 characters
    list.numbered = false;
    list.row_text(0, text, sizeof text);
    EXPECT_EQ(strlen(text), 99u);
    list.numbered = true;
    const char *items[12];
    for (int i = 0; i < 12; i++)
        items[i] = "ab";
    list.items = items;
    list.count = 12;
    list.row_text(11, text, sizeof text);
    EXPECT_STREQ(text, "11: ab");
    list.row_text(12, text, sizeof text);   // out of range reads nothing
    EXPECT_STREQ(text, "12: ");
}

}  // namespace
