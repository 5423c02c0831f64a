// The GUI dispatcher (gui_manager), the hit test and the input seam.
#include "gui/object.h"

#include <allegro.h>

// ---------------------------------------------------------------------------
// Input seam: null reads Allegro's globals, otherwise a scripted state.

static gui_input_state *scripted_input = nullptr;

void gui_input_state::push_key(int value)
{
    if (key_count < (int)(sizeof keys / sizeof keys[0]))
        keys[key_count++] = value;
}

void gui_set_input(gui_input_state *state)
{
    scripted_input = state;
}

int input_mouse_x() { return scripted_input ? scripted_input->mouse_x : mouse_x; }
int input_mouse_y() { return scripted_input ? scripted_input->mouse_y : mouse_y; }
int input_mouse_z() { return scripted_input ? scripted_input->mouse_z : mouse_z; }
int input_mouse_b() { return scripted_input ? scripted_input->mouse_b : mouse_b; }

bool input_keypressed()
{
    if (scripted_input)
        return scripted_input->key_count > 0;
    return keypressed() != 0;
}

int input_readkey()
{
    if (scripted_input) {
        gui_input_state *in = scripted_input;
        if (in->key_count <= 0)
            return 0;
        int value = in->keys[0];
        for (int i = 1; i < in->key_count; i++)
            in->keys[i - 1] = in->keys[i];
        in->key_count--;
        return value;
    }
    return readkey();
}

bool input_key_down(int scancode)
{
    if (scancode < 0 || scancode >= 128 || scancode >= KEY_MAX)
        return false;
    if (scripted_input)
        return scripted_input->key_down[scancode];
    return key[scancode] != 0;
}

// ---------------------------------------------------------------------------

bool contains(const object *widget, int px, int py)
{
    return widget->x < px && px < widget->x + widget->w &&
           widget->y < py && py < widget->y + widget->h;
}

gui_manager::gui_manager()
{
    last_z = input_mouse_z();
}

void gui_manager::set_theme(int texture)
{
    theme = texture;
}

void gui_manager::add(object *widget)
{
    objects.push_back(widget);
    hover.push_back(0);
    widget->attach(this);
    if (theme != -1)
        widget->theme = theme;
}

// One pass. The walk goes by index, not by iterator: commands run inside
// handle_event and may show, hide or (in principle) add widgets, and an added
// widget lands at the end without moving the indices below it.
void gui_manager::update()
{
    // 1. Sample the input against the state of the previous pass.
    int buttons = input_mouse_b();
    bool left_press = false, left_release = false;
    bool right_press = false, right_release = false;
    if ((buttons & 1) && !left_down) {
        left_press = true;
        left_down = true;
    } else if (!(buttons & 1) && left_down) {
        left_release = true;
        left_down = false;
    }
    if ((buttons & 2) && !right_down) {
        right_press = true;
        right_down = true;
    } else if (!(buttons & 2) && right_down) {
        right_release = true;
        right_down = false;
    }
    bool wheel = false;
    int wheel_delta = 0;
    int z = input_mouse_z();
    if (z != last_z) {
        wheel = true;
        wheel_delta = last_z - z;
        last_z = z;
    }
    bool key_pending = false;
    int key_value = 0;
    if (input_keypressed()) {
        key_value = input_readkey();
        key_pending = true;
    }

    // 2. Delivery walk, topmost first. Once the pointer has been found over a
    // visible widget, no widget below it can take the entered event in this
    // pass: the covered widget must not count as hovered again right after
    // the hand-over took its mark away. A widget that asked for capture with
    // any of its events in this pass is put on the active list (a press that
    // arrives together with the entered event or a key must still capture).
    bool entered_taken = false;
    for (int i = (int)objects.size() - 1; i >= 0; i--) {
        object *widget = objects[i];
        if (!widget->visible)
            continue;
        bool capture = false;
        auto deliver = [&](int type, int value) {
            if (widget->handle_event(type, value) == 1)
                capture = true;
        };
        if (contains(widget, input_mouse_x(), input_mouse_y())) {
            if (left_press) {
                left_press = false;
                deliver(EVENT_LEFT_BUTTON, 1);
            }
            if (right_press) {
                right_press = false;
                deliver(EVENT_RIGHT_BUTTON, 1);
            }
            if (wheel) {
                wheel = false;
                deliver(EVENT_WHEEL, wheel_delta);
            }
            if (!entered_taken) {
                entered_taken = true;
                if (hover[i] == 0) {
                    hover[i] = 1;
                    deliver(EVENT_HOVER, 1);
                    // Hand-over: every widget below that still counts as
                    // hovered hears that the pointer left, visible or not.
                    for (int j = i - 1; j >= 0; j--) {
                        if (hover[j] != 1)
                            continue;
                        hover[j] = 0;
                        if (objects[j]->handle_event(EVENT_HOVER, 0) == 1)
                            active.push_back(objects[j]);
                    }
                }
            }
            if (key_pending) {
                key_pending = false;
                deliver(EVENT_KEY, key_value);
            }
        } else if (hover[i] == 1) {
            hover[i] = 0;
            deliver(EVENT_HOVER, 0);
        }
        // Releases reach every visible widget, so a drag always ends.
        if (right_release)
            deliver(EVENT_RIGHT_BUTTON, 0);
        if (left_release)
            deliver(EVENT_LEFT_BUTTON, 0);
        if (capture)
            active.push_back(widget);
    }

    // 3. Active-list pass: every entry present now is visited once; hidden
    // widgets drop out without their update being called.
    size_t present = active.size();
    std::vector<object *> kept;
    kept.reserve(present);
    for (size_t k = 0; k < present; k++) {
        object *widget = active[k];
        if (!widget->visible)
            continue;
        if (widget->update() == 1)
            continue;
        kept.push_back(widget);
    }
    for (size_t k = present; k < active.size(); k++)
        kept.push_back(active[k]);
    active.swap(kept);
}

void gui_manager::draw_all(BITMAP *target)
{
    for (size_t i = 0; i < objects.size(); i++)
        if (objects[i]->visible)
            objects[i]->draw(target);
}
