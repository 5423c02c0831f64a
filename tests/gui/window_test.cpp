// Windows (title-bar dragging that carries the children, the close box) and
// the 3D viewport (rotate, pan, zoom, pointer held at the anchor), driven
// through the dispatcher with scripted input.
#include <gtest/gtest.h>

#include <allegro.h>

#include "gui/object.h"
#include "gui/window.h"

namespace {

struct probe : object {
    probe(int px, int py) { x = px; y = py; w = h = 10; }
    int handle_event(int, int) override { return 0; }
    int update() override { return 0; }
    int draw(BITMAP *) override { return 0; }
    void attach(gui_manager *) override {}
    void show() override { visible = true; }
    void hide() override { visible = false; }
};

gui_input_state *scripted = nullptr;
int pointer_moves = 0;

// Stands in for position_mouse: moves the scripted pointer.
void move_scripted_pointer(int px, int py) { scripted->mouse_x = px; scripted->mouse_y = py; pointer_moves++; }

struct window_fixture : ::testing::Test {
    gui_input_state input;
    gui_manager manager;
    void (*saved_mover)(int, int) = render3d_move_pointer;
    window win;
    render3d view;

    window_fixture()
    {
        gui_set_input(&input);
        scripted = &input;
        render3d_move_pointer = move_scripted_pointer;
        pointer_moves = 0;
        win.x = 100; win.y = 100; win.w = 200; win.h = 150;
        view.x = 5; view.y = 25; view.w = 600; view.h = 570;
    }
    ~window_fixture() override { render3d_move_pointer = saved_mover; gui_set_input(nullptr); }
    void move(int px, int py) { input.mouse_x = px; input.mouse_y = py; manager.update(); }
    void buttons(int b) { input.mouse_b = b; manager.update(); }
    void grab_view() { manager.add(&view); move(300, 300); buttons(1); }
};

}  // namespace

TEST_F(window_fixture, dragging_the_title_moves_window_and_children_alike_even_off_screen)
{
    probe inside(120, 130), outside(500, 20);
    win.children = {&inside, &outside};
    win.flags = WINDOW_CLOSE | WINDOW_DRAG;
    for (object *o : std::initializer_list<object *>{&win, &inside, &outside})
        manager.add(o);
    move(150, 109);   // the lowest row of the ten-pixel title bar
    buttons(1);
    move(160, 102);   // +10, -7
    move(145, 124);   // -15, +22
    EXPECT_EQ(win.x, 95);
    EXPECT_EQ(win.y, 115);
    EXPECT_EQ(inside.x, 115);
    EXPECT_EQ(inside.y, 145);
    EXPECT_EQ(outside.y, 35);
    move(-255, -276);
    EXPECT_EQ(win.x, -305);
    EXPECT_EQ(win.y, -285);
    buttons(0);
    move(10, 10);   // no longer captured: nothing follows
    EXPECT_EQ(win.x, -305);
}

TEST_F(window_fixture, where_a_press_drags_closes_or_does_nothing)
{
    probe child(110, 120);
    win.children = {&child};
    manager.add(&win);
    manager.add(&child);
    const struct { int flags, x, y; bool drags, closes; const char *why; } table[] = {
        {WINDOW_DRAG, 150, 110, false, false, "the body"},
        {WINDOW_CLOSE, 150, 104, false, false, "the title of a fixed window"},
        {WINDOW_CLOSE | WINDOW_DRAG, 290, 104, true, false, "just left of the close box"},
        {WINDOW_DRAG, 295, 104, true, false, "the close box's spot without the close flag"},
        {WINDOW_CLOSE | WINDOW_DRAG, 295, 104, false, true, "the close box"}};
    for (const auto &t : table) {
        SCOPED_TRACE(t.why);
        win.flags = t.flags;
        win.x = 100;
        win.show();
        move(t.x, t.y);
        buttons(1);
        move(t.x + 10, t.y);
        EXPECT_EQ(win.x, t.drags ? 110 : 100);
        EXPECT_EQ(win.visible, !t.closes);
        EXPECT_EQ(child.visible, !t.closes);
        buttons(0);
    }
}

void set_distance(render3d *, float *, float *, float *, float *, float *distance) { *distance = 42.0f; }

TEST_F(window_fixture, left_drag_rotates_with_the_pointer_held_at_the_anchor)
{
    EXPECT_EQ(view.draw(nullptr), 0);   // nothing to draw without a callback
    view.on_draw = set_distance;
    view.draw(nullptr);
    EXPECT_EQ(view.distance, 42.0f);   // the callback may change the camera
    view.distance = 0;

    grab_view();
    move(290, 305);   // 10 left, 5 down
    EXPECT_EQ(view.yaw, 10.0f);
    EXPECT_EQ(view.pitch, -5.0f);
    EXPECT_EQ(input.mouse_x, 300);   // put back on the anchor
    EXPECT_EQ(input.mouse_y, 300);
    move(303, 296);   // each pass is a fresh delta from the anchor
    EXPECT_EQ(view.yaw, 7.0f);
    EXPECT_EQ(view.pitch, -1.0f);
    view.invert_yrot = true;
    move(300, 305);
    EXPECT_EQ(view.pitch, 4.0f);
    input.mouse_x = 350;
    buttons(0);   // released: the pointer is left at the anchor
    EXPECT_EQ(input.mouse_x, 300);
    int moves = pointer_moves;
    move(320, 320);   // idle: the pointer is free again
    EXPECT_EQ(pointer_moves, moves);
    EXPECT_EQ(view.yaw, 7.0f);
}

TEST_F(window_fixture, control_left_drag_pans_and_control_switches_mid_drag)
{
    grab_view();
    input.key_down[KEY_LCONTROL] = true;
    move(290, 320);   // 10 left, 20 down
    EXPECT_EQ(view.pan_x, 10.0f);
    EXPECT_EQ(view.pan_y, 20.0f);
    EXPECT_EQ(view.yaw, 0.0f);
    input.key_down[KEY_LCONTROL] = false;
    move(295, 300);   // rotating again from the next pass on
    EXPECT_EQ(view.yaw, 5.0f);
    input.key_down[KEY_RCONTROL] = true;
    view.invert_xpos = view.invert_ypos = true;
    move(290, 320);
    EXPECT_EQ(view.pan_x, 0.0f);
    EXPECT_EQ(view.pan_y, 0.0f);
    buttons(0);
}

TEST_F(window_fixture, right_drag_zooms_and_wins_over_left_and_the_wheel_moves_in_hundreds)
{
    grab_view();
    buttons(3);   // both held
    move(280, 310);
    EXPECT_EQ(view.distance, -10.0f);
    EXPECT_EQ(view.yaw, 0.0f);
    buttons(1);   // right up: back to rotating
    move(290, 300);
    EXPECT_EQ(view.yaw, 10.0f);
    EXPECT_EQ(view.distance, -10.0f);
    buttons(0);
    EXPECT_TRUE(manager.active.empty());
    input.mouse_z -= 1;   // delta +1
    manager.update();
    EXPECT_EQ(view.distance, 90.0f);
}

TEST_F(window_fixture, hiding_the_view_mid_drag_frees_the_pointer)
{
    grab_view();
    view.hide();
    buttons(0);   // the hidden view never hears this release
    view.show();
    move(200, 200);
    buttons(2);   // a right drag, then its release
    buttons(0);
    int moves = pointer_moves;
    move(250, 250);
    move(260, 260);
    EXPECT_EQ(pointer_moves, moves);   // not pinned to an anchor any more
}
