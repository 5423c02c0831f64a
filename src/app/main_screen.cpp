// A small stand-in main screen: a panel, a button that marks the level changed, a quit button, a flash box.
//
// It exists so that the main routine can be started and driven before the real
// screen is laid out; the real screen replaces this file.
#include "app/main_screen.h"

#include <allegro.h>

#include "app/app_state.h"
#include "gui/button.h"

namespace {

// A flat panel with the themed frame behind the buttons.
class plain_panel : public object {
public:
    int handle_event(int, int) override { return 0; }
    int update() override { return 1; }
    int draw(BITMAP *target) override
    {
        rectfill(target, x, y, x + w, y + h, makecol(200, 200, 200));
        draw_frame(target, theme, x, y, w, h);
        return 0;
    }
    void attach(gui_manager *) override {}
    void show() override { visible = true; }
    void hide() override { visible = false; }
};

plain_panel panel;
button change_button;
button quit_button;
checkbox flash_box;

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
    change_button.on_click = toggle_level_changed;
    quit_button.x = 40;
    quit_button.y = 100;
    quit_button.w = 120;
    quit_button.h = 24;
    quit_button.label = "Quit";
    quit_button.on_click = request_quit;
    flash_box.x = 40;
    flash_box.y = 140;
    flash_box.w = 120;
    flash_box.h = 16;
    flash_box.label = "Flash texture";
    manager->add(&panel);
    manager->add(&change_button);
    manager->add(&quit_button);
    manager->add(&flash_box);
}

void main_screen_step()
{
    if (key[KEY_ESC]) request_quit();
}

void request_quit()
{
    quit_requested = 1;
}

void free_main_screen_lists() {}

bool flash_checkbox_checked()
{
    return flash_box.checked;
}
