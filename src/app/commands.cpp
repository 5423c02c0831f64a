// The View and Help menus' commands, the selection callbacks, the main
// screen's per-step work and the quit request. (The File menu's commands
// live in file_commands.cpp, the Image and Level menus' in image_commands.cpp.)
//
// Sections:
//   1. view switches and the 3D view's picture
//   2. selection callbacks
//   3. per-step work and the quit request
//   4. about box and update text
#include "app/commands.h"

#include <allegro.h>
#include <stdlib.h>

#include "app/app_state.h"
#include "app/list_rows.h"
#include "app/main_screen.h"
#include "app/screen_widgets.h"
#include "app/settings.h"
#include "app/user_message.h"
#include "level/level.h"
#include "render/model_render.h"

// ---- 1. view switches and the 3D view's picture ------------------------------

namespace {

// One row of the view table: which of the right-hand widgets are shown.
void show_only(object *const *shown, int shown_count)
{
    object *all[] = {&texture_list, &model_list, &group_list, &event_model_list,
                     &users_list,   &texture_search, &model_search, &flash_checkbox};
    for (object *o : all) {
        bool show = false;
        for (int i = 0; i < shown_count; i++)
            show = show || shown[i] == o;
        if (show)
            o->show();
        else
            o->hide();
    }
}

void show_model_view()
{
    texture_view.hide();
    model_view.show();
    info_panel.show_texture_info = false;
}

}  // namespace

void update_image_menu()
{
    // Export and Import act on the current page, shown in the Texture Groups view.
    int page = texture_view.selected_texture;
    bool wanted = texture_view.visible && texture_view.mode == TEXTURE_MODE_GROUP && current_level &&
                  page >= 0 && page < current_level->texture_count;
    if (wanted != image_menu.visible) {
        if (wanted)
            image_menu.show();
        else
            image_menu.hide();
    }
}

void view_models_command()
{
    show_model_view();
    object *shown[] = {&model_list, &model_search};
    show_only(shown, 2);
    info_panel.show_event_models = false;
    show_event_model = false;
}

void view_event_models_command()
{
    show_model_view();
    object *shown[] = {&event_model_list};
    show_only(shown, 1);
    info_panel.show_event_models = true;
    show_event_model = true;
}

void view_users_command()
{
    int page = texture_view.selected_texture;
    if (page == -1)
        return;
    if (!build_users_list(current_level, page)) {
        // The old rows are gone: the list must not point at them.
        users_list.items = nullptr;
        users_list.count = 0;
        users_list.selected = -1;
        users_list.update_range();
        tell_user("No models use this texture.");
        return;
    }
    users_list.items = users_rows;
    users_list.count = users_row_count;
    if (users_list.selected >= users_row_count)
        users_list.selected = 0;
    users_list.update_range();
    flash_page = page;
    show_model_view();
    object *shown[] = {&users_list, &flash_checkbox};
    show_only(shown, 2);
    show_event_model = false;
}

void view_texture_groups_command()
{
    texture_view.set_mode(TEXTURE_MODE_GROUP);
    texture_view.show();
    model_view.hide();
    object *shown[] = {&group_list};
    show_only(shown, 1);
    info_panel.show_pages = true;
    info_panel.show_texture_info = true;
}

void view_individual_textures_command()
{
    texture_view.set_mode(TEXTURE_MODE_SINGLE);
    texture_view.show();
    model_view.hide();
    object *shown[] = {&texture_list, &texture_search};
    show_only(shown, 2);
    info_panel.show_pages = false;
    info_panel.show_texture_info = true;
}

void view_settings_command() { settings_window.show(); }

void draw_selected_model(render3d *view, float *yaw, float *pitch, float *pan_x, float *pan_y, float *distance)
{
    model_scene scene;
    scene.textures = current_textures;
    scene.lvl = current_level;
    scene.event = show_event_model;
    scene.index = show_event_model ? selected_event_model : selected_model;
    scene.flash_page = flash_phase ? flash_page : -1;
    // Every model is first seen from the same place, however the one before
    // was turned, moved or zoomed.
    static int shown_index = -1;
    static bool shown_event = false;
    if (scene.index != shown_index || scene.event != shown_event) {
        *yaw = *pitch = *pan_x = *pan_y = *distance = 0.0f;
        shown_index = scene.index;
        shown_event = scene.event;
    }
    draw_model_view(&scene, view);
    int count = !current_level ? 0 : scene.event ? current_level->event_model_count : current_level->model_count;
    if (scene.index < 0 || scene.index >= count) {
        static const char hint[] = "Choose a model in the list";
        draw_text(view->x + view->w / 2 - gui_text_length(hint) / 2, view->y + view->h / 2, hint);
    }
}

// ---- 2. selection callbacks -------------------------------------------------

void group_list_pick(int index)
{
    texture_view.select_and_show(index, true);
    info_panel.texture = index;
    info_panel.show_pages = true;
}

void texture_list_pick(int index)
{
    texture_view.select_and_show(index, false);
    info_panel.texture_name = index;
    info_panel.show_pages = false;
}

