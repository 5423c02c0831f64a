// The main screen's commands.
//
// Sections:
//   1. view switches
//   2. selection callbacks
//   3. per-step work and the quit request
//   4. export, import and the selection window
//   5. level menu, save, about box and update text
#include "app/commands.h"

#include <allegro.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "app/app_state.h"
#include "base/debug_log.h"
#include "app/file_dialog.h"
#include "app/main_screen.h"
#include "imaging/bitmap_export.h"
#include "imaging/bitmap_import.h"
#include "imaging/unused_palettes.h"
#include "app/screen_widgets.h"
#include "app/settings.h"
#include "app/user_message.h"
#include "level/level.h"
#include "app/level_open.h"
#include "level/level_writer.h"
#include "render/model_render.h"
#include "level/name_lists.h"
#include "level/texture_store.h"

// ---- 1. view switches -------------------------------------------------------

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

bool have_current_page()
{
    return texture_view.selected_texture != -1;
}

}  // namespace

void view_models_command()
{
    show_model_view();
    object *shown[] = {&model_list, &model_search};
    show_only(shown, 2);
    image_menu.hide();
    info_panel.show_event_models = false;
    show_event_model = false;
}

void view_event_models_command()
{
    show_model_view();
    object *shown[] = {&event_model_list};
    show_only(shown, 1);
    image_menu.hide();
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
    if (have_current_page())
        image_menu.show();
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
    image_menu.hide();
    info_panel.show_pages = false;
    info_panel.show_texture_info = true;
}

void view_settings_command() { settings_window.show(); }

// ---- 2. selection callbacks -------------------------------------------------

