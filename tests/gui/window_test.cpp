// Windows (title-bar dragging that carries the children, the close box) and
// the 3D viewport (rotate, pan, zoom, pointer held at the anchor), driven
// through the dispatcher with scripted input.
#include <gtest/gtest.h>

#include <allegro.h>

#include "gui/object.h"
#include "gui/window.h"

namespace {

// A plain child widget that records show and hide.
struct probe : object {
    int shows = 0, hides = 0;
    int handle_event(int, int) override { return 0; }
    int update() override { return 0; }
    int draw(BITMAP *) override { return 0; }
    void attach(gui_manager *) override {}
    void show() override { visible = true; shows++; }
    void hide() override { visible = false; hides++; }
};

gui_input_state *scripted = nullptr;
int pointer_moves = 0;

// Stands in for position_mouse: moves the scripted pointer.
void move_scripted_pointer(int px, int py)
{
    scripted->mouse_x = px;
    scripted->mouse_y = py;
    pointer_moves++;
}

struct window_fixture : ::testing::Test {
    gui_input_state input;
    gui_manager manager;
    void (*saved_mover)(int, int);

    window_fixture()
    {
        gui_set_input(&input);
        scripted = &input;
        saved_mover = render3d_move_pointer;
        render3d_move_pointer = move_scripted_pointer;
        pointer_moves = 0;
    }
    ~window_fixture() override
    {
        render3d_move_pointer = saved_mover;
        gui_set_input(nullptr);
        scripted = nullptr;
    }
    void move(int px, int py)
    {
        input.mouse_x = px;
        input.mouse_y = py;
        manager.update();
    }
    void buttons(int b)
    {
        input.mouse_b = b;
        manager.update();
    }
};

void place(window &win, int flags)
{
    win.x = 100;
    win.y = 100;
    win.w = 200;
    win.h = 150;
    win.flags = flags;
}

}  // namespace

TEST_F(window_fixture, dragging_the_title_moves_window_and_children_alike)
{
    window win;
    probe inside, outside;
    place(win, WINDOW_CLOSE | WINDOW_DRAG);
    inside.x = 120; inside.y = 130; inside.w = 50; inside.h = 20;
    outside.x = 500; outside.y = 20; outside.w = 10; outside.h = 10;
    win.children = { &inside, &outside };
    manager.add(&win);
    manager.add(&inside);
    manager.add(&outside);

    move(150, 105);
    buttons(1);
    EXPECT_TRUE(win.dragging);
    move(160, 98);          // +10, -7
    move(145, 120);         // -15, +22
    EXPECT_EQ(win.x, 95);
    EXPECT_EQ(win.y, 115);
    EXPECT_EQ(inside.x, 115);
    EXPECT_EQ(inside.y, 145);
    EXPECT_EQ(outside.x, 495);
    EXPECT_EQ(outside.y, 35);

    buttons(0);
    EXPECT_FALSE(win.dragging);
    move(10, 10);           // no longer captured: nothing follows
    EXPECT_EQ(win.x, 95);
    EXPECT_EQ(inside.x, 115);
}

TEST_F(window_fixture, window_may_be_dragged_off_the_screen)
{
    window win;
    place(win, WINDOW_DRAG);
    manager.add(&win);
    move(110, 101);
    buttons(1);
    move(-200, -300);
    EXPECT_EQ(win.x, -210);
    EXPECT_EQ(win.y, -301);
}

TEST_F(window_fixture, title_bar_is_the_top_ten_pixels)
{
    window win;
    place(win, WINDOW_DRAG);
    manager.add(&win);
    move(150, 109);         // mouse_y - y = 9: still the title bar
    buttons(1);
    EXPECT_TRUE(win.dragging);
    buttons(0);
    move(150, 110);         // the body: no drag
    buttons(1);
    EXPECT_FALSE(win.dragging);
    move(170, 130);
    EXPECT_EQ(win.x, 100);
    buttons(0);
}

