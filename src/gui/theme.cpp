// Shared widget drawing: the themed frame, theme quads and the text convention.
#include "gui/object.h"

#include <allegro.h>
#include <alleggl.h>

void theme_begin(int texture)
{
    allegro_gl_unset_allegro_mode();
    allegro_gl_set_projection();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, (GLuint)texture);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
}

void theme_quad(float x0, float y0, float x1, float y1,
                theme_uv top_left, theme_uv bottom_left, theme_uv bottom_right, theme_uv top_right)
{
    const float cell = 1.0f / 64.0f;
    glTexCoord2f(top_left.u * cell, top_left.v * cell);
    glVertex2f(x0, y0);
    glTexCoord2f(bottom_left.u * cell, bottom_left.v * cell);
    glVertex2f(x0, y1);
    glTexCoord2f(bottom_right.u * cell, bottom_right.v * cell);
    glVertex2f(x1, y1);
    glTexCoord2f(top_right.u * cell, top_right.v * cell);
    glVertex2f(x1, y0);
}

void theme_end()
{
    glEnd();
    allegro_gl_unset_projection();
    allegro_gl_set_allegro_mode();
    glDisable(GL_TEXTURE_2D);
}

// The frame's pieces: corner cells 4..6 x 0..2, edge strip 4..6 x 3..4.
// Column 4 is the outer line of every frame, column 5 the inner one.
void draw_frame(BITMAP *target, int texture, int x, int y, int w, int h)
{
    if (texture == -1) {
        rect(target, x, y, x + w, y + h, makecol(0, 0, 0));
        return;
    }
    float x0 = (float)x, x1 = (float)(x + 2), x2 = (float)(x + w - 2), x3 = (float)(x + w);
    float y0 = (float)y, y1 = (float)(y + 2), y2 = (float)(y + h - 2), y3 = (float)(y + h);
    const float cu0 = 4, cu1 = 6, cv0 = 0, cv1 = 2;   // corner
    const float eu0 = 4, eu1 = 6, ev0 = 3, ev1 = 4;   // edge strip

    theme_begin(texture);
    // Corners: as stored at the top left, mirrored into the other three.
    theme_quad(x0, y0, x1, y1, {cu0, cv0}, {cu0, cv1}, {cu1, cv1}, {cu1, cv0});
    theme_quad(x0, y2, x1, y3, {cu0, cv1}, {cu0, cv0}, {cu1, cv0}, {cu1, cv1});
    theme_quad(x2, y0, x3, y1, {cu1, cv0}, {cu1, cv1}, {cu0, cv1}, {cu0, cv0});
    theme_quad(x2, y2, x3, y3, {cu1, cv1}, {cu1, cv0}, {cu0, cv0}, {cu0, cv1});
    // Left and right edges: the strip stretched vertically, outer column out.
    theme_quad(x0, y1, x1, y2, {eu0, ev0}, {eu0, ev1}, {eu1, ev1}, {eu1, ev0});
    theme_quad(x2, y1, x3, y2, {eu1, ev0}, {eu1, ev1}, {eu0, ev1}, {eu0, ev0});
    // Top and bottom edges: the strip turned a quarter, outer column out.
    theme_quad(x1, y0, x2, y1, {eu0, ev0}, {eu1, ev0}, {eu1, ev1}, {eu0, ev1});
    theme_quad(x1, y2, x2, y3, {eu1, ev0}, {eu0, ev0}, {eu0, ev1}, {eu1, ev1});
    theme_end();
}

void draw_text(int x, int y, const char *text)
{
    if (!text)
        return;
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    allegro_gl_printf_ex(font, (float)x, (float)y, 0.0f, "%s", text);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_BLEND);
    // Allegro-mode primitives are textured too while GL_TEXTURE_2D is on, so
    // a rectfill drawn after the text would take its colour from the font.
    glDisable(GL_TEXTURE_2D);
}

int gui_text_length(const char *text)
{
    return text ? text_length(font, text) : 0;
}

int gui_text_height()
{
    return text_height(font);
}
