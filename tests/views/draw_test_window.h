// Helpers for the views' drawing tests on the shared test window: GL state reset, colour reads, screenshots.
#pragma once
#include "gl_test_window.h"

#include <stdlib.h>
#include <string>

#include "app/app_state.h"

struct rgb {
    int r, g, b;
};

// Resets the GL state a previous test may have changed to what the editor sets at start-up.
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

// Skips the test without a display; reuses a window another suite of the
// same program opened (setting a second mode over it would fail).
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

inline rgb pixel_at(int x, int y)
{
    glFinish();
    gl_pixel p = read_pixel(x, y);
    return {p.r, p.g, p.b};
}

// Saves a screenshot when QTE_SCREENSHOTS names a folder.
inline void maybe_screenshot(const char *name)
{
    const char *folder = getenv("QTE_SCREENSHOTS");
    if (folder && *folder) {
        glFinish();
        save_screenshot((std::string(folder) + "/" + name + ".ppm").c_str());
    }
}

inline bool near_colour(rgb a, rgb b, int tolerance = 3)
{
    return abs(a.r - b.r) <= tolerance && abs(a.g - b.g) <= tolerance && abs(a.b - b.b) <= tolerance;
}

inline std::string colour_text(rgb c)
{
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}
