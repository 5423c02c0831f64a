// The File menu's commands: opening a level through the two file dialogs,
// closing it, and saving it.
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

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
#include "base/file_system.h"
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
    FILE *lev = open_file(lev_name, "rb");
    if (!lev) {
        report_unreadable("level file", lev_name, strerror(errno));
        debug_log("Done loading level");
        return;
    }
    FILE *d3d = open_file(d3d_name, "rb");
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
    remember_recent_level(s, level_path, d3d_path);

    if (build_name_lists(current_level) != 0)
        debug_log(" Not enough memory for the name lists.");
    give_lists_to_widgets();
    texture_view.set_mode(texture_view.mode);
    debug_log("Done loading level");
}

// Open's work once unsaved changes may go: the two choosers, then the load.
static void choose_and_open_level()
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

void open_level_command() { ask_before_discarding(choose_and_open_level); }

// A level to open once the question about unsaved changes is answered.
static char pending_lev[LEVEL_PATH_SIZE], pending_d3d[LEVEL_PATH_SIZE];

static void open_pending_level() { open_level_files(pending_lev, pending_d3d[0] ? pending_d3d : nullptr); }

// Opens `lev` (with `d3d`, or null for the one beside it) after asking.
static void open_level_asking(const char *lev, const char *d3d)
{
    if (strlen(lev) >= sizeof pending_lev || (d3d && strlen(d3d) >= sizeof pending_d3d)) {
        report_unreadable("level file", lev, "The file name is too long.");
        return;
    }
    snprintf(pending_lev, sizeof pending_lev, "%s", lev);
    snprintf(pending_d3d, sizeof pending_d3d, "%s", d3d ? d3d : "");
    ask_before_discarding(open_pending_level);
}

void open_recent_level(int index)
{
    const settings *s = current_settings;
    if (index < 0 || index >= SETTINGS_RECENT_COUNT || !s->recent_levels[index][0]) return;
    open_level_asking(s->recent_levels[index], s->recent_d3ds[index]);
}

void open_dropped_files(const std::vector<std::string> &files, int x, int y)
{
    for (const std::string &file : files) {
        if (file.size() > 4 && strcasecmp(file.c_str() + file.size() - 4, ".lev") == 0) {
            debug_log("A level was dropped: %s", file.c_str());
            open_level_asking(file.c_str(), nullptr);
            return;
        }
    }
    // An image goes into the page it is dropped on, through Import as if
    // the chooser had answered it.
    int page = texture_view.visible && texture_view.mode == TEXTURE_MODE_GROUP ? texture_view.group_hit(x, y) : -1;
    if (page < 0 || current_level->load_mask == 0 || page >= current_level->texture_count) {
        tell_user("Drop a level file on the window to open it, or an image on a page to import it into that page.");
        return;
    }
    debug_log("An image was dropped on page %d: %s", page, files[0].c_str());
    texture_view.selected_texture = page;
    texture_view_pick(page, true);
    answer_next_file_dialog(files[0].c_str());
    import_command();
    answer_next_file_dialog(nullptr);
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
