// Menus: building the tree, layout arithmetic, the title's open/close rules,
// row hover tracking, sub-menus and commands, driven through the dispatcher
// with scripted input.
#include <gtest/gtest.h>

#include <allegro.h>

#include "gui/menu.h"
#include "gui/object.h"

namespace {

// Scripted pointer and buttons for the dispatcher; restored at the end.
struct menu_fixture : ::testing::Test {
    gui_input_state input;
    gui_manager manager;

    menu_fixture() { gui_set_input(&input); }
    ~menu_fixture() override { gui_set_input(nullptr); }

    void move(int px, int py)
    {
        input.mouse_x = px;
        input.mouse_y = py;
        manager.update();
    }
    void press()
    {
        input.mouse_b |= 1;
        manager.update();
    }
    void release()
    {
        input.mouse_b &= ~1;
        manager.update();
    }
    // Move there (one pass, so hover tracking catches up), press, release.
    void click(int px, int py)
    {
        move(px, py);
        press();
        release();
    }
};

int row_h()
{
    return text_height(font) + 2;
}

// Centre of row i of a laid-out chunk.
int row_y(const menu_chunk *chunk, int i)
{
    return chunk->y + 3 + i * row_h() + row_h() / 2;
}

int command_runs = 0;
bool menu_open_during_command = false;
menu *watched_menu = nullptr;

void counting_command()
{
    command_runs++;
    if (watched_menu)
        menu_open_during_command = watched_menu->press_count == 1 &&
                                   watched_menu->chunks[0]->visible;
}

// The File menu's shape: "Open     >" (sub-menu with "LEV"), "Save", "Exit".
void build_file_menu(menu &m)
{
    m.label = "File";
    m.x = 0;
    m.y = 0;
    m.w = 80;
    m.h = 20;
    m.begin_submenu("Open     >");
    m.add_entry("LEV", counting_command);
    m.end_submenu();
    m.add_entry("Save", counting_command);
    m.add_entry("Exit", counting_command);
}

}  // namespace

TEST(menu_building, rows_sub_menus_and_the_chunk_stack)
{
    menu m;
    EXPECT_EQ(m.current_chunk, -1);
    EXPECT_EQ(m.press_count, 0);
    EXPECT_TRUE(m.chunks.empty());

    build_file_menu(m);
    ASSERT_EQ(m.chunks.size(), 2u);
    EXPECT_EQ(m.current_chunk, 0);
    EXPECT_TRUE(m.chunk_stack.empty());

    menu_chunk *top = m.chunks[0], *open = m.chunks[1];
    ASSERT_EQ(top->row_count(), 3);
    EXPECT_EQ(top->commands[0], nullptr);
    EXPECT_EQ(top->sub_chunks[0], open);
    EXPECT_EQ(top->commands[1], counting_command);
    EXPECT_EQ(top->sub_chunks[1], nullptr);
    ASSERT_EQ(open->row_count(), 1);
    EXPECT_STREQ(open->labels[0], "LEV");
    for (menu_chunk *c : m.chunks) {
        EXPECT_EQ(c->owner, &m);
        EXPECT_FALSE(c->visible);
        EXPECT_EQ(c->w, -1);
        EXPECT_EQ(c->labels.size(), c->commands.size());
        EXPECT_EQ(c->labels.size(), c->sub_chunks.size());
    }

    // An unbalanced end is ignored and later rows still go to the top list.
    m.end_submenu();
    m.add_entry("More", nullptr);
    EXPECT_EQ(top->row_count(), 4);
}

TEST(menu_building, nested_sub_menus_return_to_their_parents)
{
    menu m;
    m.begin_submenu("A");
    m.begin_submenu("B");
    m.add_entry("b1", nullptr);
    m.end_submenu();
    m.add_entry("a1", nullptr);
    m.end_submenu();
    m.add_entry("top", nullptr);
    ASSERT_EQ(m.chunks.size(), 3u);
    EXPECT_EQ(m.chunks[0]->row_count(), 2);   // A, top
    EXPECT_EQ(m.chunks[1]->row_count(), 2);   // B, a1
    EXPECT_EQ(m.chunks[2]->row_count(), 1);   // b1
    EXPECT_EQ(m.chunks[1]->sub_chunks[0], m.chunks[2]);
}

