// Drawing one model with OpenGL, alone or framed in the 3D view.
#include "render/model_render.h"

#include <allegro.h>
#include <alleggl.h>
#include <GL/glu.h>
#include <stdio.h>

#include "gui/window.h"

static bool kind_is_textured(int kind)
{
    return (kind >= 2 && kind <= 7) || (kind >= 12 && kind <= 15);
}

// One corner: its texture coordinate first for textured kinds, then the
// vertex. The caller has checked the corner index against the vertex table.
static void send_corner(const model_polygon &p, const model &source, int c, bool textured)
{
    if (textured)
        glTexCoord2f(p.uv[c].u / 256.0f, p.uv[c].v / 256.0f);
    const float *v = source.vertices[p.corners[c]];
    glVertex3f(v[0], v[1], v[2]);
}

static void corner_colour(const model_polygon &p, int c)
{
    glColor3f(p.red[c] / 256.0f, p.green[c] / 256.0f, p.blue[c] / 256.0f);
}

void draw_model(const gl_texture_set *set, const level *lvl, int index, bool event, int flash_page)
{
    if (!lvl || index < 0)
        return;
    const model *list = event ? lvl->event_models : lvl->models;
    int count = event ? lvl->event_model_count : lvl->model_count;
    if (!list || index >= count)
        return;
    const model &r = list[index];
    // Instancing models draw their own polygons over another model's
    // vertices; a chain that loops or leaves the list draws nothing.
    int source_index = model_vertex_source(list, count, index);
    if (source_index < 0)
        return;
    const model &source = list[source_index];
    if (r.polygon_count < 1 || !r.polygons)
        return;

    // Texturing state as last set here: models use few pages, so the bind
    // and the enable are only sent when they change.
    int texturing = -1;                   // -1 unknown, 0 off, 1 on
    unsigned int bound = 0;
    bool bound_known = false;
    for (int i = 0; i < r.polygon_count; i++) {
        const model_polygon &p = r.polygons[i];
        int kind = polygon_kind(p.type);
        float fr = p.red[0] / 256.0f, fg = p.green[0] / 256.0f, fb = p.blue[0] / 256.0f;
        bool textured = kind_is_textured(kind);
        bool page_known = p.texture >= 0 && p.texture < lvl->texture_count && lvl->textures;
        int slot = 0;
        if (textured) {
            if (page_known)
                slot = lvl->textures[p.texture].palette_slot;
            if (p.texture == flash_page) {
                fr = 1.0f;
                fg = 0.0f;
                fb = 1.0f;
            }
        }
        // The decoder logged these kinds once when the level was read.
        if (kind < 0 || kind == 2 || kind == 3) continue;
        if (p.unsafe)
            continue;
        int n = (kind & 1) ? 4 : 3;
        bool corners_ok = source.vertices != nullptr;
        for (int c = 0; c < n && corners_ok; c++)
            if (p.corners[c] < 0 || p.corners[c] >= source.vertex_count)
                corners_ok = false;
        if (!corners_ok)
            continue;

        if (textured) {
            if (texturing != 1)
                glEnable(GL_TEXTURE_2D);
            texturing = 1;
            unsigned int name = page_known && set ? gl_texture_for(set, p.texture, slot) : 0;
            if (!bound_known || name != bound)
                glBindTexture(GL_TEXTURE_2D, name);
            bound = name;
            bound_known = true;
        } else {
            if (texturing != 0)
                glDisable(GL_TEXTURE_2D);
            texturing = 0;
        }

        glBegin(n == 4 ? GL_QUADS : GL_TRIANGLES);
        glColor3f(fr, fg, fb);
        if (kind == 7)
            glColor3f(1.0f, 1.0f, 1.0f);
        for (int c = 0; c < n; c++) {
            if (c > 0 && (kind == 6 || kind == 7))
                corner_colour(p, c);
            send_corner(p, source, c, textured);
        }
        glEnd();

        // The outline runs the corners backwards with whatever colour and
        // texture the filled primitive left.
        glBegin(GL_LINE_LOOP);
        for (int c = n - 1; c >= 0; c--)
            send_corner(p, source, c, textured);
        glEnd();
    }
}

void draw_model_view(const model_scene *scene, const render3d *view)
{
    int x = view->x, y = view->y, w = view->w, h = view->h;
    rectfill(screen, x, y, x + w, y + h, makecol(100, 200, 255));
    rect(screen, x, y, x + w, y + h, makecol(0, 0, 0));

    const level *lvl = scene->lvl;
    int index = scene->index;
    if (!lvl || lvl->load_mask == 0 || index < 0)
        return;
    const model *list = scene->event ? lvl->event_models : lvl->models;
    int count = scene->event ? lvl->event_model_count : lvl->model_count;
    // The camera backs off by the model's radius. A stale selection beyond
    // the list, or a view without area (no aspect ratio), draws nothing further.
    if (!list || index >= count || w <= 0 || h <= 0)
        return;
    float radius = list[index].radius;

    allegro_gl_unset_allegro_mode();
    glEnable(GL_DEPTH_TEST);

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPerspective(45.0, (float)w / (float)h, 0.1, 40000.0);

    int screen_h = SCREEN_H;
    glViewport(x, screen_h - (y + h), w, h);

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(0.0f, 0.0f, -1000.0f - radius - view->distance);
    glTranslatef(view->pan_x, view->pan_y, 0.0f);
    glRotatef(view->pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(view->yaw, 0.0f, 1.0f, 0.0f);

    draw_model(scene->textures, lvl, index, scene->event, scene->flash_page);

    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glViewport(0, 0, SCREEN_W, SCREEN_H);
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();

    allegro_gl_set_allegro_mode();
}
