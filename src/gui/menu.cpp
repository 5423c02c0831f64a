// Menu-bar title buttons and their drop-down lists: building, layout, the
// open/close rules of the title, row hover tracking and row presses.
//
// Sections: helpers; menu_chunk (layout, hover, presses, drawing);
// menu (building, close, title events, drawing, attach).
#include "gui/menu.h"

#include <allegro.h>
#include <alleggl.h>

// -------------------------------------------------------------------- helpers

static int row_height()
{
    return gui_text_height() + 2;
}

// A null label measures and draws as an empty one.
static const char *label_text(const char *label)
{
    return label ? label : "";
}

// Greys a disabled row by a translucent white veil over its text: the font
// is drawn by darkening, so it cannot be drawn in grey itself.
static void veil_row(int x0, int y0, int x1, int y1)
{
    allegro_gl_unset_allegro_mode();
    allegro_gl_set_projection();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1.0f, 1.0f, 1.0f, 0.6f);
    glBegin(GL_QUADS);
    glVertex2f((float)x0, (float)y0);
    glVertex2f((float)x0, (float)y1);
    glVertex2f((float)x1, (float)y1);
    glVertex2f((float)x1, (float)y0);
    glEnd();
    glDisable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    allegro_gl_unset_projection();
    allegro_gl_set_allegro_mode();
}

// ----------------------------------------------------------------- menu_chunk

menu_chunk::menu_chunk()
    : hovered_row(-1), open_row(-1), owner(nullptr)
{
    visible = false;
    theme = -1;
    w = -1;   // not laid out yet
}

void menu_chunk::append_row(const char *label, menu_command command, menu_chunk *sub_chunk, const char *shortcut)
{
    labels.push_back(label);
    shortcuts.push_back(shortcut);
    disabled.push_back(false);
    commands.push_back(command);
    sub_chunks.push_back(sub_chunk);
}

void menu_chunk::clear_rows()
{
    labels.clear();
    shortcuts.clear();
    disabled.clear();
    commands.clear();
    sub_chunks.clear();
    hovered_row = -1;
    open_row = -1;
}

void menu_chunk::add_row(const char *label, menu_command command, const char *shortcut)
{
    append_row(label, command, nullptr, shortcut);
}

// Shortcuts stand this far right of the widest label.
enum { SHORTCUT_GAP = 24 };

static int widest_shortcut(const menu_chunk *chunk)
{
    int widest = 0;
    for (const char *shortcut : chunk->shortcuts)
        if (shortcut && gui_text_length(shortcut) > widest)
            widest = gui_text_length(shortcut);
    return widest;
}

void menu_chunk::layout(int px, int py)
{
    x = px;
    y = py;
    int widest = 0;
    for (int i = 0; i < row_count(); i++) {
        int width = gui_text_length(label_text(labels[i]));
        if (!commands[i] && sub_chunks[i])
            width += 5;   // room for the sub-menu marker in the label
        if (width > widest)
            widest = width;
    }
    int shortcut_width = widest_shortcut(this);
    if (shortcut_width > 0)
        widest += SHORTCUT_GAP + shortcut_width;
    w = 6 + widest;
    h = row_count() * row_height() + 4;
    for (int i = 0; i < row_count(); i++)
        if (sub_chunks[i])
            sub_chunks[i]->layout(x + w, y + i * row_height());
}

int menu_chunk::row_at(int px, int py) const
{
    if (!(x < px && px < x + w))
        return -1;
    int row = (py - y - 3) / row_height();   // C division: rounds towards zero
    if (row < 0 || row >= row_count())
        return -1;
    return row;
}

// A closed list forgets its hovered row: otherwise a press in the very pass
// that the pointer enters the list again (before hover tracking has caught
// up) would run the command of the row hovered when it closed.
void menu_chunk::close()
{
    for (menu_chunk *sub : sub_chunks)
        if (sub)
            sub->close();
    visible = false;
    hovered_row = -1;
}

// Tracks the hovered row while the pointer stays within the chunk's columns;
// leaving them ends the tracking.
int menu_chunk::update()
{
    if (!(x < input_mouse_x() && input_mouse_x() < x + w)) {
        hovered_row = -1;
        return 1;
    }
    hovered_row = row_at(input_mouse_x(), input_mouse_y());
    return 0;
}

int menu_chunk::handle_event(int type, int value)
{
    if (type == EVENT_HOVER)
        return value == 1 ? 1 : 0;
    if (type != EVENT_LEFT_BUTTON || value != 1)
        return 0;

    int row = hovered_row;
    if (row < 0 || row >= row_count()) {
        // A press on the margins folds away the sub-menus but keeps this list.
        for (menu_chunk *sub : sub_chunks)
            if (sub)
                sub->close();
        return 0;
    }
    if (disabled[row])
        return 0;
    if (commands[row]) {
        // The command runs while the menu is still open.
        commands[row]();
        if (owner)
            owner->close();
        return 0;
    }
    menu_chunk *sub = sub_chunks[row];
    if (!sub)
        return 0;   // a row with neither command nor sub-menu does nothing
    if (open_row != -1 && open_row != row && open_row < row_count() && sub_chunks[open_row])
        sub_chunks[open_row]->close();
    if (sub->visible)
        sub->close();
    else
        sub->visible = true;
    open_row = row;
    return 0;
}

