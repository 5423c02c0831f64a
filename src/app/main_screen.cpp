// The main screen: every widget instance, its geometry, initial state and
// wiring, added to the GUI manager once at start-up.
//
// The order of adding is the drawing order (later lies on top) and the reverse
// of the event order, so the dialog windows come last.
//
// Sections: the instances and the credits; placing helpers; the menus; the
// seven dialog windows; build_main_screen itself.
#include "app/main_screen.h"

#include <allegro.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "app/app_paths.h"
#include "app/app_state.h"
#include "app/commands.h"
#include "app/file_dialog.h"
#include "app/list_rows.h"
#include "app/readme.h"
#include "app/screen_widgets.h"
#include "app/settings.h"
#include "app/undo.h"
#include "app/update_check.h"
#include "app/user_message.h"
#include "base/file_system.h"
#include "base/version.h"

texture_render texture_view;
render3d model_view;
listbox texture_list;
listbox model_list;
listbox group_list;
listbox event_model_list;
listbox users_list;
checkbox flash_checkbox;
quick_info info_panel;
searchbox texture_search;
searchbox model_search;
menu image_menu;
window settings_window;
window about_window;
textbox credits_box;
image about_image;
window import_window;
texture_selector import_selector;
checkbox import_replace_box;
window progress_window;
progress_bar progress_window_bar;
window update_window;
textbox update_text;
window quit_window;
button quit_yes, quit_no, quit_save;
checkbox setting_boxes[SETTING_COUNT];

const char CREDITS_TEXT[] =
    "Credits:\n"
    "\n"
    "Programming: the Quarly Texture Editor team\n"
    "Beta testing and readme editing: the modders who tried every build\n"
    "Thanks to the Quarly fan site for its file format notes\n"
    "Thanks to the Quarly modding forum for its patience\n"
    "Modified NEUQUANT Palette producer.\n"
    "Allegro Game Programming Library\n"
    "AllegroGL\n"
    "Libcurl\n";