void group_list_pick(int index)
{
    texture_view.select_and_show(index, true);
    info_panel.texture = index;
    info_panel.show_pages = true;
    image_menu.show();
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
        image_menu.show();
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

    if (input_key_down(KEY_ESC))
        request_quit();
    // Levels, not presses: a held combination repeats every step.
    if (input_key_down(KEY_LCONTROL) || input_key_down(KEY_RCONTROL)) {
        if (input_key_down(KEY_S))
            save_command();
        else if (input_key_down(KEY_O))
            open_level_command();
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
    group_list.selected = texture_view.selected_texture;

    s->invert_yrot = setting_boxes[SETTING_INVERT_YROT].checked;
    s->invert_ypos = setting_boxes[SETTING_INVERT_YPOS].checked;
    s->invert_xpos = setting_boxes[SETTING_INVERT_XPOS].checked;
    model_view.invert_yrot = s->invert_yrot != 0;
    model_view.invert_ypos = s->invert_ypos != 0;
    model_view.invert_xpos = s->invert_xpos != 0;
}

void request_quit()
{
    if (level_changed) {
        quit_window.title = "Quit without saving?";
    } else if (current_settings->fast_quit) {
        quit_requested = 1;
        return;
    } else {
        quit_window.title = "Really quit?";
    }
    quit_window.show();
}

void quit_yes_command() { quit_requested = 1; }
void quit_no_command() { quit_window.hide(); }

// ---- 4. export, import and the selection window -----------------------------

void folder_of(const char *path, char *folder, int size)
{
    const char *end = nullptr;
    for (const char *p = path; *p; p++)
        if (*p == '/' || *p == '\\')
            end = p + 1;
    size_t n = end ? (size_t)(end - path) : 0;
    if (n >= (size_t)size)
        n = (size_t)size - 1;
    memcpy(folder, path, n);
    folder[n] = '\0';
}

namespace {

// Kept between the import command and the selection window's "Done".
char import_name[FILE_DIALOG_PATH_SIZE];
bool import_is_8bit = false;
int import_page = -1;

bool page_exists(int page)
{
    const level *lvl = current_level;
    return lvl->load_mask != 0 && page >= 0 && page < lvl->texture_count;
}

// The importers log why they refused a file; the user hears it too.
void report_import(int result)
{
    const char *why = nullptr;
    switch (result) {
    case IMPORT_OK:
    case IMPORT_NEEDS_SELECTION:
        return;
    case IMPORT_CANNOT_OPEN: why = "The file cannot be opened or is not an image."; break;
    case IMPORT_COMPRESSED: why = "Can't load bitmaps with compression."; break;
    case IMPORT_TOO_MANY_COLOURS: why = "The bitmap has more than 256 colours in its table."; break;
    case IMPORT_TRUNCATED: why = "The bitmap file is shorter than its header says."; break;
    case IMPORT_NO_MEMORY: why = "There is not enough memory."; break;
    default: why = "The page cannot take this image."; break;
    }
    char text[FILE_DIALOG_PATH_SIZE + 128];
    snprintf(text, sizeof text, "The image could not be imported:\n%s\n%s", import_name, why);
    tell_user(text);
}

}  // namespace

void export_command()
{
    debug_log("Exporting image.");
    int page = texture_view.selected_texture;
    if (!page_exists(page)) {
        debug_log("Finished exporting image.");
        return;
    }
    const char *filter = current_level->textures[page].paletted ? EXPORT_FILTER_PALETTED : EXPORT_FILTER_15BIT;
    char name[FILE_DIALOG_PATH_SIZE], title[FILE_DIALOG_TITLE_SIZE];
    int filter_index = save_file_dialog(filter, name, sizeof name, title, sizeof title,
                                        current_settings->export_directory);
    // The exporter adds ".bmp", writes through a temporary file, remembers
    // the folder and logs the end; a cancelled dialog only logs.
    int result = export_page_to_file(current_level, page, filter_index > 0 ? name : nullptr, filter_index);
    if (result == EXPORT_OK || result == EXPORT_CANCELLED)
        return;
    char text[FILE_DIALOG_PATH_SIZE + 128];
    snprintf(text, sizeof text, "The page could not be exported to\n%s\n%s", name,
             result == EXPORT_CANNOT_CREATE  ? "The file cannot be created."
             : result == EXPORT_NO_PALETTE   ? "The page's palette is missing."
             : result == EXPORT_WRITE_FAILED ? "Writing the file failed; nothing was changed."
                                             : "The page cannot be exported.");
    tell_user(text);
}

void import_command()
{
    debug_log("Importing image.");
    int page = texture_view.selected_texture;
    char title[FILE_DIALOG_TITLE_SIZE];
    if (!page_exists(page) ||
        !open_file_dialog("Bitmap Image\0*.bmp\0", import_name, sizeof import_name, title, sizeof title,
                          current_settings->import_directory)) {
        debug_log("Finished importing image.");
        return;
    }
    int result = import_chosen_file(current_level, page, import_name, &import_is_8bit);
    if (result == IMPORT_NEEDS_SELECTION) {
        // The import waits for the selection window's "Done".
        import_page = page;
        import_window.show();
        texture_view.zoomed = 0;
        import_selector.prepare(page, current_level->textures[page].palette_slot);
    }
    report_import(result);
}

void import_done_command()
{
    // The level may have been closed or replaced while the window was open.
    if (page_exists(import_page) && import_selector.page == import_page) {
        std::vector<const texture_name *> names(import_selector.names.begin(), import_selector.names.end());
        bool *marks = (bool *)calloc(names.size() + 1, sizeof *marks);
        if (marks) {
            for (size_t i = 0; i < names.size() && i < import_selector.selected.size(); i++)
                marks[i] = import_selector.selected[i];
            import_selection selection = {(int)names.size(), names.data(), marks};
            int result = import_selected_textures(current_level, import_page, import_name, import_is_8bit,
                                                  &selection);
            free(marks);
            import_window.hide();
            report_import(result);
            return;
        }
    }
    import_window.hide();
}

void import_cancel_command() { import_window.hide(); }

void import_select_all_command() { import_selector.select_all(); }

// ---- 5. level menu, save, about box and update text -------------------------

void save_command() { save_level_command(); }

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
