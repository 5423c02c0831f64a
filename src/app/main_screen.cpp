// A small stand-in main screen: a panel, a button that marks the level changed, a quit button.
//
// It exists so that the main routine can be started and driven before the real
// screen is laid out; the real screen replaces this file.
#include "app/main_screen.h"

#include <allegro.h>

#include "app/app_state.h"
#include "gui/object.h"

namespace {

// A flat face with a black border and a centred label; clicking it runs the
// command.
class plain_button : public object {
public:
    const char *label = "";
    void (*command)() = nullptr;
    bool hovered = false;

    int handle_event(int type, int value) override
    {
        if (type == EVENT_HOVER) hovered = value != 0;
        if (type == EVENT_LEFT_BUTTON && value == 1 && command) command();
        return 0;
    }
    int update() override { return 1; }
    int draw(BITMAP *target) override
    {
        int face = hovered ? makecol(230, 230, 230) : makecol(200, 200, 200);
        rectfill(target, x, y, x + w, y + h, face);
        rect(target, x, y, x + w, y + h, makecol(0, 0, 0));
        draw_text(x + w / 2 - gui_text_length(label) / 2, y + h / 2 - gui_text_height() / 2, label);
        return 0;
    }
    void attach(gui_manager *) override {}
    void show() override { visible = true; }
    void hide() override { visible = false; }
};

class plain_panel : public plain_button {
public:
    int draw(BITMAP *target) override
    {
        rectfill(target, x, y, x + w, y + h, makecol(200, 200, 200));
        draw_frame(target, theme, x, y, w, h);
        return 0;
    }
};

plain_panel panel;
plain_button change_button;
plain_button quit_button;
bool escape_was_down = false;

void toggle_level_changed()
{
    level_changed = !level_changed;
}

}  // namespace

void build_main_screen(gui_manager *manager)
{
    panel.x = 20;
    panel.y = 40;
    panel.w = 300;
    panel.h = 200;
    change_button.x = 40;
    change_button.y = 60;
    change_button.w = 120;
    change_button.h = 24;
    change_button.label = "Change";
    change_button.command = toggle_level_changed;
    quit_button.x = 40;
    quit_button.y = 100;
    quit_button.w = 120;
    quit_button.h = 24;
    quit_button.label = "Quit";
    quit_button.command = request_quit;
    manager->add(&panel);
    manager->add(&change_button);
    manager->add(&quit_button);
}

void main_screen_step()
{
    bool escape_down = key[KEY_ESC] != 0;
    if (escape_down && !escape_was_down) request_quit();
    escape_was_down = escape_down;
}

void request_quit()
{
    quit_requested = 1;
}

void free_main_screen_lists() {}

bool flash_checkbox_checked()
{
    return false;
}
