// Windows (title-bar dragging that carries the children, the close box) and
// the 3D viewport (hiding it ends a drag, so the pointer is not pinned afterwards).
#include "gui/window.h"
#include "gui_fixture.h"

static int pointer_moves = 0;

TEST_F(gui_fixture, title_bar_drags_window_and_children_close_box_hides_them_and_hiding_the_view_ends_its_drag)
{
    window win, child;   // the child could be any widget: it is only moved, shown and hidden
    win.w = 200; win.h = 150;
    win.children = {&child, nullptr};
    manager.add(&win);
    const struct { int flags, x, y, moved; bool closes; } table[] = {
        {WINDOW_DRAG, 150, 110, 0, false},                    // the body
        {WINDOW_CLOSE, 150, 104, 0, false},                   // the title of a fixed window
        {WINDOW_CLOSE | WINDOW_DRAG, 290, 109, -400, false},  // just left of the close box, off the screen
        {WINDOW_CLOSE | WINDOW_DRAG, 295, 104, 0, true}};     // the close box
    for (const auto &t : table) {
        win.flags = t.flags; win.x = win.y = 100; child.x = child.y = 0;
        pass(t.x, t.y, 1);
        pass(t.x - 400, t.y + 3, 1);
        pass(t.x, t.y, 0);   // released: nothing follows any more
        EXPECT_EQ((std::vector<int>{win.x, child.x, child.y}), (std::vector<int>{100 + t.moved, t.moved, t.moved ? 3 : 0})) << &t - table;
        EXPECT_EQ(win.visible || child.visible, !t.closes) << &t - table;
    }

    // The 3D view puts the pointer back on a drag's anchor every pass while the drag lasts.
    void (*saved_mover)(int, int) = render3d_move_pointer;
    render3d_move_pointer = [](int, int) { pointer_moves++; };   // stands in for position_mouse
    render3d view;
    view.w = view.h = 600;
    manager.add(&view);
    pass(300, 300, 1);
    view.hide();         // mid-drag: the release below never reaches the hidden view
    buttons(0);
    view.show();
    pass(200, 200, 2);   // a right drag, then its release
    buttons(0);
    int moves = pointer_moves;
    pass(250, 250, 0);   // not pinned to an anchor any more
    EXPECT_EQ(pointer_moves, moves);
    render3d_move_pointer = saved_mover;
}
