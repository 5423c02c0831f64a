// Framed windows (title-bar dragging that carries the children, close box)
// and the 3D viewport widget (rotate, pan and zoom drags, on_draw).
#include "gui/window.h"

#include <allegro.h>
#include <alleggl.h>


// ---------------------------------------------------------------------- window

window::window()
    : dragging(false), anchor_x(0), anchor_y(0), flags(0), title(nullptr)
{
    visible = true;
    theme = -1;
}

int window::handle_event(int type, int value)
{
    if (type != EVENT_LEFT_BUTTON)
        return 0;
    if (value == 1 && input_mouse_y() - y <= 9) {
        if ((flags & WINDOW_CLOSE) && input_mouse_x() - x > w - 10) {
            hide();
            return 0;
        }
        if (flags & WINDOW_DRAG) {
            anchor_x = input_mouse_x();
            anchor_y = input_mouse_y();
            dragging = true;
            return 1;
        }
        return 0;
    }
    dragging = false;
    return 0;
}

// Moves the window and every child by the pointer's movement since the last
// pass. The window may be dragged partly or wholly off the screen.
int window::update()
{
    if (!dragging || !visible)
        return 1;
    int px = input_mouse_x(), py = input_mouse_y();
    int dx = px - anchor_x, dy = py - anchor_y;
    for (object *child : children) {
        if (!child)
            continue;
        child->x += dx;
        child->y += dy;
    }
    x += dx;
    y += dy;
    anchor_x = px;
    anchor_y = py;
    return 0;
}

int window::draw(BITMAP *target)
{
    glDisable(GL_TEXTURE_2D);
    rectfill(target, x, y, x + w, y + h, makecol(200, 200, 200));
    draw_frame(target, theme, x, y, w, h);
    if (theme == -1) {
        rectfill(target, x, y, x + w, y + 10, makecol(230, 230, 230));
        hline(target, x, y + 10, x + w, makecol(0, 0, 0));
    } else {
        // Theme columns 19..20, rows 0..11 stretched over the bar.
        theme_begin(theme);
        theme_quad((float)x, (float)y, (float)(x + w), (float)(y + 10),
                   theme_uv{19.0f, 0.0f}, theme_uv{19.0f, 11.0f}, theme_uv{20.0f, 11.0f},
                   theme_uv{20.0f, 0.0f});
        theme_end();
    }
    if (flags & WINDOW_CLOSE) {
        line(target, x + w - 8, y + 2, x + w - 2, y + 8, makecol(0, 0, 0));
        line(target, x + w - 2, y + 2, x + w - 8, y + 8, makecol(0, 0, 0));
    }
    if (title)
        draw_text(x + w / 2 - gui_text_length(title) / 2, y - gui_text_height() / 2 + 5, title);
    return 0;
}

void window::show()
{
    for (object *child : children)
        if (child)
            child->show();
    visible = true;
}

void window::hide()
{
    for (object *child : children)
        if (child)
            child->hide();
    visible = false;
}

// -------------------------------------------------------------------- render3d

static void move_allegro_pointer(int px, int py)
{
    position_mouse(px, py);
}

void (*render3d_move_pointer)(int x, int y) = move_allegro_pointer;

render3d::render3d()
    : yaw(0.0f), pitch(0.0f), pan_x(0.0f), pan_y(0.0f), distance(0.0f),
      anchor_x(0), anchor_y(0), invert_yrot(false), invert_ypos(false), invert_xpos(false),
      left_down(false), right_down(false), on_draw(nullptr)
{
    theme = -1;
}

int render3d::handle_event(int type, int value)
{
    switch (type) {
    case EVENT_LEFT_BUTTON:
        if (value == 1) {
            anchor_x = input_mouse_x();
            anchor_y = input_mouse_y();
            left_down = true;
            return 1;
        }
        left_down = false;
        return 0;
    case EVENT_RIGHT_BUTTON:
        if (value == 1) {
            anchor_x = input_mouse_x();
            anchor_y = input_mouse_y();
            right_down = true;
            return 1;
        }
        right_down = false;
        return 0;
    case EVENT_WHEEL:
        distance += value * 100;
        return 0;
    default:
        return 0;
    }
}

// One drag step: the pointer's offset from the anchor is this pass's
// movement, and the pointer goes back to the anchor afterwards.
int render3d::update()
{
    if (!left_down && !right_down) {
        render3d_move_pointer(anchor_x, anchor_y);
        return 1;
    }
    int dx = anchor_x - input_mouse_x();
    int dy = anchor_y - input_mouse_y();
    if (right_down) {
        distance += dy;
    } else if (input_key_down(KEY_LCONTROL) || input_key_down(KEY_RCONTROL)) {
        if (invert_xpos) pan_x -= dx; else pan_x += dx;
        if (invert_ypos) pan_y += dy; else pan_y -= dy;
    } else {
        yaw += dx;
        if (invert_yrot) pitch -= dy; else pitch += dy;
    }
    render3d_move_pointer(anchor_x, anchor_y);
    return 0;
}

int render3d::draw(BITMAP *)
{
    if (on_draw)
        on_draw(this, &yaw, &pitch, &pan_x, &pan_y, &distance);
    return 0;
}

// Hiding ends any drag: the release of a button pressed before the hide never
// reaches a hidden widget, and a drag flag left set would pin the pointer to
// the anchor once the view is shown and captured again.
void render3d::hide()
{
    visible = false;
    left_down = false;
    right_down = false;
}