TEST_F(menu_fixture, attach_lays_out_drop_downs_and_adds_them_above_the_title)
{
    menu m;
    build_file_menu(m);
    m.x = 40;
    manager.add(&m);

    ASSERT_EQ(manager.objects.size(), 3u);
    EXPECT_EQ(manager.objects[0], &m);
    EXPECT_EQ(manager.objects[1], m.chunks[0]);
    EXPECT_EQ(manager.objects[2], m.chunks[1]);

    menu_chunk *top = m.chunks[0], *open = m.chunks[1];
    EXPECT_EQ(top->x, 40);
    EXPECT_EQ(top->y, 20);
    // The sub-menu row is 5 pixels wider than its label, plus 6 of margins.
    EXPECT_EQ(top->w, text_length(font, "Open     >") + 11);
    EXPECT_EQ(top->h, 3 * row_h() + 4);
    // Sub-menus open to the right, level with the row that opens them.
    EXPECT_EQ(open->x, 40 + top->w);
    EXPECT_EQ(open->y, 20);
    EXPECT_EQ(open->w, text_length(font, "LEV") + 6);
    EXPECT_EQ(open->h, row_h() + 4);
}

TEST_F(menu_fixture, sub_menu_on_a_later_row_lines_up_with_it)
{
    menu m;
    m.w = 80;
    m.h = 20;
    m.add_entry("Longer entry", nullptr);
    m.begin_submenu("Sub");
    m.add_entry("x", nullptr);
    m.end_submenu();
    manager.add(&m);
    EXPECT_EQ(m.chunks[0]->w, text_length(font, "Longer entry") + 6);
    EXPECT_EQ(m.chunks[1]->x, m.chunks[0]->w);
    EXPECT_EQ(m.chunks[1]->y, 20 + row_h());
}

TEST(menu_chunk_rows, hovered_row_arithmetic)
{
    menu m;
    m.add_entry("one", nullptr);
    m.add_entry("two", nullptr);
    menu_chunk *c = m.chunks[0];
    c->layout(100, 50);
    int rh = row_h();

    EXPECT_EQ(c->row_at(110, 50 + 3), 0);
    EXPECT_EQ(c->row_at(110, 50 + 3 + rh), 1);
    EXPECT_EQ(c->row_at(110, 50 + 3 + 2 * rh - 1), 1);
    EXPECT_EQ(c->row_at(110, 50 + 3 + 2 * rh), -1);            // below the last row
    // Less than a row above the first row still counts as the first row.
    EXPECT_EQ(c->row_at(110, 50 + 3 - (rh - 1)), 0);
    EXPECT_EQ(c->row_at(110, 50 + 3 - rh), -1);
    // Only x strictly inside counts.
    EXPECT_EQ(c->row_at(100, 55), -1);
    EXPECT_EQ(c->row_at(100 + c->w, 55), -1);
    EXPECT_EQ(c->row_at(101, 55), 0);
}

TEST_F(menu_fixture, title_press_opens_and_a_second_press_closes)
{
    menu m;
    build_file_menu(m);
    manager.add(&m);

    move(10, 10);
    EXPECT_TRUE(m.hovered);
    press();
    EXPECT_EQ(m.press_count, 1);
    EXPECT_TRUE(m.chunks[0]->visible);
    release();                                 // on the title: stays open
    EXPECT_EQ(m.press_count, 1);
    EXPECT_TRUE(m.chunks[0]->visible);

    press();
    EXPECT_EQ(m.press_count, 2);
    EXPECT_TRUE(m.chunks[0]->visible);         // closes only on the release
    release();
    EXPECT_EQ(m.press_count, 0);
    EXPECT_FALSE(m.chunks[0]->visible);
    EXPECT_FALSE(m.hovered);

    // Leaving the title of a closed menu un-highlights it.
    move(10, 10);
    move(300, 300);
    EXPECT_FALSE(m.hovered);
}

