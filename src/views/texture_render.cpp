// The texture page view: the level's pages as a thumbnail grid, or its named textures in rows.
//
// Sections:
//   1. grid arithmetic and the single-texture row layout
//   2. construction, modes and programmatic selection
//   3. events: clicks, Control + wheel zoom, arrow keys, the double-click timer
//   4. drawing
#include "views/texture_render.h"

#include <allegro.h>
#include <alleggl.h>
#include <math.h>

#include "render/gl_textures.h"
#include "level/level.h"

// ---- 1. grid arithmetic and row layout -------------------------------------

int group_pitch(int thumbnail_size)
{
    return thumbnail_size + 10;
}

int group_columns(int view_w, int thumbnail_size)
{
    int n = (view_w - 20) / group_pitch(thumbnail_size);
    return n < 1 ? 1 : n;
}

int group_content_height(int page_count, int view_w, int thumbnail_size)
{
    int n = group_columns(view_w, thumbnail_size);
    int rows = (int)ceil((double)page_count / (double)n);
    return rows * group_pitch(thumbnail_size) + 10;
}

void row_layout_begin(row_layout *c)
{
    c->index = -1;
    c->rx = c->ry = c->rh = c->next_x = 0;
    c->w = c->h = 0;
}

bool row_layout_next(row_layout *c, const level *lvl, int view_w)
{
    if (!lvl || !lvl->texture_names || c->index + 1 >= lvl->texture_name_count)
        return false;
    c->index++;
    const texture_name &n = lvl->texture_names[c->index];
    // A name that does not fit opens a new row, even as the first of its
    // row (which leaves an empty row of height 0 behind).
    if (c->next_x + n.w + 10 > view_w - 10) {
        c->ry += c->rh + 10;
        c->next_x = 0;
        c->rh = 0;
    }
    c->rx = c->next_x;
    c->w = n.w;
    c->h = n.h;
    c->next_x += n.w + 10;
    if (n.h > c->rh)
        c->rh = n.h;
    return true;
}

int row_layout_height(const level *lvl, int view_w, int margin)
{
    row_layout c;
    row_layout_begin(&c);
    while (row_layout_next(&c, lvl, view_w)) {
    }
    return c.ry + c.rh + margin;
}

// ---- 2. construction, modes, programmatic selection ------------------------

texture_render::texture_render()
{
    theme = -1;
    scroll.visible = true;
}

void texture_render::set_mode(int new_mode)
{
    mode = (unsigned char)new_mode;
    lay_out();
}

void texture_render::lay_out(int single_margin)
{
    int pages = level ? level->texture_count : 0;
    columns = group_columns(w, thumbnail_size);
    group_content = group_content_height(pages, w, thumbnail_size);
    content_height = row_layout_height(level, w, single_margin);
    scroll.set_range(mode == TEXTURE_MODE_GROUP ? group_content : content_height, h);
    if (selected_name == -1)
        selected_name = 0;
}

int texture_render::group_offset() const
{
    return scroll.get_offset(group_content, h);
}

void texture_render::select_and_show(int index, bool group)
{
    if (group) {
        selected_texture = index;
        int row_top = (index / columns) * group_pitch(thumbnail_size);
        int largest = group_content - h;
        scroll.set_offset(largest, row_top < largest ? row_top : largest);
        return;
    }
    selected_name = index;
    row_layout c;
    row_layout_begin(&c);
    while (row_layout_next(&c, level, w)) {
        if (c.index != index)
            continue;
        int largest = content_height - h;
        scroll.set_offset(largest, largest > c.ry ? c.ry : largest);
        return;
    }
    // An index beyond the list leaves the scroll position alone.
}

// ---- 3. events -------------------------------------------------------------

int texture_render::group_hit(int mx, int my) const
{
    if (mx > x + w - 10)
        return -2;                       // the scroll bar strip
    int pitch = group_pitch(thumbnail_size);
    // Divisions truncate toward zero, so the 10-pixel margin at the left and
    // top belongs to column and row 0.
    int column = (mx - x - 10) / pitch;
    if (column > (w - thumbnail_size - 30) / pitch || column < 0)
        return -2;
    int row = (my - y + group_offset() - 10) / pitch;
    if (row < 0)
        return -2;
    return column + row * columns;
}

int texture_render::name_hit(int mx, int my)
{
    int px = mx - x - 10;
    int py = my - y + scroll.get_offset(content_height, h);
    row_layout c;
    row_layout_begin(&c);
    while (row_layout_next(&c, level, w)) {
        int top = c.ry + 10;
        if (top < py && py <= top + c.h && c.rx < px && px <= c.rx + c.w)
            return c.index;
    }
    return -1;
}

