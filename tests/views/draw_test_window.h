// Helpers for the views' drawing tests on the shared test window: GL state reset, colour reads, screenshots.
#pragma once
#include "gl_test_window.h"

#include <stdio.h>
#include <stdlib.h>
#include <string>

#include "app/app_state.h"

struct rgb {
    int r, g, b;
};

// Resets the GL state a previous test may have changed to what the editor
// sets at start-up. The window itself is the shared drawing-test window.
inline void reset_draw_state()
{
    glEnable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.5f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_TEXTURE_2D);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glViewport(0, 0, SCREEN_W, SCREEN_H);
}

// Skips the test without a display; otherwise the window is up and reset.
// A window another suite of the same program opened on its own is reused:
// setting a second mode over it would fail.
#define QTE_REQUIRE_DRAW_WINDOW()      \
    do {                               \
        if (!gfx_driver)               \
            QTE_REQUIRE_GL_WINDOW();   \
        reset_draw_state();            \
    } while (0)

// Clears the back buffer to dark grey, like the main loop's frame start.
inline void begin_test_frame()
{
    glClearColor(0.2f, 0.2f, 0.2f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// The back buffer's pixel at screen (x, y), origin top-left.
inline rgb pixel_at(int x, int y)
{
    unsigned char p[4] = {0, 0, 0, 0};
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, SCREEN_H - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

// Writes the back buffer as a binary PPM (top row first) for a person to look at.
inline bool save_test_screenshot(const std::string &path)
{
    int w = SCREEN_W, h = SCREEN_H;
    unsigned char *rgba = (unsigned char *)malloc((size_t)w * h * 4);
    if (!rgba)
        return false;
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) {
        free(rgba);
        return false;
    }
    fprintf(f, "P6\n%d %d\n255\n", w, h);
    for (int y = h - 1; y >= 0; y--)
        for (int x = 0; x < w; x++)
            fwrite(rgba + ((size_t)y * w + x) * 4, 1, 3, f);
    fclose(f);
    free(rgba);
    return true;
}

// Saves a screenshot when QTE_SCREENSHOTS names a folder.
inline void maybe_screenshot(const char *name)
{
    const char *folder = getenv("QTE_SCREENSHOTS");
    if (folder && *folder)
        save_test_screenshot(std::string(folder) + "/" + name + ".ppm");
}

inline bool near_colour(rgb a, rgb b, int tolerance = 3)
{
    return abs(a.r - b.r) <= tolerance && abs(a.g - b.g) <= tolerance && abs(a.b - b.b) <= tolerance;
}

inline std::string colour_text(rgb c)
{
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}
