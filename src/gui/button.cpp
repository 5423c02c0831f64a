// Push buttons, check boxes and images: behaviour and flat drawing.
#include "gui/button.h"

#include <allegro.h>
#include <alleggl.h>

// ---------------------------------------------------------------------------
// button

int button::handle_event(int type, int value)
{
    if (type == EVENT_LEFT_BUTTON && value == 1) {
        held = true;
        pressed = true;
        if (on_press)
            on_press();
    } else if (type == EVENT_LEFT_BUTTON && value == 0) {
        held = false;
        bool was_pressed = pressed;
        pressed = false;
        // Cleared before the call: the command may hide or re-show this button.
        if (was_pressed && on_click)
            on_click();
    } else if (type == EVENT_HOVER && value == 1) {
        hovered = true;
        if (held)
            pressed = true;
    } else if (type == EVENT_HOVER && value == 0) {
        hovered = false;
        pressed = false;
    }
    return 0;
}

int button::draw(BITMAP *target)
{
    glDisable(GL_TEXTURE_2D);   // flat: whatever was drawn before may have left it on
    int d = pressed ? 1 : 0;
    int face = hovered ? makecol(230, 230, 230) : makecol(200, 200, 200);
    if (!pressed) {
        int shadow = makecol(50, 50, 50);
        hline(target, x + 1, y + h, x + w, shadow);
        vline(target, x + w, y + 1, y + h, shadow);
    }
    rectfill(target, x + d, y + d, x + d + w - 1, y + d + h - 1, face);
    rect(target, x, y, x + d + w - 1, y + d + h - 1, makecol(0, 0, 0));
    draw_text(x + w / 2 - gui_text_length(label) / 2 + d,
              y + h / 2 - gui_text_height() / 2 + d, label);
    return 0;
}

// ---------------------------------------------------------------------------
// checkbox

int checkbox::handle_event(int type, int event_value)
{
    if (type != EVENT_LEFT_BUTTON || event_value != 1)
        return 0;
    int px = input_mouse_x(), py = input_mouse_y();
    if (!(x < px && px < x + h && y < py && py < y + h))
        return 0;
    if (flags & CHECKBOX_RADIO) {
        int old = group ? *group : -1;
        if (group)
            *group = value;
        if (on_select && group && value != old)
            on_select(group);
    } else {
        checked = !checked;
        if (checked && on_check)
            on_check();
        else if (on_uncheck)
            on_uncheck();
    }
    return 0;
}

bool checkbox::is_selected() const
{
    if (flags & CHECKBOX_RADIO)
        return group && *group == value;
    return checked;
}

int checkbox::draw(BITMAP *target)
{
    glDisable(GL_TEXTURE_2D);
    int s = h, r = h / 2;
    int black = makecol(0, 0, 0), white = makecol(255, 255, 255);
    bool selected = is_selected();
    bool circle_shape = (flags & CHECKBOX_CIRCLE) ||
                        ((flags & CHECKBOX_RADIO) && !(flags & CHECKBOX_SQUARE));
    if (circle_shape) {
        circlefill(target, x + r, y + r, r, white);
        circle(target, x + r, y + r, r, black);
        if (selected)
            circlefill(target, x + r, y + r, r - 3, makecol(50, 100, 255));
    } else {
        rectfill(target, x, y, x + s, y + s, white);
        rect(target, x, y, x + s, y + s, black);
        if (selected) {
            line(target, x + 2, y + s - 2, x + s - 2, y + 2, black);
            line(target, x + 2, y + 2, x + s - 2, y + s - 2, black);
        }
    }
    int th = gui_text_height();
    if (label_colour != -1)
        rectfill(target, x + s + 3, y + s / 2 - th / 2 - 1,
                 x + s + 5 + gui_text_length(label), y + s / 2 + 1 + th / 2, label_colour);
    draw_text(x + s + 4, y + s / 2 - th / 2, label);
    return 0;
}

// ---------------------------------------------------------------------------
// image

int image::load(const char *filename)
{
    if (!filename)
        return 1;
    BITMAP *bitmap = load_bitmap(filename, nullptr);
    if (!bitmap)
        return 1;
    texture = (int)allegro_gl_make_texture_ex(0, bitmap, GL_RGB8);
    w = bitmap->w;
    h = bitmap->h;
    texture_w = (float)bitmap->w;
    texture_h = (float)bitmap->h;
    destroy_bitmap(bitmap);
    return 0;
}

void image::set_region(int sx, int sy, int sw, int sh)
{
    u = (float)sx / texture_w;
    v = (float)sy / texture_h;
    u_size = (float)sw / texture_w;
    v_size = (float)sh / texture_h;
    w = sw;
    h = sh;
}

int image::draw(BITMAP *)
{
    if (texture == -1)
        return 0;
    glEnable(GL_TEXTURE_2D);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, (GLuint)texture);
    glBegin(GL_QUADS);
    glTexCoord2f(u, v);
    glVertex2f((float)x, (float)y);
    glTexCoord2f(u, v + v_size);
    glVertex2f((float)x, (float)(y + h));
    glTexCoord2f(u + u_size, v + v_size);
    glVertex2f((float)(x + w), (float)(y + h));
    glTexCoord2f(u + u_size, v);
    glVertex2f((float)(x + w), (float)y);
    glEnd();
    glDisable(GL_TEXTURE_2D);   // flat primitives drawn next must not be textured
    return 0;
}
