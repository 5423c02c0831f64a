// Framed windows with a title bar that carry child widgets, and the 3D
// viewport widget that turns drags into camera values.
#pragma once
#include <vector>
#include "gui/object.h"

// window::flags bits.
enum {
    WINDOW_CLOSE = 1,   // a close box in the title bar hides the window
    WINDOW_DRAG = 2,    // the title bar drags the window and its children
};

// A framed panel with a 10-pixel title bar. Children are separate widgets
// added to the manager after the window; the window only moves, shows and
// hides them.
class window : public object {
public:
    bool dragging;                   // the title bar is being dragged
    int anchor_x, anchor_y;          // pointer at the previous drag step
    int flags;                       // WINDOW_CLOSE | WINDOW_DRAG
    const char *title;               // null = none; not owned
    std::vector<object *> children;  // not owned

    window();

    int handle_event(int type, int value) override;
    int update() override;
    int draw(BITMAP *target) override;
    // Children first, then the window itself.
    void show() override;
    void hide() override;
};

class render3d;

// Puts the pointer back on a drag's anchor: Allegro's position_mouse. Tests
// that script the pointer point it at their own function.
extern void (*render3d_move_pointer)(int x, int y);

// Draws the scene; may change the camera values it is handed.
typedef void (*render3d_draw_callback)(render3d *view, float *yaw, float *pitch,
                                       float *pan_x, float *pan_y, float *distance);

// A rectangle that turns drags into camera values and hands them to on_draw.
// Left drag rotates, left drag with Control pans, right drag (which wins
// over left) and the wheel zoom. While a drag lasts the pointer is put back
// on the spot where it began in every pass, so each pass sees a fresh delta.
class render3d : public object {
public:
    float yaw;          // degrees, 1 per pixel of horizontal drag
    float pitch;        // degrees
    float pan_x, pan_y; // 1 unit per pixel of drag
    float distance;     // extra viewing distance; positive = farther
    int anchor_x, anchor_y;
    bool invert_yrot;   // invert the pitch direction
    bool invert_ypos;   // invert vertical panning
    bool invert_xpos;   // invert horizontal panning
    bool left_down;
    bool right_down;
    render3d_draw_callback on_draw;   // may be null

    render3d();

    int handle_event(int type, int value) override;
    int update() override;
    int draw(BITMAP *target) override;
    // Hiding also ends any drag.
    void hide() override;
};
