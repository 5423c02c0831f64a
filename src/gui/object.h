// The widget base class, the GUI dispatcher, the input seam and the shared drawing helpers.
//
// Sections: event types; input seam (gui_input_state, input_mouse_x ...); object;
// gui_manager; drawing helpers (draw_frame, draw_text, theme quads).
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

// ---------------------------------------------------------------------------
// Input seam.
//
// Neither the manager nor any widget reads Allegro's mouse_x, mouse_y,
// mouse_z, mouse_b, keypressed(), readkey() or key[] directly: they call the
// input_* functions below. By default those read Allegro's globals. A test
// scripts the input instead, without any Allegro driver:
//
//     gui_input_state input;          // pointer at (0, 0), no buttons, no keys
//     gui_set_input(&input);
//     input.mouse_x = 50; input.mouse_y = 60; input.mouse_b = 1;  // left down
//     manager.update();               // one pass sees the press
//     input.push_key(0x5400);         // up arrow, read by a later pass
//     input.key_down[KEY_LCONTROL] = true;
//     gui_set_input(nullptr);         // back to Allegro
//
// mouse_b uses Allegro's bits: 1 = left, 2 = right. key_down is indexed by
// Allegro scancodes (KEY_*). The state must outlive its use.
struct gui_input_state {
    int mouse_x = 0, mouse_y = 0, mouse_z = 0, mouse_b = 0;
    int keys[64] = {};          // pending readkey() values, oldest first
    int key_count = 0;
    bool key_down[128] = {};    // Allegro's key[] array

    // Queues one readkey() value; a full queue drops the key.
    void push_key(int value);
};

// Null returns to Allegro's own globals.
void gui_set_input(gui_input_state *state);
int input_mouse_x();
int input_mouse_y();
int input_mouse_z();
int input_mouse_b();
bool input_keypressed();
int input_readkey();                 // 0 when no key is waiting
bool input_key_down(int scancode);   // false for scancodes out of range

// ---------------------------------------------------------------------------
// Every widget derives from object. Fields are public and set directly after
// construction; nobody owns widgets through this base (no virtual delete
// through the manager).
class object {
public:
    int x = 0, y = 0, w = 0, h = 0;
    bool visible = true;
    int theme = -1;          // GL theme texture, -1 = draw flat

    virtual ~object() {}
    // One input event. 1 asks the manager to put this widget on the active list.
    virtual int handle_event(int type, int value) = 0;
    // Called once per pass while active; 1 takes the widget off the active list.
    virtual int update() = 0;
    // Draws onto target (always screen, inside AllegroGL's Allegro mode); result ignored.
    virtual int draw(BITMAP *target) = 0;
    // Called by gui_manager::add right after the widget is appended;
    // composites add their inner widgets here so they lie above. A plain
    // widget has nothing to add.
    virtual void attach(gui_manager *) {}
    // Composites override these to carry their inner widgets along, and
    // widgets with a drag or hover in progress to forget it on hiding.
    virtual void show() { visible = true; }
    virtual void hide() { visible = false; }
};

// True when the point lies strictly inside the widget (borders are outside).
bool contains(const object *widget, int px, int py);

// ---------------------------------------------------------------------------
// The one dispatcher: every widget in one z-ordered list (later = above).
// It owns none of them.
//
// update() is one pass: sample the input (press and release edges against the
// previous pass, the wheel, at most one key), walk the widgets topmost first
// delivering events, then run update() of every widget on the active list.
// Presses, the wheel, keys and the entered event reach only the topmost
// visible widget under the pointer; releases reach every visible widget.
class gui_manager {
public:
    std::vector<object *> objects;  // in the order added
    std::vector<object *> active;   // widgets that captured input
    std::vector<int> hover;         // parallel to objects: 1 = pointer counted as over it
    bool left_down = false;
    bool right_down = false;
    int last_z = 0;
    int theme = -1;                 // handed to widgets added from now on

    gui_manager();                  // reads the current mouse_z into last_z
    void set_theme(int texture);
    // Appends, calls attach, then gives the widget the manager's theme (if any).
    void add(object *widget);
    void update();
    // Draws every visible widget, first added first.
    void draw_all(BITMAP *target);
};

// ---------------------------------------------------------------------------
// Drawing helpers shared by every widget.

// The themed 2-pixel border of a rectangle; with texture -1, a one-pixel black
// rect from (x, y) to (x + w, y + h). The inside is never drawn. Must be called
// inside Allegro mode (it leaves and re-enters it for the textured quads).
void draw_frame(BITMAP *target, int texture, int x, int y, int w, int h);

// Widget text: the textured font with a darkening blend, so the glyphs come
// out black on light faces. Null text draws nothing.
void draw_text(int x, int y, const char *text);
// text_length / text_height of the global font; null text has length 0.
int gui_text_length(const char *text);
int gui_text_height();

// Theme quads. theme_begin leaves Allegro mode, sets the pixel projection,
// binds the texture with colour (1, 1, 1, 1) and opens GL_QUADS; theme_end
// closes the quads, restores the projection and Allegro mode and disables
// GL_TEXTURE_2D. Between them, theme_quad draws one screen rectangle whose
// four corners take the given theme-grid coordinates (in 64ths):
// (u_tl, v_tl) at (x0, y0), (u_bl, v_bl) at (x0, y1), (u_br, v_br) at (x1, y1),
// (u_tr, v_tr) at (x1, y0). Swapping pairs flips or turns the piece.
struct theme_uv {
    float u, v;
};
void theme_begin(int texture);
void theme_quad(float x0, float y0, float x1, float y1,
                theme_uv top_left, theme_uv bottom_left, theme_uv bottom_right, theme_uv top_right);
void theme_end();
