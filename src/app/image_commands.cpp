// The Image and Level menus' commands: export, import with its selection
// window, and Delete Unused Palettes.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>

#include <vector>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/file_dialog.h"
#include "app/screen_widgets.h"
#include "app/settings.h"
#include "app/undo.h"
#include "app/user_message.h"
#include "base/debug_log.h"
#include "base/path.h"
#include "imaging/bitmap_export.h"
#include "imaging/bitmap_import.h"
#include "imaging/unused_palettes.h"
#include "level/level.h"
#include "level/texture_store.h"
#include "render/gl_textures.h"

// The save dialog's filter lists: a paletted page may be written either way,
// a 15-bit page only as 24-bit. The dialog answers the 1-based entry.
const char EXPORT_FILTER_PALETTED[] = "24-bit Bitmap\0*.bmp\0" "8-bit Bitmap\0*.bmp\0";
const char EXPORT_FILTER_15BIT[] = "24-bit Bitmap\0*.bmp\0";
const char IMPORT_FILTER[] = "Bitmap Image\0*.bmp\0";
enum { EXPORT_FILTER_24BIT = 1, EXPORT_FILTER_8BIT = 2 };

namespace {

// Kept between the import command and the selection window's "Done".
char import_name[FILE_DIALOG_PATH_SIZE];
bool import_is_8bit = false;
int import_page = -1;

// Import and export start in the folder last used for them, else in the
// level's own.
const char *start_folder(const char *last_used)
{
    struct stat st;
    return stat(last_used, &st) == 0 && S_ISDIR(st.st_mode) ? last_used : level_folder;
}

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
    case IMPORT_OK: return;
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

// Runs the chosen importer on the page (all of it with a null selection)
// and re-uploads the GL textures of every page the import can have changed:
// the page itself and, when a palette was overwritten in place, every page
// whose palette list names that palette.
int import_into_page(int page, const import_selection *selection)
{
    // Marked before the importer runs: even a refused import counts as a
    // change, as the user asked for one.
    level_changed = true;
    level *lvl = current_level;
    undo_begin_change(lvl, &page, 1);
    int result = import_is_8bit ? import_8bit_bitmap(lvl, page, import_name, selection)
                                : import_truecolour_image(lvl, page, import_name, selection);
    undo_end_change(lvl);
    if (result != IMPORT_OK) return result;
    int palette_id = lvl->textures[page].paletted ? current_palette_id(lvl, page) : NO_PALETTE_ENTRY;
    for (int p = 0; p < lvl->texture_count; p++) {
        const palette_list *list = p == page ? nullptr : find_palette_list(lvl, p);
        bool shares = false;
        for (int k = 0; list && list->palette_ids && k < list->count; k++)
            shares = shares || list->palette_ids[k] == palette_id;
        if (p == page || shares) rebuild_gl_texture(current_textures, lvl, p);
    }
    return result;
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
    int filter_index = save_file_dialog("Export Page", filter, name, sizeof name, title, sizeof title,
                                        start_folder(current_settings->export_directory));
    if (filter_index < 1) {
        debug_log("Finished exporting image.");
        return;
    }
    // The name gets ".bmp" unless it already ends in that, in any case.
    char path[FILE_DIALOG_PATH_SIZE + 8];
    size_t length = strlen(name);
    memcpy(path, name, length + 1);
    if (length < 4 || strcasecmp(path + length - 4, ".bmp") != 0) memcpy(path + length, ".bmp", 5);

    int result = write_page_bitmap_file(current_level, page, current_palette_id(current_level, page),
                                        filter_index >= EXPORT_FILTER_8BIT, path);
    if (result == EXPORT_OK) {
        folder_of(path, current_settings->export_directory, SETTINGS_PATH_SIZE);
        debug_log("Finished exporting image.");
        return;
    }
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
        !open_file_dialog("Import Image", IMPORT_FILTER, import_name, sizeof import_name, title, sizeof title,
                          start_folder(current_settings->import_directory))) {
        debug_log("Finished importing image.");
        return;
    }
    import_is_8bit = check_8bit_bitmap(import_name) == 0;
    folder_of(import_name, current_settings->import_directory, SETTINGS_PATH_SIZE);
    if (current_level->textures[page].palette_slot_count > 1) {
        // A page with several palettes: the import waits for the selection
        // window's "Done".
        debug_log("Finished importing image.");
        import_page = page;
        import_window.show();
        texture_view.zoomed = 0;
        import_selector.prepare(page, current_level->textures[page].palette_slot);
        return;
    }
    int result = import_into_page(page, nullptr);
    debug_log("Finished importing image.");
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
            int result = import_into_page(import_page, &selection);
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

void delete_unused_palettes_command()
{
    // No pixels change: the step keeps the palette state only.
    undo_begin_change(current_level, nullptr, 0);
    int removed = remove_unused_palettes(current_level);
    undo_end_change(current_level);
    if (removed > 0) level_changed = true;
}
