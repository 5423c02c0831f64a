// The OpenGL window's set-up and the drawing of one frame.
#include "app/gl_window.h"

#include <allegro.h>
#include <alleggl.h>
#include <GL/glu.h>
#include <stdlib.h>

#include "gui/object.h"

void choose_gl_mode()
{
    allegro_gl_clear_settings();
    allegro_gl_set(AGL_COLOR_DEPTH, 32);
    allegro_gl_set(AGL_DOUBLEBUFFER, 1);
    allegro_gl_set(AGL_Z_DEPTH, 24);
    allegro_gl_set(AGL_WINDOWED, TRUE);
    allegro_gl_set(AGL_RENDERMETHOD, 1);
    allegro_gl_set(AGL_SUGGEST,
                   AGL_COLOR_DEPTH | AGL_DOUBLEBUFFER | AGL_Z_DEPTH | AGL_WINDOWED | AGL_RENDERMETHOD);
}

void set_gl_state()
{
    glEnable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.5f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glLoadIdentity();
}

size_t convert_font_for_gl()
{
    FONT *converted = allegro_gl_convert_allegro_font(font, AGL_FONT_TYPE_TEXTURED, -1.0f);
    if (!converted) return 0;
    font = converted;
    return allegro_gl_list_font_textures(font, nullptr, 0);
}

int upload_theme(const char *path)
{
    BITMAP *bitmap = load_bitmap(path, nullptr);
    if (!bitmap) return -1;
    allegro_gl_flip_texture(TRUE);
    GLuint texture = allegro_gl_make_texture_ex(0, bitmap, GL_RGB8);
    destroy_bitmap(bitmap);
    return texture == 0 ? -1 : (int)texture;
}

static void use_nearest_filter(GLuint texture)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
}

void set_nearest_filtering(size_t font_texture_count, int theme)
{
    if (font_texture_count > 0) {
        GLuint *names = (GLuint *)malloc(font_texture_count * sizeof(GLuint));
        if (names) {
            size_t n = allegro_gl_list_font_textures(font, names, font_texture_count);
            for (size_t i = 0; i < n && i < font_texture_count; i++) use_nearest_filter(names[i]);
            free(names);
        }
    }
    if (theme != -1) {
        use_nearest_filter((GLuint)theme);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    }
}

void set_start_projection()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, (double)SCREEN_W / (double)SCREEN_H, 0.1, 40000.0);
}

static void draw_menu_bar_strip(int theme)
{
    if (theme != -1) {
        allegro_gl_set_projection();
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, (GLuint)theme);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        // Column 2 of the theme grid, rows 0 to 20: the normal menu-bar piece,
        // stretched over the whole width.
        glBegin(GL_QUADS);
        glTexCoord2f(0.03125f, 0.3125f);
        glVertex2f(0.0f, 20.0f);
        glTexCoord2f(0.046875f, 0.3125f);
        glVertex2f((float)SCREEN_W, 20.0f);
        glTexCoord2f(0.046875f, 0.0f);
        glVertex2f((float)SCREEN_W, 0.0f);
        glTexCoord2f(0.03125f, 0.0f);
        glVertex2f(0.0f, 0.0f);
        glEnd();
        // AllegroGL textures its own flat primitives while texturing is on.
        glDisable(GL_TEXTURE_2D);
        allegro_gl_unset_projection();
        allegro_gl_set_allegro_mode();
    } else {
        allegro_gl_set_allegro_mode();
        rectfill(screen, 0, 0, SCREEN_W, 20, makecol(200, 200, 200));
    }
}

void draw_screen(gui_manager *manager, int theme)
{
    glDisable(GL_DEPTH_TEST);
    draw_menu_bar_strip(theme);
    if (manager) manager->draw_all(screen);
    allegro_gl_unset_allegro_mode();
}

int open_gl_window_like_editor()
{
    const char *display = getenv("DISPLAY");
    if (!display || !*display) return -1;
    if (allegro_init() != 0 || install_allegro_gl() != 0) return -1;
    choose_gl_mode();
    // Windowed outright, so that no display setting can make it full-screen.
    if (set_gfx_mode(GFX_OPENGL_WINDOWED, 800, 600, 0, 0) != 0) return -1;
    allegro_gl_use_mipmapping(FALSE);
    set_gl_state();
    set_nearest_filtering(convert_font_for_gl(), -1);
    set_start_projection();
    return 0;
}
