// Push buttons, check boxes (toggle and radio) and bitmap images.
#pragma once
#include "gui/object.h"

// A push button with a centred label.
//
// State machine (held = the press began over it; pressed = drawn pushed in):
//   event                 held   pressed   hovered   calls
//   left press over it    true   true      -         on_press
//   pointer leaves        -      false     false
//   pointer returns       -      =held     true
//   left release          false  false     -         on_click if it was pressed
// So a click is a press over the button and a release while still over it;
// releasing elsewhere cancels. The button never captures the mouse.
class button : public object {
public:
    const char *label = nullptr;      // not owned
    void (*on_press)() = nullptr;
    void (*on_click)() = nullptr;
    bool hovered = false;
    bool pressed = false;
    bool held = false;

    int handle_event(int type, int value) override;
    int update() override { return 0; }
    int draw(BITMAP *target) override;
};

enum {
    CHECKBOX_RADIO = 1,    // radio mode: a click writes value into *group
    CHECKBOX_SQUARE = 2,   // draw a square even in radio mode
    CHECKBOX_CIRCLE = 4,   // draw a circle even in toggle mode
};

// A check box or radio option: an h × h box at the left, the label to its
// right. Only a press strictly inside the box reacts; the label does not.
class checkbox : public object {
public:
    const char *label = nullptr;      // not owned
    bool checked = false;             // toggle mode state
    void (*on_check)() = nullptr;     // toggle mode: now checked
    void (*on_uncheck)() = nullptr;   // toggle mode: now unchecked (or no on_check)
    void (*on_select)(int *group) = nullptr;  // radio mode: the group's value changed
    int flags = 0;                    // CHECKBOX_*
    int label_colour = -1;            // Allegro colour behind the label, -1 = none
    int value = -1;                   // radio mode: the value this option stands for
    int *group = nullptr;             // radio mode: shared variable, not owned

    int handle_event(int type, int value) override;
    int update() override { return 0; }
    int draw(BITMAP *target) override;

    // Radio mode with the group holding value, or toggle mode and checked.
    bool is_selected() const;
};

// Part of a bitmap shown at one screen pixel per bitmap pixel. The texture is
// owned by the image for the rest of the run.
class image : public object {
public:
    int texture = -1;                 // GL texture name, -1 = nothing loaded
    float u = 0.0f, v = 0.0f;         // source top-left in texture coordinates
    float u_size = 0.0f, v_size = 0.0f;
    float texture_w = 1.0f, texture_h = 1.0f;   // bitmap size in pixels

    // 0 = loaded (w and h become the bitmap's size), 1 = the file cannot be
    // read (nothing changes). Needs a GL context.
    int load(const char *filename);
    // Source rectangle in bitmap pixels; the widget takes its size.
    void set_region(int sx, int sy, int sw, int sh);

    int handle_event(int, int) override { return 0; }
    int update() override { return 0; }
    int draw(BITMAP *target) override;
};
