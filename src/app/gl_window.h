// The OpenGL window's set-up and the drawing of one frame, shared by the
// editor and the drawing tests so both see exactly the same picture.
#pragma once
#include <stddef.h>

class gui_manager;

// Asks AllegroGL for a 32-bit double-buffered window with a 24-bit depth
// buffer, windowed, hardware; every option only suggested, so an OpenGL
// implementation that offers less is accepted.
void choose_gl_mode();

// The editor's fixed GL state: culling, blending with source alpha, alpha
// test above 0.5, identity matrix.
void set_gl_state();

// Replaces Allegro's font by its textured AllegroGL conversion and answers
// the number of textures the converted font has (0 when it could not be
// converted; the font is then left as it was).
size_t convert_font_for_gl();

// Uploads the theme bitmap at `path` as an RGB texture without mipmaps; -1
// when it cannot be read or uploaded. Logs nothing.
int upload_theme(const char *path);

// Nearest filtering for the font's textures and the theme (clamped T and R
// wrap), so the pixel font and the theme pieces are drawn exactly.
void set_nearest_filtering(size_t font_texture_count, int theme);

// The projection the editor starts with: 45 degrees, the window's aspect,
// near 0.1, far 40000; the matrix mode is left at GL_PROJECTION.
void set_start_projection();

// One frame as the main loop draws it, without the clear and the flip: depth
// test off, the menu-bar strip (the theme's menu-bar piece stretched over
// the width, or flat grey without a theme), then every visible widget.
// Leaves Allegro mode unset and 2D texturing off.
void draw_screen(gui_manager *manager, int theme);

// For drawing tests and benchmarks: brings up Allegro and AllegroGL and opens
// an 800 x 600 window the way the editor opens its own (mode, GL state, font,
// filtering, projection). 0 when the window is up; -1 without a display or
// when no OpenGL mode can be set.
int open_gl_window_like_editor();
