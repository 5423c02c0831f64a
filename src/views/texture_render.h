// The texture page view: the level's pages as a thumbnail grid, or its named textures in rows.
#pragma once
#include "gui/object.h"
#include "gui/scrollbar.h"

struct level;
struct gl_texture_set;

enum {
    TEXTURE_MODE_SINGLE = 0,   // every named texture at native size, packed in rows
    TEXTURE_MODE_GROUP = 1,    // every page as a thumbnail in a grid
};

enum { THUMBNAIL_MIN = 32, THUMBNAIL_MAX = 256, THUMBNAIL_INITIAL = 64 };

// ---- Thumbnail grid arithmetic (texture-group mode) ----
// Cell pitch T: the thumbnail and its 10-pixel gap.
int group_pitch(int thumbnail_size);
// Columns N = (view_w - 20) / T; never below 1, so a view narrower than one
// cell still shows (and divides by) one column.
int group_columns(int view_w, int thumbnail_size);
// ceil(page_count / N) * T + 10.
int group_content_height(int page_count, int view_w, int thumbnail_size);

// ---- Single-texture row layout ----
// Places the level's texture names in list order into rows of a view
// `view_w` wide. Drawing, clicking and lay_out all walk it, so drawn and
// clicked positions agree. Usage:
//     row_layout c;  row_layout_begin(&c);
//     while (row_layout_next(&c, lvl, w)) { ... c.index, c.rx, c.ry ... }
struct row_layout {
    int index;   // the name just placed (-1 before the first)
    int rx, ry;  // its corner, before the 10-pixel margin and scrolling
    int rh;      // height of the row so far
    int next_x;  // where the next name would start in this row
    int w, h;    // the name's size
};
void row_layout_begin(row_layout *c);
// Places the next name; false when every name is placed.
bool row_layout_next(row_layout *c, const level *lvl, int view_w);
// Walks the whole layout: the last row's bottom plus `margin`.
int row_layout_height(const level *lvl, int view_w, int margin);

typedef void (*texture_select_callback)(int index, bool is_page);

class texture_render : public object {
public:
    gl_texture_set *texture_set = nullptr;  // not owned
    ::level *level = nullptr;               // not owned
    scrollbar scroll;                       // shown and hidden with the view
    texture_select_callback on_select = nullptr;  // only on a changed selection
    int thumbnail_size = THUMBNAIL_INITIAL; // 32 ... 256
    int selected_name = 0;                  // -1 becomes 0 at the next lay_out
    int selected_texture = -1;              // the application's current page
    // Set by lay_out only, so clicks never depend on a frame having been drawn.
    int columns = 1;                        // group-mode grid columns
    int group_content = 10;                 // height of the page grid
    int content_height = 0;                 // height of the single-texture layout
    unsigned char mode = TEXTURE_MODE_SINGLE;
    unsigned char zoomed = 0;               // 1 while the full-size page is shown
    int click_timer = -1;                   // frames since a click on a page, -1 idle

    texture_render();

    // Switches mode and lays the view out again.
    void set_mode(int new_mode);
    // Recomputes columns, both content heights and the scroll range from the
    // size, thumbnail size and level. Call after any of them changes (set_mode
    // and the Control+wheel zoom do). `single_margin` is the room below the
    // last row of names: 20 after set_mode, 10 after a zoom.
    void lay_out(int single_margin = 20);
    // Selects without calling on_select and scrolls the item into view.
    void select_and_show(int index, bool group);

    // First visible pixel row of the page grid, from the scroll bar.
    int group_offset() const;
    // The page under a point in texture-group mode, found by cell division
    // (gaps and margins belong to the neighbouring cell). -2 when the point
    // is on the scroll bar strip or right of the last column; otherwise a
    // page number that may lie beyond the last page.
    int group_hit(int mx, int my) const;
    // The texture name under a point in single-texture mode, or -1.
    int name_hit(int mx, int my);
    // The page the arrow keys act on, or -1.
    int key_page() const;

    int handle_event(int type, int value) override;
    int update() override;
    int draw(BITMAP *target) override;
    void attach(gui_manager *manager) override;
    void show() override;
    void hide() override;
};
