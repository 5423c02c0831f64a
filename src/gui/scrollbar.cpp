// The scroll bar: range and offset arithmetic, dragging, arrow repeat, wheel, drawing.
#include "gui/scrollbar.h"

#include <allegro.h>
#include <alleggl.h>

#include <math.h>

int scrollbar::track() const
{
    int length = vertical ? h - 2 * w : w - 2 * h;
    return length > 0 ? length : 0;
}

// Keeps the thumb inside the track whatever the owner did to the sizes.
static float clamp_position(float position, float room)
{
    if (room <= 0.0f || position <= 0.0f)
        return 0.0f;
    return position > room ? room : position;
}

void scrollbar::set_range(int total, int visible)
{
    // Empty content, or content that fits, shows no thumb and keeps the rest.
    if (total <= 0 || visible >= total) {
        scrollable = false;
        return;
    }
    float ratio = (float)visible / (float)total;
    float t = (float)track();
    float thumb = (float)(int)(t * ratio);
    scrollable = true;
    thumb_size = thumb > 0.0f ? thumb : 0.0f;   // a negative view shows an empty thumb
    position = clamp_position(position, t - thumb_size);
}

int scrollbar::get_offset(int total, int visible) const
{
    if (!scrollable || total <= visible)
        return 0;
    float room = (float)track() - thumb_size;
    if (room <= 0.0f)   // a thumb filling the track: nowhere to scroll
        return 0;
    int offset = (int)floorf((float)(total - visible) * position / room);
    if (offset < 0)
        return 0;
    return offset > total - visible ? total - visible : offset;
}

void scrollbar::set_offset(int max_offset, int offset)
{
    float room = (float)track() - thumb_size;
    if (max_offset <= 0 || room <= 0.0f) {
        position = 0.0f;
        return;
    }
    position = clamp_position(room * (float)offset / (float)max_offset, room);
}

int scrollbar::handle_event(int type, int value)
{
    if (type == EVENT_LEFT_BUTTON && value == 1) {
        int px = input_mouse_x(), py = input_mouse_y();
        if (!contains(this, px, py))
            return 0;
        active = true;
        int start = vertical ? y + w : x + h;
        int p = vertical ? py : px;
        if (start + position < p && p < start + position + thumb_size) {
            dragging = true;
            grab = (int)((float)p - position);
        }
        return 1;
    }
    if (type == EVENT_LEFT_BUTTON && value == 0) {
        active = false;
        dragging = false;
        return 0;
    }
    if (type == EVENT_WHEEL && scrollable) {
        float room = (float)track() - thumb_size;
        float moved = position + (float)value * (float)wheel_step;
        if (moved <= 0.0f)
            position = 0.0f;
        else if (moved >= room)
            position = room > 0.0f ? room : 0.0f;
        else
            position = moved;
    }
    return 0;
}

int scrollbar::update()
{
    if (!active)
        return 1;
    float t_len = (float)track();
    int p = vertical ? input_mouse_y() : input_mouse_x();
    if (dragging) {
        float d = (float)(p - grab);
        if (d <= 0.0f)
            position = 0.0f;
        else if (d + thumb_size < t_len)
            position = d;
        else
            position = t_len - thumb_size > 0.0f ? t_len - thumb_size : 0.0f;
        return 0;
    }
    // Held on an arrow (or past either end): one pixel a pass. The trough
    // does not page.
    int s = vertical ? y : x;
    int length = vertical ? h : w;
    int t = vertical ? w : h;
    if (p < s + t && position - 1.0f >= 0.0f)
        position -= 1.0f;
    else if (p > s + length - t && position + thumb_size < t_len)
        position += 1.0f;
    return 0;
}

int scrollbar::draw(BITMAP *target)
{
    if (theme == -1)
        draw_flat(target);
    else
        draw_themed();
    return 0;
}

void scrollbar::draw_flat(BITMAP *target)
{
    glDisable(GL_TEXTURE_2D);
    int black = makecol(0, 0, 0);
    rectfill(target, x, y, x + w, y + h, makecol(255, 255, 255));
    rect(target, x, y, x + w, y + h, black);
    if (vertical) {
        hline(target, x, y + w, x + w, black);
        hline(target, x, y + h - w, x + w, black);
        triangle(target, x + 3, y + w - 3, x + w / 2, y + 3, x + w - 3, y + w - 3, black);
        triangle(target, x + 3, y + h - w + 3, x + w / 2, y + h - 3, x + w - 3, y + h - w + 3, black);
        if (scrollable)
            rectfill(target, x, (int)((float)(y + w) + position), x + w,
                     (int)((float)(y + w) + position + thumb_size), black);
    } else {
        vline(target, x + h, y, y + h, black);
        vline(target, x + w - h, y, y + h, black);
        triangle(target, x + h - 3, y + h - 3, x + 3, y + h / 2, x + h - 3, y + 3, black);
        triangle(target, x + w - h + 3, y + 3, x + w - 3, y + h / 2, x + w - h + 3, y + h - 3, black);
        if (scrollable)
            rectfill(target, (int)((float)(x + h) + position), y,
                     (int)((float)(x + h) + position + thumb_size), y + h, black);
    }
}

// Theme pieces, columns 7..18 (column 7 along the bar's left or top edge),
// rows: first arrow 0..11 (row 0 outermost), thumb start cap 12..13, thumb
// body 14..15, thumb end cap 16..17, second arrow 18..29 (row 29 outermost),
// trough 30..31. Along the bar a piece spans [r0, r1] of theme rows; across
// it, columns 7..18. For a vertical bar theme rows run down the screen; a
// horizontal bar shows the same image turned so that rows run to the right
// and column 7 lies along the top.
void scrollbar::draw_themed()
{
    const float c0 = 7, c1 = 18;
    float a = (float)(vertical ? y : x);
    float b = (float)(vertical ? y + h : x + w);
    float t = (float)(vertical ? w : h);
    float P = a + t + position, T = thumb_size;

    // One piece from along-axis a0..a1 with theme row r0 at a0 and r1 at a1.
    auto piece = [&](float a0, float a1, float r0, float r1) {
        if (vertical)
            theme_quad((float)x, a0, (float)(x + w), a1,
                       {c0, r0}, {c0, r1}, {c1, r1}, {c1, r0});
        else
            theme_quad(a0, (float)y, a1, (float)(y + h),
                       {c0, r0}, {c1, r0}, {c1, r1}, {c0, r1});
    };

    theme_begin(theme);
    piece(a, a + t, 0, 11);
    piece(b - t, b, 18, 29);
    piece(a + t, b - t, 30, 31);
    if (scrollable) {
        if (vertical) {
            piece(P, P + 1, 12, 13);
            piece(P + 1, P + T - 1, 14, 15);
            piece(P + T - 1, P + T, 16, 17);
        } else {
            piece(P, P + 1, 13, 12);
            piece(P + 1, P + T, 14, 15);
            piece(P + T, P + T + 1, 17, 16);
        }
    }
    theme_end();
}

void dock_scrollbar(scrollbar *bar, const object *owner)
{
    bar->x = owner->x + owner->w - 10;
    bar->y = owner->y;
    bar->w = 10;
    bar->h = owner->h;
}
