// List box selection by mouse and keys, and scrolling to a selection.
#include "gui/listbox.h"
#include "gui_fixture.h"

static std::vector<int> changes;
static const char *const items[100] = {};   // the rows' text plays no part in selecting

TEST_F(gui_fixture, listbox_selects_the_row_shown_under_a_click_and_steps_and_scrolls_by_keys)
{
    listbox list;
    list.x = 600; list.y = 200; list.w = 185; list.h = 4 + 10 * (gui_text_height() + 2);   // ten rows
    list.on_change = [](int index) { changes.push_back(index); };
    list.items = items; list.count = 100;
    manager.add(&list);
    list.scroll.wheel_step = 18;
    input.mouse_z = -1;   // the wheel over the list moves its bar, and the rows with it
    pass(650, 210, 0);
    int top = list.top_row();
    for (int x : {650, 650, 773, 772}) {   // the same row twice; the bar owns the rightmost 12 pixels
        pass(x, 210 + (x == 650 ? 3 : 1) * (gui_text_height() + 2), 1);
        buttons(0);
    }
    EXPECT_GT(top, 0);

    list.count = 30;
    list.update_range();
    list.select(-1);
    const int steps[][3] = {{0x5400, -1, 0}, {0x5500, 0, 0}, {0x5500, 1, 1}, {0x5500, 2, 2}, {0x5400, 1, 1},
        {'a', 1, 1}, {0x4800, 1, 1}};   // {key, selected, first row shown}
    for (const auto &s : steps) {
        key(s[0]);
        EXPECT_EQ(list.selected * 100 + list.top_row(), s[1] * 100 + s[2]) << &s - steps;
    }
    list.select(29);   // the last screenful, and no report
    key(0x5500);       // already the last
    EXPECT_EQ(list.top_row(), 20);
    list.select(15);
    list.count = 4;    // the list shrank under the selection: up does nothing, down starts at 0
    key(0x5400);
    key(0x5500);
    EXPECT_EQ(changes, (std::vector<int>{top + 3, top + 1, 0, 1, 2, 1, 0}));   // the same row twice reports once
    list.hide();
    EXPECT_FALSE(list.scroll.visible);
}