int menu_chunk::draw(BITMAP *target)
{
    int th = gui_text_height();
    glDisable(GL_TEXTURE_2D);
    rectfill(target, x, y, x + w, y + h, makecol(255, 255, 255));
    if (hovered_row >= 0 && hovered_row < row_count()) {
        int top = y + hovered_row * (th + 2) + 3;
        bool live = (commands[hovered_row] || sub_chunks[hovered_row]) && !disabled[hovered_row];
        rectfill(target, x + 2, top, x + w - 2, top + th,
                 live ? makecol(0, 200, 255) : makecol(200, 200, 200));
    }
    rect(target, x, y, x + w, y + h, makecol(0, 0, 0));
    int shortcut_x = x + w - 3 - widest_shortcut(this);
    for (int i = 0; i < row_count(); i++) {
        int top = y + i * (th + 2) + 3;
        draw_text(x + 3, top, label_text(labels[i]));
        if (shortcuts[i])
            draw_text(shortcut_x, top, shortcuts[i]);
        if (disabled[i])
            veil_row(x + 2, top, x + w - 2, top + th);
    }
    return 0;
}

void menu_chunk::hide()
{
    visible = false;
    hovered_row = -1;
}

// ----------------------------------------------------------------------- menu

menu::menu()
    : current_chunk(-1), press_count(0), hovered(false), label(nullptr)
{
    theme = -1;
}

menu::~menu()
{
    for (menu_chunk *chunk : chunks)
        delete chunk;
}

menu_chunk *menu::new_chunk()
{
    menu_chunk *chunk = new menu_chunk();
    chunk->owner = this;
    chunks.push_back(chunk);
    return chunk;
}

// The chunk that receives the next row, creating the top drop-down first.
menu_chunk *menu::chunk_for_rows()
{
    if (chunks.empty()) {
        new_chunk();
        current_chunk = 0;
    }
    return chunks[current_chunk];
}

void menu::add_entry(const char *entry_label, menu_command command, const char *shortcut)
{
    chunk_for_rows()->append_row(entry_label, command, nullptr, shortcut);
}

void menu::begin_submenu(const char *entry_label)
{
    menu_chunk *parent = chunk_for_rows();
    menu_chunk *sub = new_chunk();
    parent->append_row(entry_label, nullptr, sub, nullptr);
    chunk_stack.push_back(current_chunk);
    current_chunk = (int)chunks.size() - 1;
}

// An unbalanced end is ignored rather than popping an empty stack.
void menu::end_submenu()
{
    if (chunk_stack.empty())
        return;
    current_chunk = chunk_stack.back();
    chunk_stack.pop_back();
}

void menu::close()
{
    press_count = 0;
    if (!contains(this, input_mouse_x(), input_mouse_y()))
        hovered = false;
    for (menu_chunk *chunk : chunks) {
        chunk->visible = false;
        chunk->hovered_row = -1;   // see menu_chunk::close
    }
}

int menu::handle_event(int type, int value)
{
    if (type == EVENT_HOVER) {
        if (value == 1)
            hovered = true;
        else if (press_count == 0)
            hovered = false;   // an open menu keeps its title lit
        return 0;
    }
    if (type != EVENT_LEFT_BUTTON)
        return 0;

    if (value == 1) {
        if (press_count == 0) {
            hovered = true;
            if (!chunks.empty())
                chunks[0]->visible = true;
        }
        press_count++;
        return 0;
    }

    // Release: every visible widget hears it, wherever the pointer is.
    if (press_count == 2) {
        hovered = false;
        if (!chunks.empty())
            chunks[0]->close();
        press_count = 0;
    }
    if (contains(this, input_mouse_x(), input_mouse_y()))
        return 0;
    for (menu_chunk *chunk : chunks)
        if (chunk->visible && contains(chunk, input_mouse_x(), input_mouse_y()))
            return 0;
    close();
    return 0;
}

int menu::update()
{
    return 0;
}

int menu::draw(BITMAP *target)
{
    if (theme == -1) {
        glDisable(GL_TEXTURE_2D);
        rectfill(target, x, y, x + w, y + h,
                 hovered ? makecol(0, 128, 255) : makecol(200, 200, 200));
    } else {
        // Columns 0..1 of the theme when lit, 2..3 otherwise; rows 0..20.
        float u0 = hovered ? 0.0f : 2.0f, u1 = u0 + 1.0f;
        theme_begin(theme);
        theme_quad((float)x, (float)y, (float)(x + w), (float)(y + h),
                   theme_uv{u0, 0.0f}, theme_uv{u0, 20.0f}, theme_uv{u1, 20.0f}, theme_uv{u1, 0.0f});
        theme_end();
    }
    const char *text = label_text(label);
    draw_text(x + w / 2 - gui_text_length(text) / 2,
              y + h / 2 - gui_text_height() / 2, text);
    return 0;
}

void menu::attach(gui_manager *manager)
{
    if (!chunks.empty())
        chunks[0]->layout(x, y + h);
    for (menu_chunk *chunk : chunks)
        manager->add(chunk);
}

void menu::hide()
{
    visible = false;
    close();
}