TEST_F(window_fixture, close_box_hides_window_and_children)
{
    window win;
    probe child;
    place(win, WINDOW_CLOSE | WINDOW_DRAG);
    child.x = 110; child.y = 120; child.w = 10; child.h = 10;
    win.children = { &child };
    manager.add(&win);
    manager.add(&child);

    move(100 + 200 - 5, 104);   // mouse_x - x = 195 > w - 10
    buttons(1);
    EXPECT_FALSE(win.visible);
    EXPECT_FALSE(child.visible);
    EXPECT_EQ(child.hides, 1);
    EXPECT_FALSE(win.dragging);
    buttons(0);

    win.show();
    EXPECT_TRUE(win.visible);
    EXPECT_EQ(child.shows, 1);
    // Just left of the close box is the draggable title bar.
    move(100 + 190, 104);       // mouse_x - x = 190: not > 190
    buttons(1);
    EXPECT_TRUE(win.visible);
    EXPECT_TRUE(win.dragging);
    buttons(0);
}

TEST_F(window_fixture, close_box_spot_without_close_flag_drags_instead)
{
    window win;
    place(win, WINDOW_DRAG);
    manager.add(&win);
    move(295, 104);
    buttons(1);
    EXPECT_TRUE(win.visible);
    EXPECT_TRUE(win.dragging);
    move(305, 114);
    EXPECT_EQ(win.x, 110);
    buttons(0);
}

TEST_F(window_fixture, title_of_a_fixed_window_ignores_presses)
{
    window win;
    place(win, WINDOW_CLOSE);
    manager.add(&win);
    move(150, 104);
    buttons(1);
    EXPECT_FALSE(win.dragging);
    move(170, 130);
    EXPECT_EQ(win.x, 100);
    buttons(0);
}

TEST_F(window_fixture, hiding_a_dragged_window_ends_the_capture)
{
    window win;
    place(win, WINDOW_DRAG);
    manager.add(&win);
    move(150, 104);
    buttons(1);
    move(160, 104);
    EXPECT_EQ(win.x, 110);
    win.hide();
    move(200, 104);
    EXPECT_TRUE(manager.active.empty());
    win.show();
    move(220, 104);
    EXPECT_EQ(win.x, 110);
    buttons(0);
}

// ------------------------------------------------------------------ render3d

namespace {

int draws = 0;
render3d *drawn_view = nullptr;

void recording_draw(render3d *view, float *yaw, float *pitch, float *pan_x, float *pan_y,
                    float *distance)
{
    draws++;
    drawn_view = view;
    EXPECT_EQ(yaw, &view->yaw);
    EXPECT_EQ(pitch, &view->pitch);
    EXPECT_EQ(pan_x, &view->pan_x);
    EXPECT_EQ(pan_y, &view->pan_y);
    EXPECT_EQ(distance, &view->distance);
    *distance = 42.0f;   // the callback may change the camera
}

void place(render3d &view)
{
    view.x = 5;
    view.y = 25;
    view.w = 600;
    view.h = 570;
}

}  // namespace

TEST(render3d_widget, starts_at_rest)
{
    render3d view;
    EXPECT_EQ(view.yaw, 0.0f);
    EXPECT_EQ(view.pitch, 0.0f);
    EXPECT_EQ(view.pan_x, 0.0f);
    EXPECT_EQ(view.pan_y, 0.0f);
    EXPECT_EQ(view.distance, 0.0f);
    EXPECT_FALSE(view.left_down || view.right_down);
    EXPECT_FALSE(view.invert_yrot || view.invert_ypos || view.invert_xpos);
    EXPECT_EQ(view.on_draw, nullptr);
    EXPECT_EQ(view.draw(nullptr), 0);   // nothing to draw without a callback
}

TEST(render3d_widget, draw_hands_the_camera_to_on_draw)
{
    render3d view;
    view.on_draw = recording_draw;
    draws = 0;
    view.draw(nullptr);
    EXPECT_EQ(draws, 1);
    EXPECT_EQ(drawn_view, &view);
    EXPECT_EQ(view.distance, 42.0f);
}

