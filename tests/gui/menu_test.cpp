// Menus: layout arithmetic, the title's open/close rules, row hover tracking,
// sub-menus and commands, driven through the dispatcher.
#include <gtest/gtest.h>

#include <allegro.h>

#include "gui/menu.h"
#include "gui/object.h"

namespace {

int command_runs = 0;
bool menu_open_during_command = false;
menu *watched_menu = nullptr;

void counting_command()
{
    command_runs++;
    if (watched_menu)
        menu_open_during_command = watched_menu->press_count == 1 && watched_menu->chunks[0]->visible;
}

int row_h() { return text_height(font) + 2; }
int row_y(const menu_chunk *c, int i) { return c->y + 3 + i * row_h() + row_h() / 2; }   // centre of row i

struct menu_fixture : ::testing::Test {
    gui_input_state input;
    gui_manager manager;
    menu m;
    menu_chunk *top = nullptr, *open = nullptr;

    // The File menu's shape: "Open     >" (sub-menu with "LEV"), "Save", "Exit".
    menu_fixture()
    {
        gui_set_input(&input);
        command_runs = 0;
        m.w = 80; m.h = 20;
        m.begin_submenu("Open     >");
        m.add_entry("LEV", counting_command);
        m.end_submenu();
        m.add_entry("Save", counting_command);
        m.add_entry("Exit", counting_command);
    }
    ~menu_fixture() override { gui_set_input(nullptr); }
    void attach() { manager.add(&m); top = m.chunks[0]; open = m.chunks[1]; }
    void move(int px, int py) { input.mouse_x = px; input.mouse_y = py; manager.update(); }
    void press() { input.mouse_b = 1; manager.update(); }
    void release() { input.mouse_b = 0; manager.update(); }
    // Move there (one pass, so hover tracking catches up), press, release.
    void click(int px, int py) { move(px, py); press(); release(); }
    void click_row(menu_chunk *c, int row) { click(c->x + 5, row_y(c, row)); }
};

}  // namespace

TEST_F(menu_fixture, attach_lays_out_drop_downs_beside_the_rows_that_open_them)
{
    m.x = 40;
    m.begin_submenu("Sub");
    m.add_entry("x", nullptr);
    m.end_submenu();
    attach();
    EXPECT_EQ(manager.objects, (std::vector<object *>{&m, top, open, m.chunks[2]}));
    // The sub-menu row is 5 pixels wider than its label, plus 6 of margins.
    EXPECT_EQ(top->w, text_length(font, "Open     >") + 11);
    EXPECT_EQ(top->h, 4 * row_h() + 4);
    EXPECT_EQ(open->x, 40 + top->w);
    EXPECT_EQ(open->y, 20);
    EXPECT_EQ(open->w, text_length(font, "LEV") + 6);
    EXPECT_EQ(m.chunks[2]->y, 20 + 3 * row_h());
}

TEST(menu_chunk_rows, hovered_row_arithmetic)
{
    menu m;
    m.add_entry("one", nullptr);
    m.add_entry("two", nullptr);
    menu_chunk *c = m.chunks[0];
    c->layout(100, 50);
    const int rh = row_h();
    const struct { int x, y, row; } table[] = {
        {110, 53, 0}, {110, 53 + 2 * rh - 1, 1}, {110, 53 + 2 * rh, -1},
        {110, 53 - (rh - 1), 0},   // less than a row above the first still counts
        {110, 53 - rh, -1}, {100, 55, -1}, {100 + c->w, 55, -1}, {101, 55, 0}};
    for (const auto &t : table)
        EXPECT_EQ(c->row_at(t.x, t.y), t.row) << t.x << "," << t.y;
}