namespace {

// The menus and buttons the main routine owns; they live as long as the
// process like the rest of the screen.
menu file_menu, level_menu, view_menu, help_menu;
button about_done, import_done, import_cancel, import_select_all;



void place(object *widget, int x, int y, int w, int h)
{
    widget->x = x;
    widget->y = y;
    widget->w = w;
    widget->h = h;
}

void place_menu(menu *m, const char *label, int x)
{
    m->label = label;
    place(m, x, 0, 80, 20);
}

// Places a window and gives it its title bar text (null: none) and flags.
void place_window(window *w, const char *title, int flags, int x, int y, int width, int height)
{
    place(w, x, y, width, height);
    w->title = title;
    w->flags = flags;
}

// Makes `children` the window's children and hands the window, then each
// child, to the manager (a window is drawn under what it holds).
void add_window(gui_manager *manager, window *w, std::initializer_list<object *> children)
{
    w->children = children;
    manager->add(w);
    for (object *child : children)
        manager->add(child);
}

void place_button(button *b, const char *label, void (*on_click)(), int x, int y, int w, int h)
{
    b->label = label;
    b->on_click = on_click;
    place(b, x, y, w, h);
}

void setup_list(listbox *list, void (*on_change)(int), int wheel_step, bool numbered)
{
    place(list, 610, 200, 185, SCREEN_H - 205);
    list->on_change = on_change;
    list->scroll.wheel_step = wheel_step;
    list->numbered = numbered;
}

// File > Open Recent: one row per remembered level, its path cut at the
// front to fit; a level whose files are gone stays listed, disabled.
enum { RECENT_LABEL_SIZE = 64 };
char recent_labels[SETTINGS_RECENT_COUNT][RECENT_LABEL_SIZE];
template <int N> void open_recent() { open_recent_level(N); }
const menu_command recent_commands[SETTINGS_RECENT_COUNT] = {
    open_recent<0>, open_recent<1>, open_recent<2>, open_recent<3>,
    open_recent<4>, open_recent<5>, open_recent<6>, open_recent<7>};
menu_chunk *recent_chunk = nullptr;
enum { LEVEL_MENU_UNDO = 1, LEVEL_MENU_REDO = 2 };

bool is_file(const char *path)
{
    return path_kind(path, nullptr) == PATH_FILE;
}

void refresh_recent_rows()
{
    const settings *s = current_settings;
    recent_chunk->clear_rows();
    for (int i = 0; i < SETTINGS_RECENT_COUNT && s->recent_levels[i][0]; i++) {
        const char *path = s->recent_levels[i];
        size_t n = strlen(path);
        std::string label = n < RECENT_LABEL_SIZE ? path : "..." + std::string(path + n - (RECENT_LABEL_SIZE - 4));
        memcpy(recent_labels[i], label.c_str(), label.size() + 1);
        recent_chunk->add_row(recent_labels[i], recent_commands[i]);
        recent_chunk->disabled.back() = !is_file(path) || !is_file(s->recent_d3ds[i]);
    }
    if (recent_chunk->row_count() == 0) {
        recent_chunk->add_row("No levels opened yet", nullptr);
        recent_chunk->disabled.back() = true;
    }
    recent_chunk->layout(recent_chunk->x, recent_chunk->y);
}

void build_menus(gui_manager *manager)
{
    place_menu(&file_menu, "File", 0);
    file_menu.begin_submenu("Open     >");
    file_menu.add_entry("LEV", open_level_command, "Ctrl+O");
    file_menu.end_submenu();
    file_menu.begin_submenu("Open Recent     >");
    file_menu.add_entry("No levels opened yet", nullptr);
    file_menu.end_submenu();
    file_menu.add_entry("Save", save_command, "Ctrl+S");
    file_menu.add_entry("Exit", request_quit);
    recent_chunk = file_menu.chunks.back();

    place_menu(&level_menu, "Level", 160);
    level_menu.add_entry("Delete Unused Palettes", delete_unused_palettes_command);
    level_menu.add_entry("Undo", undo_command, "Ctrl+Z");
    level_menu.add_entry("Redo", redo_command, "Ctrl+Shift+Z");

    place_menu(&view_menu, "View", 240);
    view_menu.add_entry("Models", view_models_command);
    view_menu.add_entry("Event Models", view_event_models_command);
    view_menu.add_entry("Models Using This Tex", view_users_command);
    view_menu.add_entry("Texture Groups", view_texture_groups_command);
    view_menu.add_entry("Individual Textures", view_individual_textures_command);
    view_menu.add_entry("Settings", view_settings_command);

    place_menu(&image_menu, "Image", 320);
    image_menu.add_entry("Export", export_command);
    image_menu.add_entry("Import", import_command);
    image_menu.add_entry("Export All...", export_all_command);
    image_menu.add_entry("Import All...", import_all_command);

    place_menu(&help_menu, "Help", 80);
    help_menu.add_entry("View Readme", view_readme_command);
    help_menu.add_entry("About", about_command);
    help_menu.add_entry("Check for updates", check_for_updates_command);

    manager->add(&file_menu);
    manager->add(&level_menu);
    manager->add(&view_menu);
    manager->add(&image_menu);
    manager->add(&help_menu);
    image_menu.hide();
}

void build_settings_window(gui_manager *manager)
{
    static const char *const labels[SETTING_COUNT] = {"Invert Y Rotation", "Invert Y Panning", "Invert X Panning",
                                                      "Fast quit", "Best colour reduction (slower)"};
    const settings *s = current_settings;
    const int32_t values[SETTING_COUNT] = {s->invert_yrot, s->invert_ypos, s->invert_xpos, s->fast_quit,
                                           s->best_colours};
    place_window(&settings_window, "Settings", WINDOW_CLOSE | WINDOW_DRAG, 100, 100, SCREEN_W - 200, SCREEN_H - 200);
    manager->add(&settings_window);
    for (int i = 0; i < SETTING_COUNT; i++) {
        place(&setting_boxes[i], 120, 120 + 20 * i, 100, 10);
        setting_boxes[i].label = labels[i];
        setting_boxes[i].checked = values[i] != 0;
        settings_window.children.push_back(&setting_boxes[i]);
        manager->add(&setting_boxes[i]);
    }
}

void build_about_window(gui_manager *manager)
{
    place_window(&about_window, "About Quarly Texture Editor", WINDOW_CLOSE | WINDOW_DRAG, 100, 50, SCREEN_W - 200,
                 SCREEN_H - 100);
    // The version and the licence come first, above the credits.
    static char about_text[sizeof CREDITS_TEXT + 160];
    int length = snprintf(about_text, sizeof about_text,
                          "Quarly Texture Editor %d.%d\nFree software under the MIT licence (see the LICENSE file).\n\n%s",
                          VERSION_MAJOR, VERSION_MINOR, CREDITS_TEXT);
    place(&credits_box, 110, 370, SCREEN_W - 220, SCREEN_H - 450);
    credits_box.text = about_text;
    credits_box.length = length < 0 ? 0 : length >= (int)sizeof about_text ? (int)sizeof about_text - 1 : length;
    credits_box.layout();
    credits_box.rebuild_lines();
    place_button(&about_done, "Done", about_done_command, SCREEN_W / 2 - 30, 525, 60, 20);
    about_image.x = 110;
    about_image.y = 70;
    // A missing picture leaves the box without one; nothing is reported.
    if (about_image.load(asset_path("about.bmp").c_str()) == 0)
        about_image.set_region(0, 0, 580, 290);
    about_window.children = {&credits_box, &credits_box.vscroll, &credits_box.hscroll, &about_done, &about_image};
    manager->add(&about_window);
    manager->add(&credits_box);
    manager->add(&about_done);
    manager->add(&about_image);
}

void build_import_window(gui_manager *manager)
{
    // Centred on the texture view, not on the screen.
    int cx = texture_view.x + texture_view.w / 2, cy = texture_view.y + texture_view.h / 2;
    place_window(&import_window, "Select textures to import.", 0, cx - 220, cy - 150, 440, 320);
    place(&import_selector, cx - 128, cy - 130, 256, 256);
    import_selector.level = current_level;
    import_selector.texture_set = current_textures;
    import_selector.prepare(65, 0);
    place(&import_replace_box, cx - 210, cy + 132, 420, 10);
    import_replace_box.label = "Replace the whole palette (other textures change colour)";
    place_button(&import_done, "Done", import_done_command, cx - 20, cy + 150, 70, 15);
    place_button(&import_cancel, "Cancel", import_cancel_command, cx + 60, cy + 150, 70, 15);
    place_button(&import_select_all, "Select All", import_select_all_command, cx - 130, cy + 150, 90, 15);
    add_window(manager, &import_window,
               {&import_selector, &import_replace_box, &import_done, &import_cancel, &import_select_all});
}

void build_progress_window(gui_manager *manager)
{
    place_window(&progress_window, "Working...", 0, SCREEN_W / 2 - 150, SCREEN_H / 2 - 25, 300, 50);
    place(&progress_window_bar, SCREEN_W / 2 - 140, SCREEN_H / 2 - 5, 280, 16);
    add_window(manager, &progress_window, {&progress_window_bar});
}

void build_update_window(gui_manager *manager)
{
    place_window(&update_window, nullptr, WINDOW_CLOSE | WINDOW_DRAG, 100, 100, SCREEN_W - 200, SCREEN_H - 200);
    place(&update_text, 110, 120, SCREEN_W - 220, SCREEN_H - 230);
    update_text.text = nullptr;
    update_text.length = 0;
    update_text.layout();
    update_window.children = {&update_text, &update_text.vscroll, &update_text.hscroll};
    manager->add(&update_window);
    manager->add(&update_text);
}

void build_quit_window(gui_manager *manager)
{
    // The question places its buttons each time it asks (commands.cpp).
    place_window(&quit_window, "Really quit?", WINDOW_CLOSE, SCREEN_W / 2 - 100, SCREEN_H / 2 - 20, 200, 40);
    place_button(&quit_yes, "Yes", quit_yes_command, SCREEN_W / 2 - 80, SCREEN_H / 2 - 3, 60, 15);
    place_button(&quit_no, "No", quit_no_command, SCREEN_W / 2 + 20, SCREEN_H / 2 - 3, 60, 15);
    place_button(&quit_save, "Save", quit_save_command, SCREEN_W / 2 + 50, SCREEN_H / 2 - 3, 60, 15);
    add_window(manager, &quit_window, {&quit_yes, &quit_no, &quit_save});
}

}  // namespace

