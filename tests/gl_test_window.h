// An 800 x 600 AllegroGL window for drawing tests: set-up once per process, pixel read-back, one GUI frame.
//
// Usage in a test:
//
//     #include "gl_test_window.h"
//     TEST(drawing, something)
//     {
//         QTE_REQUIRE_GL_WINDOW();          // skips without a display
//         gui_manager manager;
//         ... add widgets ...
//         draw_gui_frame(manager, -1);      // as the main loop draws a frame, no flip
//         gl_pixel p = read_pixel(100, 200);   // screen coordinates, top-left origin
//         EXPECT_EQ(p, gl_pixel(100, 200, 255));
//     }
//
// The window is opened as the editor opens its own: allegro_init,
// install_allegro_gl, the same AllegroGL settings (32-bit colour, double
// buffer, 24-bit depth, windowed, hardware, all only suggested), an 800 x 600
// windowed OpenGL mode, mipmapping off, the editor's GL state (culling,
// blending, alpha test > 0.5) and Allegro's font replaced by its textured
// AllegroGL conversion, so text metrics are those of the running editor
// (text_height is 9 there, 8 before the conversion).
//
// ctest runs every test in its own process, so every drawing test opens its
// own window (about 0.1 s under Xvfb). The test command runs ctest inside
// `xvfb-run -a -s "-screen 0 1024x768x24"`; by hand:
//     xvfb-run -a -s "-screen 0 1024x768x24" build/tests/gui_tests
// Without DISPLAY, or when the mode cannot be set, QTE_REQUIRE_GL_WINDOW
// skips the test. Under AddressSanitizer, Mesa and Xlib leave allocations
// behind at exit; tests/lsan.supp suppresses them (LSAN_OPTIONS=suppressions=...).
// For the suppressions to match, the sanitizer build never unloads a library
// (tests/sanitizer/keep_libraries_loaded.cpp).
//
// read_pixel reads the back buffer, where draw_gui_frame leaves the frame:
// nothing is flipped, so the picture read is exactly the one just drawn.
#pragma once

// GoogleTest first: the X11 headers that AllegroGL pulls in define macros
// (None, Bool) that clash with GoogleTest's own names.
#include <gtest/gtest.h>

#include <allegro.h>
#include <alleggl.h>

#include <stdio.h>
#include <stdlib.h>

#include <ostream>
#include <vector>

#include "app/gl_window.h"
#include "gui/object.h"

struct gl_pixel {
    int r = 0, g = 0, b = 0;
    bool operator==(const gl_pixel &o) const { return r == o.r && g == o.g && b == o.b; }
};

inline std::ostream &operator<<(std::ostream &out, const gl_pixel &p)
{
    return out << "(" << p.r << ", " << p.g << ", " << p.b << ")";
}

// Each channel within 3 of the other's: blending and texture filtering may round either way.
inline bool near(gl_pixel a, gl_pixel b) { return abs(a.r - b.r) < 4 && abs(a.g - b.g) < 4 && abs(a.b - b.b) < 4; }

// Opens the window on first use; later calls answer the first result.
// True when the window is up.
inline bool open_gl_test_window()
{
    static const int result = open_gl_window_like_editor();
    if (result != 0)
        fprintf(stderr, "gl_test_window: no window: %s / %s\n", allegro_error, allegro_gl_error);
    return result == 0;
}

#define QTE_REQUIRE_GL_WINDOW()                                             \
    do {                                                                    \
        if (!open_gl_test_window())                                         \
            GTEST_SKIP() << "no X display or no OpenGL mode for drawing";   \
    } while (0)

// One frame as the main loop draws it, left in the back buffer (no flip):
// clear to (0.2, 0.2, 0.2), the menu-bar strip (themed or flat grey), every
// visible widget bottom-first inside Allegro mode.
inline void draw_gui_frame(gui_manager &manager, int theme)
{
    glClearColor(0.2f, 0.2f, 0.2f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    draw_screen(&manager, theme);
    glFinish();
}

// The pixel at screen (x, y), origin top-left, from the back buffer.
inline gl_pixel read_pixel(int x, int y)
{
    unsigned char rgb[3] = {0, 0, 0};
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, SCREEN_H - 1 - y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return gl_pixel{rgb[0], rgb[1], rgb[2]};
}

// A page's 256 x 256 GL texture as RGBA bytes, row by row.
inline std::vector<unsigned char> texture_rgba(unsigned int name)
{
    std::vector<unsigned char> rgba((size_t)256 * 256 * 4);
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}