TEST_F(menu_fixture, title_press_opens_and_a_second_press_closes_on_its_release)
{
    attach();
    click(10, 10);
    EXPECT_TRUE(top->visible);   // released on the title: stays open
    move(300, 300);
    EXPECT_TRUE(m.hovered);      // an open title stays lit
    move(10, 10);
    press();
    EXPECT_TRUE(top->visible);
    release();
    EXPECT_EQ(m.press_count, 0);
    EXPECT_FALSE(top->visible || m.hovered);

    move(10, 10);
    press();
    move(300, 300);   // dragged off with the button held
    release();
    EXPECT_EQ(m.press_count, 0);
    EXPECT_FALSE(top->visible || m.hovered);
}

TEST_F(menu_fixture, command_runs_while_the_menu_is_still_open_then_it_closes)
{
    attach();
    watched_menu = &m;
    click(10, 10);
    move(top->x + 10, row_y(top, 1));   // "Save"
    press();
    watched_menu = nullptr;
    EXPECT_TRUE(menu_open_during_command);
    EXPECT_FALSE(top->visible);
    release();
    EXPECT_EQ(command_runs, 1);
}

TEST_F(menu_fixture, sub_menu_rows_toggle_and_fold_and_their_commands_run)
{
    attach();
    click(10, 10);
    click_row(top, 0);
    EXPECT_TRUE(open->visible);
    click_row(top, 0);
    EXPECT_FALSE(open->visible);
    click_row(top, 0);
    click(top->x + 10, top->y + top->h - 1);   // the bottom margin folds sub-menus only
    EXPECT_FALSE(open->visible);
    EXPECT_TRUE(top->visible);
    click_row(top, 0);
    move(open->x + 5, row_y(open, 0));   // over to the sub-menu: the top list stops tracking
    EXPECT_EQ(top->hovered_row, -1);
    press();
    EXPECT_EQ(command_runs, 1);
    EXPECT_FALSE(open->visible || top->visible);
    release();
}

TEST_F(menu_fixture, another_sub_menu_row_closes_the_first_recursively)
{
    menu n;
    n.w = 80; n.h = 20;
    n.begin_submenu("A");
    n.begin_submenu("deep");
    n.add_entry("d", nullptr);
    n.end_submenu();
    n.end_submenu();
    n.begin_submenu("B");
    n.add_entry("b", nullptr);
    n.end_submenu();
    manager.add(&n);
    menu_chunk *t = n.chunks[0], *a = n.chunks[1], *deep = n.chunks[2], *b = n.chunks[3];
    click(10, 10);
    click_row(t, 0);
    deep->visible = true;   // "deep" opened inside A
    click_row(t, 1);
    EXPECT_FALSE(a->visible || deep->visible);
    EXPECT_TRUE(b->visible);
}

TEST_F(menu_fixture, opening_a_second_menu_closes_the_first_and_hide_closes_all)
{
    attach();
    menu help;
    help.x = 80; help.w = 80; help.h = 20;
    help.add_entry("About", nullptr);
    manager.add(&help);
    click(10, 10);
    click(90, 10);
    EXPECT_TRUE(help.chunks[0]->visible);
    EXPECT_FALSE(top->visible || m.hovered);
    EXPECT_EQ(m.press_count, 0);

    click(10, 10);
    click_row(top, 0);
    m.hide();
    EXPECT_EQ(m.press_count, 0);
    EXPECT_FALSE(top->visible || open->visible);
    m.show();
    EXPECT_FALSE(top->visible);
}

TEST_F(menu_fixture, reopened_list_does_not_reuse_the_row_hovered_when_it_closed)
{
    attach();
    click(10, 10);
    click_row(top, 1);   // "Save" runs and the menu closes
    ASSERT_EQ(command_runs, 1);
    click(10, 10);
    // Onto "Exit" and pressed in the same pass: not tracked yet, so nothing runs.
    input.mouse_x = top->x + 10;
    input.mouse_y = row_y(top, 2);
    press();
    EXPECT_EQ(command_runs, 1);
    release();
    press();   // now tracked: "Exit" runs
    EXPECT_EQ(command_runs, 2);
    release();
}
