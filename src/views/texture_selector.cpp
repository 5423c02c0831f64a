// The texture selector: one page at full size whose named rectangles the user marks for import.
#include "views/texture_selector.h"

#include <allegro.h>
#include <alleggl.h>

#include "render/gl_textures.h"
#include "level/level.h"

texture_selector::texture_selector()
{
    theme = -1;
}

void texture_selector::prepare(int page_index, int slot)
{
    names.clear();
    selected.clear();
    page = page_index;
    palette_slot = slot;
    if (!level || !level->texture_names)
        return;
    for (int i = 0; i < level->texture_name_count; i++) {
        if (level->texture_names[i].texture == page_index) {
            names.push_back(&level->texture_names[i]);
            selected.push_back(false);
        }
    }
}

void texture_selector::select_all()
{
    for (size_t i = 0; i < selected.size(); i++)
        selected[i] = true;
}

int texture_selector::toggle_at(int px, int py)
{
    int toggled = 0;
    for (size_t i = 0; i < names.size(); i++) {
        const ::texture_name *n = names[i];
        if (n->x < px && px < n->x + n->w && n->y < py && py < n->y + n->h) {
            selected[i] = !selected[i];
            toggled++;
        }
    }
    return toggled;
}

int texture_selector::handle_event(int type, int value)
{
    if (type != EVENT_LEFT_BUTTON || value != 1)
        return 0;
    // The page's top-left corner lies at the widget's centre less 128.
    int px = input_mouse_x() - (x + w / 2) + 128;
    int py = input_mouse_y() - (y + h / 2) + 128;
    toggle_at(px, py);
    return 0;
}

int texture_selector::update() { return 0; }

int texture_selector::draw(BITMAP *target)
{
    rectfill(target, x, y, x + w, y + h, makecol(255, 255, 255));
    float X = (float)(x + w / 2 - 128), Y = (float)(y + h / 2 - 128);

    allegro_gl_unset_allegro_mode();
    allegro_gl_set_projection();
    glEnable(GL_TEXTURE_2D);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, texture_set ? gl_texture_for(texture_set, page, palette_slot) : 0);
    // Corners run counter-clockwise on the GL side so face culling keeps them.
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f); glVertex2f(X, Y);
    glTexCoord2f(0.0f, 1.0f); glVertex2f(X, Y + 256.0f);
    glTexCoord2f(1.0f, 1.0f); glVertex2f(X + 256.0f, Y + 256.0f);
    glTexCoord2f(1.0f, 0.0f); glVertex2f(X + 256.0f, Y);
    glEnd();
    glDisable(GL_TEXTURE_2D);

    for (size_t i = 0; i < names.size(); i++) {
        const ::texture_name *n = names[i];
        float x0 = X + n->x, y0 = Y + n->y, x1 = x0 + n->w, y1 = y0 + n->h;
        glColor3f(1.0f, 1.0f, 0.0f);
        glBegin(GL_LINE_STRIP);
        glVertex2f(x0, y0);
        glVertex2f(x0, y1);
        glVertex2f(x1, y1);
        glVertex2f(x1, y0);
        glVertex2f(x0, y0);
        glEnd();
        if (selected[i]) {
            // The marks are translucent: the alpha test would drop them and
            // the text convention leaves blending off, so both are set here.
            GLboolean blending = glIsEnabled(GL_BLEND);
            glDisable(GL_ALPHA_TEST);
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            glColor4f(0.0f, 1.0f, 0.0f, 0.4f);
            glBegin(GL_QUADS);
            glVertex2f(x0, y0);
            glVertex2f(x0, y1);
            glVertex2f(x1, y1);
            glVertex2f(x1, y0);
            glEnd();
            if (!blending)
                glDisable(GL_BLEND);
            glEnable(GL_ALPHA_TEST);
        }
    }
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

    allegro_gl_unset_projection();
    allegro_gl_set_allegro_mode();
    return 0;
}
