// Menus: the title's open/close rules, row hover tracking, sub-menus and
// commands, driven through the dispatcher.
#include "gui/menu.h"
#include "gui_fixture.h"

static menu *watched = nullptr;
static int runs_while_open = 0;

TEST_F(gui_fixture, menu_opens_closes_runs_commands_while_open_and_toggles_sub_menus)
{
    // The File menu's shape: "Open >" (a sub-menu holding "LEV"), "Save",
    // "Recent >" (an empty sub-menu); the title at (0, 0) is 80 x 20.
    menu m;
    menu_command command = [] { runs_while_open += watched->press_count == 1 && watched->chunks[0]->visible; };
    m.w = 80; m.h = 20;
    m.begin_submenu("Open >");
    m.add_entry("LEV", command);
    m.end_submenu();
    m.add_entry("Save", command);
    m.begin_submenu("Recent >");
    m.end_submenu();
    manager.add(&m);
    watched = &m;
    menu_chunk *top = m.chunks[0], *open = m.chunks[1], *recent = m.chunks[2];
    auto row_y = [&](int i) { return 28 + i * (gui_text_height() + 2); };   // rows of the top list and its sub-menus
    auto click = [&](int px, int py) { pass(px, py, 0); buttons(1); buttons(0); };   // the move lets hover tracking catch up

    // {x, buttons, press_count, top list visible, title lit}; 10 is on the title: an open title stays lit, a
    // second press closes on its release, and so does a release elsewhere.
    const int title[][5] = {{10, 1, 1, 1, 1}, {10, 0, 1, 1, 1}, {300, 0, 1, 1, 1}, {10, 1, 2, 1, 1}, {10, 0, 0, 0, 0},
        {10, 1, 1, 1, 1}, {300, 1, 1, 1, 1}, {300, 0, 0, 0, 0}};
    for (const auto &s : title) {
        pass(s[0], 10, s[1]);
        EXPECT_EQ(m.press_count * 100 + top->visible * 10 + m.hovered, s[2] * 100 + s[3] * 10 + s[4]) << &s - title;
    }
    click(10, 10);
    // {y, open visible, recent visible}: open, close, open, Recent closes Open, the bottom margin folds both.
    const int rows[][3] = {{row_y(0), 1, 0}, {row_y(0), 0, 0}, {row_y(0), 1, 0}, {row_y(2), 0, 1},
        {top->y + top->h - 1, 0, 0}, {row_y(0), 1, 0}};
    for (const auto &s : rows) {
        click(5, s[0]);
        EXPECT_EQ(open->visible * 10 + recent->visible, s[1] * 10 + s[2]) << s[0];
    }
    click(10, 10);   // the second press closes every list below the title
    EXPECT_FALSE(top->visible || open->visible);
    click(10, 10);
    click(5, row_y(0));
    click(open->x + 5, row_y(0));  // "LEV" runs, then the menu closes
    click(10, 10);
    click(5, row_y(1));            // "Save" runs, and the list closes with it hovered
    EXPECT_FALSE(top->visible || open->visible || m.press_count);
    click(10, 10);
    input.mouse_y = row_y(0);      // onto "Open >" and pressed in one pass: not tracked yet
    buttons(1);
    EXPECT_EQ(runs_while_open * 10 + open->visible, 20);   // the row hovered when the list closed is forgotten
    buttons(0);
    buttons(1);                    // tracked now
    EXPECT_TRUE(open->visible);
}