TEST_F(menu_fixture, open_title_stays_lit_when_the_pointer_leaves)
{
    menu m;
    build_file_menu(m);
    manager.add(&m);
    click(10, 10);
    move(300, 300);
    EXPECT_TRUE(m.hovered);
    EXPECT_TRUE(m.chunks[0]->visible);
}

TEST_F(menu_fixture, release_outside_title_and_drop_downs_closes)
{
    menu m;
    build_file_menu(m);
    manager.add(&m);
    move(10, 10);
    press();
    move(300, 300);                // dragged off with the button held
    release();
    EXPECT_EQ(m.press_count, 0);
    EXPECT_FALSE(m.chunks[0]->visible);
    EXPECT_FALSE(m.hovered);
}

TEST_F(menu_fixture, command_runs_while_the_menu_is_still_open_then_it_closes)
{
    menu m;
    build_file_menu(m);
    manager.add(&m);
    command_runs = 0;
    menu_open_during_command = false;
    watched_menu = &m;

    click(10, 10);
    menu_chunk *top = m.chunks[0];
    move(top->x + 10, row_y(top, 1));          // "Save"
    EXPECT_EQ(top->hovered_row, 1);
    press();
    watched_menu = nullptr;
    EXPECT_EQ(command_runs, 1);
    EXPECT_TRUE(menu_open_during_command);
    EXPECT_EQ(m.press_count, 0);
    EXPECT_FALSE(top->visible);
    release();
    EXPECT_EQ(command_runs, 1);
    EXPECT_EQ(m.press_count, 0);
}

TEST_F(menu_fixture, sub_menu_row_toggles_its_sub_menu_and_its_command_runs)
{
    menu m;
    build_file_menu(m);
    manager.add(&m);
    command_runs = 0;

    click(10, 10);
    menu_chunk *top = m.chunks[0], *open = m.chunks[1];
    click(top->x + 10, row_y(top, 0));
    EXPECT_TRUE(open->visible);
    EXPECT_EQ(top->open_row, 0);
    EXPECT_EQ(m.press_count, 1);
    click(top->x + 10, row_y(top, 0));
    EXPECT_FALSE(open->visible);
    EXPECT_TRUE(top->visible);

    click(top->x + 10, row_y(top, 0));
    ASSERT_TRUE(open->visible);
    // Over to the sub-menu: the top list stops tracking once the pointer
    // leaves its columns.
    move(open->x + 5, row_y(open, 0));
    EXPECT_EQ(top->hovered_row, -1);
    EXPECT_EQ(open->hovered_row, 0);
    press();
    EXPECT_EQ(command_runs, 1);
    EXPECT_FALSE(open->visible);
    EXPECT_FALSE(top->visible);
    release();
}

TEST_F(menu_fixture, another_sub_menu_row_closes_the_first_sub_menu)
{
    menu m;
    m.w = 80;
    m.h = 20;
    m.begin_submenu("A");
    m.begin_submenu("deep");
    m.add_entry("d", nullptr);
    m.end_submenu();
    m.end_submenu();
    m.begin_submenu("B");
    m.add_entry("b", nullptr);
    m.end_submenu();
    manager.add(&m);
    menu_chunk *top = m.chunks[0], *a = m.chunks[1], *deep = m.chunks[2], *b = m.chunks[3];

    click(10, 10);
    click(top->x + 5, row_y(top, 0));
    ASSERT_TRUE(a->visible);
    a->sub_chunks[0]->visible = true;          // "deep" opened inside A
    click(top->x + 5, row_y(top, 1));
    EXPECT_FALSE(a->visible);
    EXPECT_FALSE(deep->visible);               // closed recursively
    EXPECT_TRUE(b->visible);
    EXPECT_EQ(top->open_row, 1);
}

TEST_F(menu_fixture, press_on_a_drop_down_margin_folds_sub_menus_only)
{
    menu m;
    build_file_menu(m);
    manager.add(&m);
    menu_chunk *top = m.chunks[0], *open = m.chunks[1];

    click(10, 10);
    click(top->x + 10, row_y(top, 0));
    ASSERT_TRUE(open->visible);
    // The bottom margin: inside the list, below its last row.
    click(top->x + 10, top->y + top->h - 1);
    EXPECT_EQ(top->hovered_row, -1);
    EXPECT_FALSE(open->visible);
    EXPECT_TRUE(top->visible);
    EXPECT_EQ(m.press_count, 1);
}

