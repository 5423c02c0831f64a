// The quick info panel: facts about the selected page, named texture or model.
#pragma once
#include <vector>

#include "gui/object.h"

struct level;

// One line of the panel, at an offset from the panel's top-left corner.
struct info_line {
    int x, y;
    char text[48];
};

class quick_info : public object {
public:
    int texture = -1;              // selected page, -1 = none
    int texture_name = -1;         // selected entry of texture_names, -1 = none
    int model = -1;                // selected model or event model, -1 = none
    bool show_pages = true;        // texture mode: describe the page, not the rectangle
    bool show_event_models = false;// model mode: `model` indexes event_models, else models
    bool show_texture_info = true; // true = texture mode, false = model mode
    ::level *level = nullptr;      // read at every draw, never copied

    quick_info();
    int handle_event(int type, int value) override;
    int update() override;
    int draw(BITMAP *target) override;
};

// The lines the panel shows, title first, with their offsets. `measure` gives
// a text's width in pixels (the font's text_length when drawing). Indices the
// level does not hold (stale selections, slots beyond a palette list, pages
// beyond the page count) give no line rather than reading outside an array.
// The lines are short enough to end 10 pixels inside the panel's right
// edge (8-pixel font, panel 185 wide); the models' texture list wraps to.
void quick_info_lines(const quick_info &panel, int (*measure)(const char *),
                      std::vector<info_line> *lines);