int texture_render::key_page() const
{
    if (!level || !level->textures)
        return -1;
    int page = -1;
    if (mode == TEXTURE_MODE_SINGLE) {
        if (selected_name >= 0 && selected_name < level->texture_name_count && level->texture_names)
            page = level->texture_names[selected_name].texture;
    } else {
        page = selected_texture;
    }
    // Page indices of texture names come from the file and may name no page.
    return page >= 0 && page < level->texture_count ? page : -1;
}

int texture_render::handle_event(int type, int value)
{
    bool control = input_key_down(KEY_LCONTROL);
    // The plain wheel scrolls through the embedded bar.
    if (!control)
        scroll.handle_event(type, value);

    if (type == EVENT_WHEEL) {
        if (!control)
            return 0;
        thumbnail_size = value < 1 ? thumbnail_size / 2 : thumbnail_size * 2;
        if (thumbnail_size < THUMBNAIL_MIN)
            thumbnail_size = THUMBNAIL_MIN;
        if (thumbnail_size > THUMBNAIL_MAX)
            thumbnail_size = THUMBNAIL_MAX;
        lay_out(10);
        return 0;
    }

    if (type == EVENT_LEFT_BUTTON && value == 1 && !control) {
        if (mode == TEXTURE_MODE_SINGLE) {
            int hit = name_hit(input_mouse_x(), input_mouse_y());
            if (hit >= 0 && hit != selected_name) {
                selected_name = hit;
                if (on_select)
                    on_select(hit, false);
            }
            return 0;
        }
        int p = group_hit(input_mouse_x(), input_mouse_y());
        if (p == -2)
            return 0;
        int pages = level ? level->texture_count : 0;
        int previous = selected_texture;
        if (p >= pages)
            p = previous;                // beyond the last page: still counts for the double click
        selected_texture = p;
        if (p != previous) {
            if (on_select)
                on_select(p, true);
            click_timer = 40;            // a new page never opens the zoom
        }
        if (zoomed == 0) {
            if (click_timer != -1 && click_timer < 30) {
                zoomed = 1;
                click_timer = 40;
                return 0;
            }
            click_timer = 0;
            return 1;                    // count frames in update()
        }
        zoomed = 0;
        return 0;
    }

    if (type == EVENT_KEY) {
        int page = key_page();
        if (page < 0)
            return 0;
        level_texture &t = level->textures[page];
        int scancode = (value >> 8) & 0xff;
        if (scancode == KEY_UP) {
            if (t.palette_slot + 1 < t.palette_slot_count)
                t.palette_slot++;
        } else if (scancode == KEY_DOWN) {
            if (t.palette_slot > 0)
                t.palette_slot--;
        }
        return 0;
    }
    return 0;
}

int texture_render::update()
{
    int next = click_timer + 1;
    if (next < 31) {
        click_timer = next;
        return 0;
    }
    click_timer = -1;
    return 1;
}

void texture_render::attach(gui_manager *manager)
{
    dock_scrollbar(&scroll, this);
    scroll.wheel_step = 3;
    lay_out();
    manager->add(&scroll);
}

void texture_render::show()
{
    visible = true;
    scroll.visible = true;
}

void texture_render::hide()
{
    visible = false;
    scroll.visible = false;
}

// ---- 4. drawing ------------------------------------------------------------

// A quad in the pixel projection. The corners run top-left, bottom-left,
// bottom-right, top-right: counter-clockwise once the y axis is flipped, so
// face culling keeps it.
static void textured_quad(float x0, float y0, float x1, float y1,
                          float u0, float v0, float u1, float v1)
{
    glBegin(GL_QUADS);
    glTexCoord2f(u0, v0); glVertex2f(x0, y0);
    glTexCoord2f(u0, v1); glVertex2f(x0, y1);
    glTexCoord2f(u1, v1); glVertex2f(x1, y1);
    glTexCoord2f(u1, v0); glVertex2f(x1, y0);
    glEnd();
}

// The three blue rings around the selected item, whose picture covers
// (x0, y0) to (x1, y1). Half-pixel centres keep each ring on one row or
// column of pixels just outside the picture.
static void selection_outlines(int x0, int y0, int x1, int y1)
{
    static const float colours[3][3] = {{0.2f, 0.7f, 1.0f}, {0.0f, 0.5f, 1.0f}, {0.0f, 0.0f, 1.0f}};
    glDisable(GL_TEXTURE_2D);
    for (int ring = 0; ring < 3; ring++) {
        float a = (float)(x0 - 1 - ring) + 0.5f, b = (float)(y0 - 1 - ring) + 0.5f;
        float c = (float)(x1 + ring) + 0.5f, d = (float)(y1 + ring) + 0.5f;
        glColor3f(colours[ring][0], colours[ring][1], colours[ring][2]);
        glBegin(GL_LINE_STRIP);
        glVertex2f(a, b);
        glVertex2f(c, b);
        glVertex2f(c, d);
        glVertex2f(a, d);
        glVertex2f(a, b);
        glEnd();
    }
    glEnable(GL_TEXTURE_2D);
}

