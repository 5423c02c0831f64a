// The read-only text box (line splitting, scrolling, drawing) and the search
// box (typing, Enter, searching the items, the red not-found state).
//
// Sections: helpers; textbox; searchbox.
#include "gui/textbox.h"

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include <allegro.h>
#include <alleggl.h>

// -------------------------------------------------------------------- helpers

static int char_width(char c)
{
    char one[2] = { c, 0 };
    return gui_text_length(one);
}

// -------------------------------------------------------------------- textbox

textbox::textbox()
    : text(nullptr), length(0), widest(0)
{
    visible = true;
    theme = -1;
}

textbox::~textbox()
{
    free_lines();
}

void textbox::free_lines()
{
    for (char *line : lines)
        free(line);
    lines.clear();
}

void textbox::layout()
{
    vscroll.x = x + w - 10;
    vscroll.y = y;
    vscroll.w = 10;
    vscroll.h = h - 10;
    vscroll.vertical = true;
    vscroll.wheel_step = 3;
    vscroll.scrollable = false;

    hscroll.x = x;
    hscroll.y = y + h - 10;
    hscroll.w = w - 10;
    hscroll.h = 10;
    hscroll.vertical = false;
    hscroll.wheel_step = 0;
    hscroll.scrollable = false;
}

int textbox::visible_rows() const
{
    int th = gui_text_height();
    return th > 0 ? (h - 10) / th : 0;
}

void textbox::rebuild_lines()
{
    free_lines();
    widest = 0;

    // A null text shows nothing whatever length claims.
    int n = text ? length : 0;
    int start = 0;
    for (int i = 0; i <= n; i++) {
        bool end_of_line = i < n && text[i] == '\n';
        bool tail = i == n && start < n;
        if (!end_of_line && !tail)
            continue;
        size_t size = (size_t)(i - start);
        char *line = (char *)malloc(size + 1);
        if (!line)
            break;   // keep the lines made so far
        memcpy(line, text + start, size);
        line[size] = 0;
        lines.push_back(line);
        int width = gui_text_length(line);
        if (width > widest)
            widest = width;
        start = i + 1;
    }

    vscroll.set_range((int)lines.size(), visible_rows());
    // Show the end of the text. Never below 0: a box too short for any track
    // would otherwise leave the thumb before the start.
    float end = (float)vscroll.track() - vscroll.thumb_size;
    vscroll.position = end > 0.0f ? end : 0.0f;

    hscroll.set_range(widest, w - 10);
    int last_width = lines.empty() ? 0 : gui_text_length(lines.back());
    hscroll.set_offset(widest, last_width >= w ? last_width : 0);
}

int textbox::first_shown_char(const char *line, int hoff)
{
    int i = 0;
    if (hoff < 1)
        return 0;
    int skipped = 0;
    while (line[i] && skipped < hoff) {
        skipped += char_width(line[i]);
        i++;
    }
    return i;
}

int textbox::handle_event(int type, int value)
{
    if (type == EVENT_WHEEL && input_mouse_y() < y + h - 10 && input_mouse_x() < x + w - 10)
        vscroll.handle_event(type, value);
    return 0;
}

int textbox::update()
{
    return 0;
}

int textbox::draw(BITMAP *target)
{
    int th = gui_text_height();
    int line_count = (int)lines.size();
    int first = vscroll.get_offset(line_count, visible_rows());
    int hoff = hscroll.get_offset(widest, w - 10);

    glDisable(GL_TEXTURE_2D);
    rectfill(target, x, y, x + w, y + h, makecol(255, 255, 255));
    rect(target, x, y, x + w, y + h, makecol(0, 0, 0));

    for (int r = 0; first + r < line_count && r * th <= h - 10; r++) {
        const char *rest = lines[first + r] + first_shown_char(lines[first + r], hoff);
        int row_y = y + 2 + r * th;
        if (!*rest)
            continue;
        if (gui_text_length(rest) < w - 10) {
            draw_text(x + 2, row_y, rest);
            continue;
        }
        // Too wide: character by character up to the right edge.
        int offset = 0;
        for (int i = 0; rest[i] && offset < w - 10; i++) {
            char one[2] = { rest[i], 0 };
            draw_text(x + 2 + offset, row_y, one);
            offset += char_width(rest[i]);
        }
    }
    return 0;
}

void textbox::attach(gui_manager *manager)
{
    manager->add(&vscroll);
    manager->add(&hscroll);
}

void textbox::show()
{
    visible = true;
    vscroll.show();
    hscroll.show();
}

void textbox::hide()
{
    visible = false;
    vscroll.hide();
    hscroll.hide();
}

// ------------------------------------------------------------------ searchbox

searchbox::searchbox()
    : items(nullptr), count(0), next_index(0), on_search(nullptr),
      query_length(0), changed(false), not_found(false)
{
    memset(query, 0, sizeof query);
    visible = true;
    theme = -1;
}

int searchbox::find_next(const char *wanted)
{
    if (!items || !wanted)
        return -1;
    int start = next_index < 0 ? 0 : next_index;
    for (int i = start; i < count; i++) {
        const char *item = items[i];
        if (!item || !*item)
            continue;
        for (int p = 0; item[p]; p++) {
            if (strncmp(item + p, wanted, (size_t)query_length) == 0) {
                next_index = i + 1;
                return i;
            }
        }
    }
    return -1;
}

int searchbox::find_first(const char *wanted)
{
    next_index = 0;
    return find_next(wanted);
}

int searchbox::handle_event(int type, int value)
{
    if (type != EVENT_KEY)
        return 0;
    if (value == SEARCHBOX_KEY_BACKSPACE) {
        if (query_length > 0) {
            query_length--;
            query[query_length] = 0;
            changed = true;
            not_found = false;
        }
        return 0;
    }
    if (value == SEARCHBOX_KEY_ENTER) {
        int index = changed ? find_first(query) : find_next(query);
        if (on_search)
            on_search(index);
        if (index == -1)
            not_found = true;
        changed = false;
        return 0;
    }
    if (query_length < SEARCHBOX_QUERY_SIZE - 1) {
        query[query_length] = (char)toupper(value & 0xFF);
        query_length++;
        query[query_length] = 0;
        changed = true;
        not_found = false;
    }
    return 0;
}

int searchbox::update()
{
    return 0;
}

int searchbox::draw(BITMAP *target)
{
    glDisable(GL_TEXTURE_2D);
    rectfill(target, x, y, x + w, y + h,
             not_found ? makecol(255, 100, 100) : makecol(255, 255, 255));
    rect(target, x, y, x + w, y + h, makecol(0, 0, 0));
    draw_text(x + 2, y + h / 2 - gui_text_height() / 2, query);
    return 0;
}
