// The File menu's commands: opening a level through the two file dialogs,
// closing it, and saving it.
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>

#include <string>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/file_dialog.h"
#include "app/list_rows.h"
#include "app/screen_widgets.h"
#include "app/settings.h"
#include "app/undo.h"
#include "app/user_message.h"
#include "base/debug_log.h"
#include "base/path.h"
#include "level/level.h"
#include "level/level_writer.h"
#include "render/gl_textures.h"

namespace {

void report_unreadable(const char *what, const char *path, const char *why)
{
    // The box has room for three lines; the log keeps one line per entry.
    debug_log(" The %s could not be opened: %s: %s", what, path, why);
    char text[LEVEL_PATH_SIZE + 512];
    snprintf(text, sizeof text, "The %s could not be opened:\n%s\n%s", what, path, why);
    tell_user(text);
}

void give_list(listbox *list, char **rows, int count)
{
    list->items = rows;
    list->count = count;
    list->update_range();
}

void give_search(searchbox *box, char **rows, int count)
{
    box->items = rows;
    box->count = count;
    box->next_index = 0;
}

}  // namespace

void give_lists_to_widgets()
{
    give_list(&texture_list, texture_name_rows, texture_name_row_count);
    give_list(&model_list, model_rows, model_row_count);
    give_list(&group_list, page_rows, page_row_count);
    give_list(&event_model_list, event_model_rows, event_model_row_count);
    give_list(&users_list, users_rows, users_row_count);
    give_search(&texture_search, texture_name_rows, texture_name_row_count);
    give_search(&model_search, model_rows, model_row_count);
}

void close_level()
{
    if (current_level->load_mask != 0)
        cleanup_level(current_level);
    undo_clear();
    release_gl_textures(current_textures);
    free_users_list();
    listbox *lists[] = {&texture_list, &model_list, &group_list, &event_model_list, &users_list};
    for (listbox *list : lists) {
        list->selected = -1;
        list->scroll.scrollable = false;
    }
    texture_view.selected_texture = -1;
    texture_view.selected_name = -1;
    texture_view.zoomed = 0;
    selected_model = -1;
    selected_event_model = -1;
    info_panel.texture = -1;
    info_panel.texture_name = -1;
    info_panel.model = -1;
    free_name_lists();
    // The widgets must not keep pointers into the freed lists and level.
    give_lists_to_widgets();
    import_window.hide();
    import_selector.prepare(65, 0);
}

// Reads both files and, when both are a level, replaces the loaded one with
// it; otherwise the user is told why and the loaded level stays.
static void load_level_files(const char *lev_name, const char *d3d_name)
{
    settings *s = current_settings;
    // Names from the command line have no dialog to bound them.
    const char *too_long = strlen(lev_name) >= LEVEL_PATH_SIZE ? lev_name
                           : strlen(d3d_name) >= LEVEL_PATH_SIZE ? d3d_name : nullptr;
    if (too_long) {
        report_unreadable(too_long == lev_name ? "level file" : "palette-list file", too_long,
                          "The file name is too long.");
        debug_log("Done loading level");
        return;
    }
    // Both files are opened and read before the loaded level is let go, so
    // that a wrong choice never costs the user the level (and its unsaved
    // changes) that was open.
    FILE *lev = fopen(lev_name, "rb");
    if (!lev) {
        report_unreadable("level file", lev_name, strerror(errno));
        debug_log("Done loading level");
        return;
    }
    FILE *d3d = fopen(d3d_name, "rb");
    if (!d3d) {
        report_unreadable("palette-list file", d3d_name, strerror(errno));
        fclose(lev);
        debug_log("Done loading level");
        return;
    }
    level loaded;
    memset(&loaded, 0, sizeof loaded);
    result read = load_level(&loaded, lev, d3d, LOAD_ALL);
    fclose(lev);
    fclose(d3d);
    if (read.code != LOAD_OK) {
        if (read.code == LOAD_BAD_D3D || read.code == LOAD_NO_D3D_FILE)
            report_unreadable("palette-list file", d3d_name, read.reason);
        else if (read.code == LOAD_NO_MEMORY)
            report_unreadable("level", lev_name, "there is not enough memory to load it");
        else
            report_unreadable("level file", lev_name, read.reason);
        // Not cleanup_level: its log lines would read as if the open level went.
        release_level_memory(&loaded);
        debug_log("Done loading level");
        return;
    }

    close_level();
    *current_level = loaded;  // the level's arrays change owner, nothing is copied
    snprintf(level_path, sizeof level_path, "%s", lev_name);
    snprintf(d3d_path, sizeof d3d_path, "%s", d3d_name);
    level_changed = false;
    build_gl_textures(current_textures, current_level);

    folder_of(level_path, level_folder, sizeof level_folder);
    folder_of(level_path, s->lev_directory, SETTINGS_PATH_SIZE);
    folder_of(d3d_path, s->d3d_directory, SETTINGS_PATH_SIZE);

    if (build_name_lists(current_level) != 0)
        debug_log(" Not enough memory for the name lists.");
    give_lists_to_widgets();
    texture_view.set_mode(texture_view.mode);
    debug_log("Done loading level");
}

void open_level_command()
{
    debug_log("Loading level.");
    settings *s = current_settings;
    char lev_name[LEVEL_PATH_SIZE] = "", d3d_name[LEVEL_PATH_SIZE] = "";
    char title[FILE_DIALOG_TITLE_SIZE];
    bool chosen = open_file_dialog("Open Level", "Quarly Level\0*.lev\0", lev_name, sizeof lev_name, title,
                                   sizeof title, s->lev_directory);
    if (chosen) {
        // The common case is the palette list beside the level: it starts
        // chosen, so Enter takes it.
        char level_folder_name[LEVEL_PATH_SIZE];
        char beside[LEVEL_PATH_SIZE];
        folder_of(lev_name, level_folder_name, sizeof level_folder_name);
        bool found = find_palette_list_file(lev_name, beside, sizeof beside);
        chosen = open_file_dialog("Open Palette List", "Quarly D3D\0*.d3d\0", d3d_name, sizeof d3d_name, title,
                                  sizeof title, found ? level_folder_name : s->d3d_directory, found ? beside : nullptr);
    }
    if (!chosen) {
        debug_log("Error with GetOpenFilename: %d", file_dialog_error());
        debug_log("Done loading level");
        return;
    }
    load_level_files(lev_name, d3d_name);
}

void open_level_files(const char *lev_name, const char *d3d_name)
{
    debug_log("Loading level.");
    char d3d_beside[LEVEL_PATH_SIZE];
    if (!d3d_name) {
        find_palette_list_file(lev_name, d3d_beside, sizeof d3d_beside);
        d3d_name = d3d_beside;
    }
    load_level_files(lev_name, d3d_name);
}

void save_command()
{
    debug_log("Saving changes.");
    level *lvl = current_level;
    if (!lvl || !lvl->load_mask) {
        level_changed = false;
        debug_log("Save completed");
        return;
    }
    result saved = save_level(lvl, level_path, d3d_path);
    if (saved.code == SAVE_OK) {
        level_changed = false;
        undo_mark_saved();
        debug_log("Save completed");
        return;
    }
    // The changes are still only in memory: keep saying so.
    debug_log(" Save failed: %s.", saved.reason);
    char text[700];
    snprintf(text, sizeof text, "The level could not be saved: %s. The files on disk were left as they were.",
             saved.reason);
    tell_user(text);
}