static unsigned int page_texture(const gl_texture_set *set, const level *lvl, int page)
{
    if (page < 0 || page >= lvl->texture_count || !lvl->textures)
        return 0;
    return gl_texture_for(set, page, lvl->textures[page].palette_slot);
}

int texture_render::draw(BITMAP *target)
{
    rectfill(target, x, y, x + w, y + h, makecol(255, 255, 255));
    draw_frame(target, theme, x, y, w, h);
    if (!level || level->texture_count <= 0) {
        // Nothing open: say how to begin.
        static const char hint[] = "File > Open > LEV (Ctrl+O) opens a level";
        draw_text(x + (w - gui_text_length(hint)) / 2, y + h / 2 - gui_text_height() / 2, hint);
    }
    if (!texture_set || !level)
        return 0;

    allegro_gl_unset_allegro_mode();
    glScissor(x, SCREEN_H - (y + h), w, h);
    glEnable(GL_SCISSOR_TEST);
    allegro_gl_set_projection();
    glEnable(GL_TEXTURE_2D);

    if (mode == TEXTURE_MODE_GROUP) {
        int pitch = group_pitch(thumbnail_size);
        int page_offset = group_offset();
        int size = thumbnail_size;
        glPushMatrix();
        glTranslatef((float)x, (float)(y - page_offset % pitch), 0.0f);
        int column = 0, row = 0;
        for (int p = (page_offset / pitch) * columns; p < level->texture_count; p++) {
            if (column >= columns) {
                column = 0;
                if (row * pitch + 10 > h)
                    break;
                row++;
            }
            int cx = column * pitch, cy = row * pitch;
            glBindTexture(GL_TEXTURE_2D, page_texture(texture_set, level, p));
            if (p == selected_texture)
                selection_outlines(cx + 10, cy + 10, cx + 10 + size, cy + 10 + size);
            glColor3f(1.0f, 1.0f, 1.0f);
            textured_quad((float)(cx + 10), (float)(cy + 10), (float)(cx + 10 + size),
                          (float)(cy + 10 + size), 0.0f, 0.0f, 1.0f, 1.0f);
            column++;
        }
        glPopMatrix();

        if (zoomed == 1 && selected_texture != -1) {
            // Centred on the view's size, in screen coordinates.
            int cx = w / 2, cy = h / 2;
            glDisable(GL_TEXTURE_2D);
            allegro_gl_set_allegro_mode();
            rectfill(target, cx - 133, cy - 133, cx + 133, cy + 133, makecol(200, 200, 200));
            rect(target, cx - 133, cy - 133, cx + 133, cy + 133, makecol(0, 0, 0));
            allegro_gl_unset_allegro_mode();
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, page_texture(texture_set, level, selected_texture));
            glColor3f(1.0f, 1.0f, 1.0f);
            textured_quad((float)(cx - 128), (float)(cy - 128), (float)(cx + 128),
                          (float)(cy + 128), 0.0f, 0.0f, 1.0f, 1.0f);
        }
    } else {
        int offset = scroll.get_offset(content_height, h);
        glPushMatrix();
        glTranslatef((float)x, (float)(y - offset), 0.0f);
        row_layout c;
        row_layout_begin(&c);
        while (row_layout_next(&c, level, w)) {
            const texture_name &n = level->texture_names[c.index];
            int x0 = c.rx + 10, y0 = c.ry + 10;
            if (c.index == selected_name)
                selection_outlines(x0, y0, x0 + c.w, y0 + c.h);
            glColor3f(1.0f, 1.0f, 1.0f);
            glBindTexture(GL_TEXTURE_2D, page_texture(texture_set, level, n.texture));
            textured_quad((float)x0, (float)y0, (float)(x0 + c.w), (float)(y0 + c.h),
                          n.x / 256.0f, n.y / 256.0f, (n.x + n.w) / 256.0f, (n.y + n.h) / 256.0f);
        }
        glPopMatrix();
    }

    glDisable(GL_TEXTURE_2D);
    allegro_gl_unset_projection();
    glDisable(GL_SCISSOR_TEST);
    allegro_gl_set_allegro_mode();
    scroll.draw(target);
    return 0;
}
