// The texture selector: one page at full size whose named rectangles the user marks for import.
#pragma once
#include <vector>

#include "gui/object.h"

struct level;
struct texture_name;
struct gl_texture_set;

class texture_selector : public object {
public:
    int page = 0;                         // page shown (set by prepare)
    int palette_slot = 0;                 // slot the page is drawn with
    ::level *level = nullptr;             // not owned
    gl_texture_set *texture_set = nullptr;// not owned
    std::vector<::texture_name *> names;  // the level's rectangles on `page`, in level order
    std::vector<bool> selected;           // parallel to names

    texture_selector();
    // Refills names with the rectangles on `page_index`, all unmarked.
    void prepare(int page_index, int slot);
    void select_all();
    // Inverts the mark of every rectangle that strictly contains the page
    // point (px, py); borders do not count. Returns how many were toggled.
    int toggle_at(int px, int py);

    int handle_event(int type, int value) override;
    int update() override;
    int draw(BITMAP *target) override;
};