void build_main_screen(gui_manager *manager)
{
    place(&texture_view, 5, 25, 600, SCREEN_H - 30);
    texture_view.show();
    texture_view.level = current_level;
    texture_view.texture_set = current_textures;
    texture_view.on_select = texture_view_pick;
    texture_view.set_mode(TEXTURE_MODE_GROUP);
    manager->add(&texture_view);

    place(&model_view, 5, 25, 600, SCREEN_H - 30);
    model_view.on_draw = draw_selected_model;
    model_view.invert_yrot = current_settings->invert_yrot != 0;
    model_view.invert_ypos = current_settings->invert_ypos != 0;
    model_view.invert_xpos = current_settings->invert_xpos != 0;
    manager->add(&model_view);
    model_view.hide();

    setup_list(&texture_list, texture_list_pick, 1, true);
    setup_list(&model_list, nullptr, 3, true);
    setup_list(&group_list, group_list_pick, 3, false);
    setup_list(&event_model_list, nullptr, 3, false);
    setup_list(&users_list, nullptr, 3, false);
    listbox *lists[] = {&texture_list, &model_list, &group_list, &event_model_list, &users_list};
    for (listbox *list : lists)
        manager->add(list);
    for (listbox *list : lists) {
        if (list == &group_list)
            list->show();
        else
            list->hide();
    }

    place(&flash_checkbox, 610, 185, 100, 10);
    flash_checkbox.label = "Flash texture";
    flash_checkbox.label_colour = makecol(255, 255, 255);
    flash_checkbox.checked = false;
    manager->add(&flash_checkbox);
    flash_checkbox.hide();

    place(&info_panel, 610, 25, 185, 155);
    info_panel.level = current_level;
    manager->add(&info_panel);
    info_panel.show();

    place(&texture_search, 610, 185, 185, 15);
    texture_search.on_search = texture_search_hit;
    place(&model_search, 610, 185, 185, 15);
    model_search.on_search = model_search_hit;
    manager->add(&texture_search);
    manager->add(&model_search);
    texture_search.hide();
    model_search.hide();

    build_menus(manager);
    build_settings_window(manager);
    build_about_window(manager);
    build_import_window(manager);
    build_progress_window(manager);
    build_update_window(manager);
    build_quit_window(manager);
    window *windows[] = {&settings_window, &about_window, &import_window,
                         &progress_window, &update_window, &quit_window};
    for (window *w : windows)
        w->hide();
}

void free_main_screen_lists()
{
    free_users_list();
    free_name_lists();
}

bool flash_checkbox_checked() { return flash_checkbox.checked; }

void refresh_menus()
{
    if (level_menu.chunks.empty() || !recent_chunk)
        return;   // not built
    menu_chunk *level_rows = level_menu.chunks[0];
    level_rows->disabled[LEVEL_MENU_UNDO] = !undo_available();
    level_rows->disabled[LEVEL_MENU_REDO] = !redo_available();
    // The recent levels are looked at on disk as the File menu opens.
    static bool file_menu_was_open = false;
    bool open = file_menu.chunks[0]->visible;
    if (open && !file_menu_was_open)
        refresh_recent_rows();
    file_menu_was_open = open;
}
