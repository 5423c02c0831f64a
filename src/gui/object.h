// The widget base class, the GUI dispatcher and the shared drawing helpers.
#pragma once
#include <vector>

struct BITMAP;
class gui_manager;

// Event types handed to object::handle_event.
enum {
    EVENT_LEFT_BUTTON = 0,   // value 1 = pressed, 0 = released
    EVENT_RIGHT_BUTTON = 1,  // value 1 = pressed, 0 = released
    EVENT_WHEEL = 2,         // value = previous mouse_z - current mouse_z
    EVENT_HOVER = 3,         // value 1 = entered, 0 = left
    EVENT_KEY = 4,           // value = readkey(): ASCII low byte, scancode high byte
};

// Every widget derives from object. Fields are public and set directly after
// construction; nobody owns widgets through this base.
class object {
public:
    int x = 0, y = 0, w = 0, h = 0;
    bool visible = true;
    int theme = -1;          // GL theme texture, -1 = draw flat

    virtual ~object() {}
    // 1 asks the manager to put this widget on the active list.
    virtual int handle_event(int type, int value) = 0;
    // Called each pass while active; 1 takes the widget off the active list.
    virtual int update() = 0;
    virtual int draw(BITMAP *target) = 0;
    // Called by gui_manager::add; composites add their inner widgets here.
    virtual void attach(gui_manager *manager) = 0;
    virtual void show() = 0;
    virtual void hide() = 0;
};

// True when the point lies strictly inside the widget (borders are outside).
bool contains(const object *widget, int px, int py);