void texture_view_pick(int index, bool is_page)
{
    if (is_page) {
        info_panel.texture = index;
        group_list.select(index);
    } else {
        texture_list.select(index);
        info_panel.texture_name = index;
    }
}

void texture_search_hit(int index)
{
    if (index == -1)
        return;
    texture_list.select(index);
    texture_view.select_and_show(index, false);
    info_panel.texture_name = index;
}

void model_search_hit(int index)
{
    if (index == -1)
        return;
    model_list.select(index);
    info_panel.model = index;
}

// ---- 3. per-step work and the quit request ----------------------------------

void main_screen_step()
{
    settings *s = current_settings;
    s->fast_quit = setting_boxes[SETTING_FAST_QUIT].checked;
    s->best_colours = setting_boxes[SETTING_BEST_COLOURS].checked;

    if (input_key_down(KEY_ESC))
        request_quit();
    // Every chord acts once per press: a held chord, or the keyboard's
    // repeat of it, saves or takes an undo step once. The key state is
    // polled, so a press is a step where the chord is down and was not.
    bool control = input_key_down(KEY_LCONTROL) || input_key_down(KEY_RCONTROL);
    bool shift = input_key_down(KEY_LSHIFT) || input_key_down(KEY_RSHIFT);
    enum { SAVE, OPEN, UNDO, REDO, CHORDS };
    static bool was_down[CHORDS];
    const bool down[CHORDS] = {control && input_key_down(KEY_S), control && input_key_down(KEY_O),
                               control && !shift && input_key_down(KEY_Z),
                               control && ((shift && input_key_down(KEY_Z)) || input_key_down(KEY_Y))};
    void (*const chord_commands[CHORDS])() = {save_command, open_level_command, undo_command, redo_command};
    for (int i = 0; i < CHORDS; i++) {
        bool pressed = down[i] && !was_down[i];
        was_down[i] = down[i];
        if (pressed)
            chord_commands[i]();
    }

    // The right-hand lists decide which model the 3D view shows.
    if (users_list.visible && users_list.selected != -1 && users_list.selected < users_row_count) {
        int row = users_list.selected;
        if (row < users_event_rows) {
            show_event_model = true;
            selected_event_model = users_index[row];
        } else {
            show_event_model = false;
            selected_model = users_index[row];
        }
    } else {
        selected_model = model_list.selected;
        selected_event_model = event_model_list.selected;
    }
    info_panel.model = show_event_model ? selected_event_model : selected_model;
    info_panel.show_event_models = show_event_model;
    group_list.selected = texture_view.selected_texture;
    update_image_menu();
    refresh_menus();

    s->invert_yrot = setting_boxes[SETTING_INVERT_YROT].checked;
    s->invert_ypos = setting_boxes[SETTING_INVERT_YPOS].checked;
    s->invert_xpos = setting_boxes[SETTING_INVERT_XPOS].checked;
    model_view.invert_yrot = s->invert_yrot != 0;
    model_view.invert_ypos = s->invert_ypos != 0;
    model_view.invert_xpos = s->invert_xpos != 0;
}

namespace {

// What the question window goes on with after "Yes", or after "Save" has
// written the level; null while no question is open.
void (*after_question)() = nullptr;

void quit_now() { quit_requested = 1; }

// The question window: "Yes" and "No", and "Save" beside them when the
// question is about unsaved changes. Yes and No keep a common place in both.
void ask(const char *title, bool offer_save, void (*then)())
{
    after_question = then;
    quit_window.title = title;
    int cx = SCREEN_W / 2;
    quit_window.x = cx - (offer_save ? 130 : 100);
    quit_window.w = offer_save ? 260 : 200;
    quit_yes.x = cx - (offer_save ? 110 : 80);
    quit_no.x = cx + (offer_save ? -30 : 20);
    quit_save.x = cx + 50;
    quit_window.show();
    if (!offer_save)
        quit_save.hide();
}

}  // namespace

void ask_before_discarding(void (*then)())
{
    if (level_changed)
        ask("Discard unsaved changes?", true, then);
    else
        then();
}

void request_quit()
{
    if (level_changed)
        ask_before_discarding(quit_now);
    else if (current_settings->fast_quit)
        quit_now();
    else
        ask("Really quit?", false, quit_now);
}

void quit_yes_command()
{
    quit_window.hide();
    void (*then)() = after_question;
    after_question = nullptr;
    if (then)
        then();
}

void quit_no_command()
{
    quit_window.hide();
    after_question = nullptr;
}

void quit_save_command()
{
    // A save that fails has said why; the level and the editor stay.
    save_command();
    if (level_changed)
        quit_no_command();
    else
        quit_yes_command();
}

// ---- 4. about box and update text --------------------------------------------

int about_picture_top(int random_value) { return (random_value & 1) ? 290 : 0; }

void about_command()
{
    if (about_image.texture != -1)
        about_image.set_region(0, about_picture_top(rand()), 580, 290);
    about_window.show();
}

void about_done_command() { about_window.hide(); }

void show_update_text(char *text, int length)
{
    update_window.show();
    update_text.text = text;
    update_text.length = length;
    update_text.rebuild_lines();
}

void forget_update_text()
{
    update_text.text = nullptr;
    update_text.length = 0;
}