TEST_F(menu_fixture, a_row_without_command_or_sub_menu_does_nothing)
{
    menu m;
    m.w = 80;
    m.h = 20;
    m.add_entry("inert", nullptr);
    manager.add(&m);
    click(10, 10);
    click(m.chunks[0]->x + 5, row_y(m.chunks[0], 0));
    EXPECT_TRUE(m.chunks[0]->visible);
    EXPECT_EQ(m.press_count, 1);
}

TEST_F(menu_fixture, menu_without_entries_only_highlights)
{
    menu m;
    m.w = 80;
    m.h = 20;
    manager.add(&m);
    EXPECT_EQ(manager.objects.size(), 1u);
    move(10, 10);
    press();
    EXPECT_TRUE(m.hovered);
    move(300, 300);
    release();
    EXPECT_FALSE(m.hovered);
    EXPECT_EQ(m.press_count, 0);
}

TEST_F(menu_fixture, opening_a_second_menu_closes_the_first)
{
    menu file, help;
    build_file_menu(file);
    help.x = 80;
    help.w = 80;
    help.h = 20;
    help.add_entry("About", nullptr);
    manager.add(&file);
    manager.add(&help);

    click(10, 10);
    ASSERT_TRUE(file.chunks[0]->visible);
    click(90, 10);
    EXPECT_TRUE(help.chunks[0]->visible);
    EXPECT_EQ(help.press_count, 1);
    EXPECT_FALSE(file.chunks[0]->visible);
    EXPECT_EQ(file.press_count, 0);
    EXPECT_FALSE(file.hovered);
}

TEST_F(menu_fixture, hide_closes_every_drop_down)
{
    menu m;
    build_file_menu(m);
    manager.add(&m);
    click(10, 10);
    click(m.chunks[0]->x + 10, row_y(m.chunks[0], 0));
    ASSERT_TRUE(m.chunks[1]->visible);
    move(300, 300);
    m.hide();
    EXPECT_FALSE(m.visible);
    EXPECT_EQ(m.press_count, 0);
    EXPECT_FALSE(m.hovered);
    EXPECT_FALSE(m.chunks[0]->visible);
    EXPECT_FALSE(m.chunks[1]->visible);
    EXPECT_EQ(m.chunks[0]->open_row, 0);       // kept
    m.show();
    EXPECT_TRUE(m.visible);
    EXPECT_FALSE(m.chunks[0]->visible);
}

TEST_F(menu_fixture, reopened_list_does_not_reuse_the_row_hovered_when_it_closed)
{
    menu m;
    build_file_menu(m);
    manager.add(&m);
    menu_chunk *top = m.chunks[0];
    command_runs = 0;

    click(10, 10);
    click(top->x + 10, row_y(top, 1));         // "Save" runs and the menu closes
    ASSERT_EQ(command_runs, 1);
    EXPECT_EQ(top->hovered_row, -1);

    click(10, 10);
    // Pointer onto "Exit" and pressed in the same pass: the list has not
    // tracked the pointer yet, so no command runs.
    input.mouse_x = top->x + 10;
    input.mouse_y = row_y(top, 2);
    press();
    EXPECT_EQ(command_runs, 1);
    EXPECT_TRUE(top->visible);
    release();
    press();                                   // now tracked: "Exit" runs
    EXPECT_EQ(command_runs, 2);
    release();
}

TEST_F(menu_fixture, close_never_lights_the_title_and_keeps_it_lit_under_the_pointer)
{
    menu m;
    build_file_menu(m);
    manager.add(&m);
    input.mouse_x = 10;
    input.mouse_y = 10;             // on the title, but no pass has seen it
    m.close();
    EXPECT_FALSE(m.hovered);
    m.hovered = true;
    m.close();
    EXPECT_TRUE(m.hovered);
    input.mouse_x = 300;
    m.close();
    EXPECT_FALSE(m.hovered);
}
