// The list box: rows, selection by mouse and arrow keys, cutting long items, drawing.
#include "gui/listbox.h"

#include <allegro.h>
#include <alleggl.h>

#include <stdio.h>
#include <string.h>

static int row_height()
{
    return gui_text_height() + 2;
}

int listbox::rows() const
{
    int r = (h - 4) / row_height();
    return r > 0 ? r : 0;
}

int listbox::top_row() const
{
    return scroll.get_offset(items ? count : 0, rows());
}

void listbox::update_range()
{
    scroll.set_range(items ? count : 0, (h - 10) / row_height());
}

void listbox::select(int index)
{
    int m = count - rows();
    if (!items || index < 0 || index >= count) {
        selected = -1;
        scroll.set_offset(m, 0);
        return;
    }
    selected = index;
    scroll.set_offset(m, index < m ? index : m);
}

void listbox::attach(gui_manager *manager)
{
    dock_scrollbar(&scroll, this);
    update_range();
    manager->add(&scroll);
}

void listbox::show()
{
    visible = true;
    scroll.visible = true;
}

void listbox::hide()
{
    visible = false;
    scroll.visible = false;
}

int listbox::handle_event(int type, int value)
{
    scroll.handle_event(type, value);   // the wheel over the list scrolls it
    if (input_mouse_x() - x >= w - 12)
        return 0;
    int n = items ? count : 0;
    int old = selected;
    if (type == EVENT_LEFT_BUTTON && value == 1) {
        int row = (input_mouse_y() - y - 5) / row_height();
        int index = top_row() + row;
        if (index >= 0 && index < n)
            selected = index;
    } else if (type == EVENT_KEY) {
        int current = (selected >= 0 && selected < n) ? selected : -1;
        if (value == 0x5400 && current > 0)
            select(current - 1);
        else if (value == 0x5500 && current < n - 1)
            select(current + 1);
    } else {
        return 0;
    }
    if (selected != old && on_change)
        on_change(selected);
    return 0;
}

void listbox::row_text(int i, char *out, int out_size) const
{
    char cut[100];
    const char *text = (items && i >= 0 && i < count && items[i]) ? items[i] : "";
    char number[16];
    snprintf(number, sizeof number, "%d", i);
    int margin = 10 + (numbered ? gui_text_length(number) : 0);
    int n = 0;
    cut[0] = 0;
    while (n < 99 && text[n]) {
        cut[n] = text[n];
        cut[n + 1] = 0;
        if (gui_text_length(cut) + margin > w - 22) {
            cut[n] = 0;
            break;
        }
        n++;
    }
    if (numbered)
        snprintf(out, out_size, "%d: %s", i, cut);
    else
        snprintf(out, out_size, "%s", cut);
}

int listbox::draw(BITMAP *target)
{
    glDisable(GL_TEXTURE_2D);
    rectfill(target, x, y, x + w, y + h, makecol(255, 255, 255));
    int n = items ? count : 0;
    int visible_rows = rows();
    int top = top_row();
    int rh = row_height();
    char text[128];
    for (int r = 0; r < visible_rows && top + r < n; r++) {
        int i = top + r;
        int ry = y + r * rh;
        if (i == selected) {
            glDisable(GL_TEXTURE_2D);
            rectfill(target, x + 4, ry + 4, x + w - 14, ry + 13, makecol(100, 200, 255));
        }
        row_text(i, text, sizeof text);
        draw_text(x + 5, ry + 5, text);
    }
    draw_frame(target, theme, x, y, w, h);
    scroll.draw(target);
    return 0;
}