TEST_F(window_fixture, left_drag_rotates_with_the_pointer_held_at_the_anchor)
{
    render3d view;
    place(view);
    manager.add(&view);
    move(300, 300);
    buttons(1);
    EXPECT_TRUE(view.left_down);
    move(290, 305);         // 10 left, 5 down
    EXPECT_EQ(view.yaw, 10.0f);
    EXPECT_EQ(view.pitch, -5.0f);
    EXPECT_EQ(input.mouse_x, 300);   // put back on the anchor
    EXPECT_EQ(input.mouse_y, 300);
    move(303, 296);         // each pass is a fresh delta from the anchor
    EXPECT_EQ(view.yaw, 7.0f);
    EXPECT_EQ(view.pitch, -1.0f);

    input.mouse_x = 350;
    buttons(0);             // released: the pointer is left at the anchor
    EXPECT_FALSE(view.left_down);
    EXPECT_EQ(input.mouse_x, 300);
    EXPECT_TRUE(manager.active.empty());
    int moves = pointer_moves;
    move(320, 320);         // idle: the pointer is free again
    EXPECT_EQ(pointer_moves, moves);
    EXPECT_EQ(view.yaw, 7.0f);
}

TEST_F(window_fixture, inverted_pitch_turns_the_other_way)
{
    render3d view;
    place(view);
    view.invert_yrot = true;
    manager.add(&view);
    move(300, 300);
    buttons(1);
    move(300, 305);
    EXPECT_EQ(view.pitch, 5.0f);
    buttons(0);
}

TEST_F(window_fixture, control_left_drag_pans_and_control_switches_mid_drag)
{
    render3d view;
    place(view);
    manager.add(&view);
    move(300, 300);
    buttons(1);
    input.key_down[KEY_LCONTROL] = true;
    move(290, 320);         // 10 left, 20 down
    EXPECT_EQ(view.pan_x, 10.0f);
    EXPECT_EQ(view.pan_y, 20.0f);
    EXPECT_EQ(view.yaw, 0.0f);

    input.key_down[KEY_LCONTROL] = false;
    move(295, 300);         // rotating again from the next pass on
    EXPECT_EQ(view.yaw, 5.0f);
    EXPECT_EQ(view.pan_x, 10.0f);

    input.key_down[KEY_RCONTROL] = true;
    view.invert_xpos = true;
    view.invert_ypos = true;
    move(290, 320);
    EXPECT_EQ(view.pan_x, 0.0f);
    EXPECT_EQ(view.pan_y, 0.0f);
    input.key_down[KEY_RCONTROL] = false;
    buttons(0);
}

TEST_F(window_fixture, right_drag_zooms_and_wins_over_left)
{
    render3d view;
    place(view);
    manager.add(&view);
    move(300, 300);
    buttons(1);
    buttons(3);             // both held
    EXPECT_TRUE(view.right_down && view.left_down);
    move(280, 310);
    EXPECT_EQ(view.distance, -10.0f);
    EXPECT_EQ(view.yaw, 0.0f);
    move(300, 290);
    EXPECT_EQ(view.distance, 0.0f);
    buttons(1);             // right up: back to rotating
    move(290, 300);
    EXPECT_EQ(view.yaw, 10.0f);
    EXPECT_EQ(view.distance, 0.0f);
    buttons(0);
    EXPECT_TRUE(manager.active.empty());
}

TEST_F(window_fixture, wheel_moves_the_camera_in_hundreds)
{
    render3d view;
    place(view);
    manager.add(&view);
    move(300, 300);
    input.mouse_z -= 1;     // delta +1
    manager.update();
    EXPECT_EQ(view.distance, 100.0f);
    input.mouse_z += 3;     // delta -3
    manager.update();
    EXPECT_EQ(view.distance, -200.0f);
    EXPECT_TRUE(manager.active.empty());
}

TEST_F(window_fixture, hiding_the_view_mid_drag_frees_the_pointer)
{
    render3d view;
    place(view);
    manager.add(&view);
    move(300, 300);
    buttons(1);
    view.hide();
    buttons(0);             // the hidden view never hears this release
    view.show();
    move(200, 200);
    buttons(2);             // a right drag, then its release
    buttons(0);
    int moves = pointer_moves;
    move(250, 250);
    move(260, 260);
    EXPECT_EQ(pointer_moves, moves);   // not pinned to an anchor any more
    EXPECT_EQ(input.mouse_x, 260);
    EXPECT_EQ(view.yaw, 0.0f);
}
