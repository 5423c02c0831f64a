// The Image and Level menus' commands: export, import with its selection
// window, Export All and Import All, and Delete Unused Palettes.
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <time.h>

#include <memory>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/file_dialog.h"
#include "app/screen_widgets.h"
#include "app/settings.h"
#include "app/undo.h"
#include "app/user_message.h"
#include "base/debug_log.h"
#include "base/file_system.h"
#include "base/path.h"
#include "imaging/bitmap_export.h"
#include "imaging/batch.h"
#include "imaging/page_import.h"
#include "imaging/image_decode.h"
#include "imaging/image_file.h"
#include "imaging/png_image.h"
#include "imaging/unused_palettes.h"
#include "level/level.h"
#include "level/texture_store.h"
#include "render/gl_textures.h"

// The save dialog's filter lists: a paletted page may be written either way,
// a 15-bit page only as 24-bit. The dialog answers the 1-based entry.
const char EXPORT_FILTER_PALETTED[] =
    "24-bit Bitmap\0*.bmp\0" "8-bit Bitmap\0*.bmp\0" "8-bit PNG Image\0*.png\0" "24-bit PNG Image\0*.png\0";
const char EXPORT_FILTER_15BIT[] = "24-bit Bitmap\0*.bmp\0" "24-bit PNG Image\0*.png\0";
const char IMPORT_FILTER[] =
    "Images (*.png *.bmp *.jpg *.jpeg *.tga *.pcx *.lbm)\0*.png;*.bmp;*.jpg;*.jpeg;*.tga;*.pcx;*.lbm\0"
    "Bitmap Image\0*.bmp\0" "PNG Image (*.png)\0*.png\0" "JPEG Image (*.jpg *.jpeg)\0*.jpg;*.jpeg\0"
    "TGA Image (*.tga)\0*.tga\0" "PCX Image (*.pcx)\0*.pcx\0" "LBM Image (*.lbm)\0*.lbm\0";
// Export All's formats in its folder chooser, the default first; 15-bit pages
// are written as 24-bit whichever is chosen.
const char EXPORT_ALL_FILTER[] =
    "8-bit Bitmap\0*.bmp\0" "24-bit Bitmap\0*.bmp\0" "8-bit PNG Image\0*.png\0" "24-bit PNG Image\0*.png\0";

namespace {

// Kept between the import command and the selection window's "Done": the
// file's name and the image read from it.
char import_name[FILE_DIALOG_PATH_SIZE];
import_image import_loaded = {};
int import_page = -1;

// What the export chooser's answer means: PNG or bitmap, 8-bit or 24-bit.
struct export_format {
    bool png, want_8bit;
};

bool ends_in(const char *name, const char *extension)
{
    size_t length = strlen(name), n = strlen(extension);
    return length > n && strcasecmp(name + length - n, extension) == 0;
}

// A typed ".png" or ".bmp" (any case) chooses the container, the filter the
// depth; a 15-bit page is always written as 24-bit, and a paletted page with
// no filter to go by as 8-bit, the lossless round trip.
export_format export_choice(const char *name, int filter_index, bool paletted)
{
    export_format format = {filter_index == 2, false};
    if (paletted) {
        bool known = filter_index >= 1 && filter_index <= 4;
        format = {filter_index >= 3, !known || filter_index == 2 || filter_index == 3};
    }
    if (ends_in(name, ".png")) format.png = true;
    if (ends_in(name, ".bmp")) format.png = false;
    return format;
}

// The entry of the paletted (else the 15-bit) filter list naming `format`.
int export_filter_index(export_format format, bool paletted)
{
    if (!paletted) return format.png ? 2 : 1;
    return format.png ? (format.want_8bit ? 3 : 4) : (format.want_8bit ? 2 : 1);
}

// Import and export start in the folder last used for them, else in the
// level's own.
const char *start_folder(const char *last_used)
{
    return path_kind(last_used, nullptr) == PATH_FOLDER ? last_used : level_folder;
}

bool page_exists(int page)
{
    const level *lvl = current_level;
    return lvl->load_mask != 0 && page >= 0 && page < lvl->texture_count;
}

// The size of an imported image, and what the import did.
struct import_report {
    int width = PAGE_SIZE, height = PAGE_SIZE;
    import_summary summary = {};
};

// Tells the user why an import was refused (`reason`: the decoder's phrase,
// or null to say it from the importer's code); what became of an image that
// is not 256 x 256 (its top-left part was taken and, where it is smaller,
// the imported pixels are black); and when the chosen textures had fewer
// than 16 palette entries of their own to take new colours.
void report_import(int result, const char *reason, const import_report &done, bool whole_page)
{
    const char *why = reason;
    if (!why && result == IMPORT_NO_MEMORY) why = "there is not enough memory";
    else if (!why && result != IMPORT_OK) why = "the page cannot take this image";
    const int w = done.width, h = done.height;
    const int free_entries = done.summary.free_entries;
    const bool cramped = !why && done.summary.paletted && !done.summary.indices_kept && free_entries < 16;
    if (cramped) {
        char text[200];
        snprintf(text, sizeof text, "Only %d palette entr%s free; the rest of the image uses the page's existing colours.",
                 free_entries, free_entries == 1 ? "y was" : "ies were");
        tell_user(text);
    }
    if (!why && w == PAGE_SIZE && h == PAGE_SIZE) return;
    char text[FILE_DIALOG_PATH_SIZE + 160];
    const char *rest = whole_page ? "the rest of the page was filled with black"
                                  : "the rest of the chosen textures was filled with black";
    if (why)
        snprintf(text, sizeof text, "The image could not be imported:\n%s:\n%s.", import_name, why);
    else if (w >= PAGE_SIZE && h >= PAGE_SIZE)
        snprintf(text, sizeof text, "The image is %d × %d pixels; it was cropped to its top-left 256 × 256 pixels.", w, h);
    else if (w <= PAGE_SIZE && h <= PAGE_SIZE)
        snprintf(text, sizeof text, "The image is %d × %d pixels; it was placed at the top left of the page and %s.", w, h, rest);
    else
        snprintf(text, sizeof text, "The image is %d × %d pixels; it was cropped to its top-left %d × %d pixels, "
                 "placed at the top left of the page and %s.", w, h, w < PAGE_SIZE ? w : PAGE_SIZE, h < PAGE_SIZE ? h : PAGE_SIZE, rest);
    tell_user(text);
}

// Imports the loaded image into the page (all of it with a null selection)
// and re-uploads the GL textures of every page the import can have changed:
// the page itself and, when a palette was overwritten in place, every page
// whose palette list names that palette. `done` receives the image's size
// and what the import did.
int import_into_page(int page, const import_selection *selection, bool replace_palette, import_report *done)
{
    level *lvl = current_level;
    done->width = import_loaded.width, done->height = import_loaded.height;
    import_options options;
    options.selection = selection;
    options.replace_palette = replace_palette;
    options.quantiser = current_settings->best_colours ? QUANTISER_BEST : QUANTISER_NEUQUANT;
    undo_begin_change(lvl, &page, 1);
    int result = import_image_into_page(lvl, page, &import_loaded, &options, &done->summary);
    undo_end_change(lvl);
    // The history took a step exactly when the level changed; a refused
    // import, or one that left every byte as it was, is no change.
    if (result == IMPORT_OK && !undo_at_saved_state()) level_changed = true;
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

// Closes the selection window and lets the image go.
void end_import()
{
    import_window.hide();
    free_import_image(&import_loaded);
}

// Imports into the textures marked in the selection window and closes it;
// nothing is imported when the window's page is gone (the level was closed
// or replaced while it was open).
void import_marked_textures()
{
    if (import_window.visible && page_exists(import_page) && import_selector.page == import_page) {
        std::vector<const texture_name *> names(import_selector.names.begin(), import_selector.names.end());
        bool *marks = (bool *)calloc(names.size() + 1, sizeof *marks);
        if (marks) {
            for (size_t i = 0; i < names.size() && i < import_selector.selected.size(); i++)
                marks[i] = import_selector.selected[i];
            import_selection selection = {(int)names.size(), names.data(), marks};
            import_report done;
            import_window.hide();
            int result = import_into_page(import_page, &selection, import_replace_box.checked, &done);
            free(marks);
            end_import();
            report_import(result, nullptr, done, false);
            return;
        }
    }
    end_import();
}

// The folder chosen for Export All or Import All, with a slash, as the
// folder to start in next time.
void remember_folder(char *setting, const char *folder)
{
    size_t n = strlen(folder);
    snprintf(setting, SETTINGS_PATH_SIZE, "%s%s", folder, n > 0 && is_path_separator(folder[n - 1]) ? "" : "/");
}

double seconds_now()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

// The progress of Export All and Import All: the window appears once the
// work has taken a quarter of a second and is redrawn at most every 40 ms.
struct batch_progress_state {
    double start, last_drawn;
};

bool show_batch_progress(void *context, int done, int total)
{
    batch_progress_state *state = (batch_progress_state *)context;
    double now = seconds_now();
    if (now - state->start < 0.25 || now - state->last_drawn < 0.04) return true;
    state->last_drawn = now;
    progress_window_bar.done = done;
    progress_window_bar.total = total;
    progress_window.show();
    redraw_now();
    return true;
}

// "The pages could not be exported:", the file and the reason, as the
// single import says them.
void tell_batch_failure(const char *first_line, const batch_report &report)
{
    std::string text = first_line;
    if (report.file[0]) text += std::string("\n") + report.file + ":";
    tell_user((text + "\n" + report.reason + ".").c_str());
}

std::string count_of(int n, const char *thing) { return std::to_string(n) + " " + thing + (n == 1 ? "" : "s"); }

}  // namespace

void export_command()
{
    // Without a current page there is nothing to export, and nothing is logged.
    int page = texture_view.selected_texture;
    if (!page_exists(page)) return;
    debug_log("Exporting image.");
    // The chooser starts on the type last written from a page of this kind
    // (a 15-bit page: the last 24-bit one), with a name for this page.
    settings *s = current_settings;
    bool paletted = current_level->textures[page].paletted;
    const char *filter = paletted ? EXPORT_FILTER_PALETTED : EXPORT_FILTER_15BIT;
    int start_filter = paletted ? s->export_paletted_type : s->export_truecolour_type;
    if (start_filter < 1 || start_filter > (paletted ? 4 : 2)) start_filter = paletted ? 2 : 1;
    char name[FILE_DIALOG_PATH_SIZE], title[FILE_DIALOG_TITLE_SIZE], suggested[32];
    export_format start = export_choice("", start_filter, paletted);
    snprintf(suggested, sizeof suggested, "page_%03d%s", page, start.png ? ".png" : ".bmp");
    int filter_index = save_file_dialog("Export Page", filter, name, sizeof name, title, sizeof title,
                                        start_folder(s->export_directory), start_filter, suggested);
    if (filter_index < 1) {
        debug_log("Finished exporting image.");
        return;
    }
    // A name without ".bmp" or ".png" (in any case) gets the filter's.
    export_format format = export_choice(name, filter_index, paletted);
    char path[FILE_DIALOG_PATH_SIZE + 8];
    snprintf(path, sizeof path, "%s%s", name,
             ends_in(name, ".png") || ends_in(name, ".bmp") ? "" : format.png ? ".png" : ".bmp");

    int palette_id = current_palette_id(current_level, page);
    int result = format.png ? write_page_png_file(current_level, page, palette_id, format.want_8bit, path)
                            : write_page_bitmap_file(current_level, page, palette_id, format.want_8bit, path);
    if (result == EXPORT_OK) {
        folder_of(path, s->export_directory, SETTINGS_PATH_SIZE);
        if (paletted) s->export_paletted_type = export_filter_index(format, true);
        if (!format.want_8bit) s->export_truecolour_type = export_filter_index(format, false);
        debug_log("Finished exporting image.");
        return;
    }
    char text[FILE_DIALOG_PATH_SIZE + 128];
    snprintf(text, sizeof text, "The page could not be exported to\n%s:\n%s.", name, export_failure(result));
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
    folder_of(import_name, current_settings->import_directory, SETTINGS_PATH_SIZE);
    // The file is read whole now: one the importers would refuse is refused
    // before the selection window asks for textures.
    free_import_image(&import_loaded);
    decode_result refusal = load_import_image(import_name, &import_loaded);
    if (refusal.code != IMPORT_OK) {
        debug_log("Finished importing image.");
        report_import(refusal.code, refusal.reason, import_report(), true);
        return;
    }
    if (current_level->textures[page].palette_slot_count > 1) {
        // A page with several palettes: the import waits for the selection
        // window's "Done".
        debug_log("Finished importing image.");
        import_page = page;
        import_replace_box.checked = false;
        import_window.show();
        texture_view.zoomed = 0;
        import_selector.prepare(page, current_level->textures[page].palette_slot);
        return;
    }
    import_report done;
    int result = import_into_page(page, nullptr, false, &done);
    free_import_image(&import_loaded);
    debug_log("Finished importing image.");
    report_import(result, nullptr, done, true);
}

void import_done_command() { import_marked_textures(); }

void import_cancel_command() { end_import(); }

void import_select_all_command() { import_selector.select_all(); }

void export_all_command()
{
    if (!current_level || current_level->load_mask == 0) return;
    debug_log("Exporting all pages.");
    char folder[FILE_DIALOG_PATH_SIZE];
    int filter_index = choose_folder_dialog("Export All Pages", EXPORT_ALL_FILTER, folder, sizeof folder,
                                            start_folder(current_settings->export_directory));
    if (filter_index < 1) {
        debug_log("Finished exporting all pages.");
        return;
    }
    level *lvl = current_level;
    batch_export_options options;
    options.format = filter_index >= 3 ? BATCH_PNG : BATCH_BMP;
    options.want_8bit = filter_index % 2 == 1;
    batch_progress_state progress = {seconds_now(), 0};
    options.progress = show_batch_progress;
    options.progress_context = &progress;
    progress_window.title = "Exporting pages...";
    batch_report report;
    int result = export_pages(lvl, folder, &options, &report);
    progress_window.hide();
    debug_log("Finished exporting all pages.");
    if (result != 0) {
        tell_batch_failure("The pages could not be exported:", report);
        return;
    }
    remember_folder(current_settings->export_directory, folder);
    std::string text = "Exported " + count_of(report.exported, "page") + " to\n" + folder;
    // Pages whose palette is missing cannot be exported (as Export says for
    // one page); the others are, and the message names them.
    for (int i = 0; i < report.left_out && i < BATCH_LISTED_PAGES; i++)
        text += (i ? ", " : report.left_out == 1 ? "\nPage " : "\nPages ") + std::to_string(report.left_out_pages[i]);
    if (report.left_out > BATCH_LISTED_PAGES) text += " and " + std::to_string(report.left_out - BATCH_LISTED_PAGES) + " more";
    if (report.left_out > 0)
        text += std::string(report.left_out == 1 ? " was" : " were") + " left out: the palette shown is missing.";
    tell_user(text.c_str());
}

void import_all_command()
{
    if (!current_level || current_level->load_mask == 0) return;
    debug_log("Importing all pages.");
    end_import();   // a single import waiting in the selection window is dropped
    char folder[FILE_DIALOG_PATH_SIZE];
    if (choose_folder_dialog("Import All Pages", nullptr, folder, sizeof folder,
                             start_folder(current_settings->import_directory)) < 1) {
        debug_log("Finished importing all pages.");
        return;
    }
    remember_folder(current_settings->import_directory, folder);
    // One step for the whole batch: every page may change.
    level *lvl = current_level;
    std::vector<int> pages((size_t)lvl->texture_count);
    for (int p = 0; p < lvl->texture_count; p++) pages[(size_t)p] = p;
    batch_import_options options;
    options.quantiser = current_settings->best_colours ? QUANTISER_BEST : QUANTISER_NEUQUANT;
    batch_progress_state progress = {seconds_now(), 0};
    options.progress = show_batch_progress;
    options.progress_context = &progress;
    progress_window.title = "Importing pages...";
    batch_report report;
    undo_begin_change(lvl, pages.data(), lvl->texture_count);
    int result = import_pages(lvl, folder, &options, &report);
    undo_end_change(lvl);
    progress_window.hide();
    debug_log("Finished importing all pages.");
    if (result != 0) {
        tell_batch_failure("The pages could not be imported; the level is unchanged:", report);
        return;
    }
    if (!undo_at_saved_state()) level_changed = true;
    // Palettes shared between pages may have changed too: every page is
    // uploaded again.
    for (int p = 0; report.imported > 0 && p < lvl->texture_count; p++) rebuild_gl_texture(current_textures, lvl, p);
    if (report.imported + report.skipped == 0)
        tell_user((std::string("No page files (page_000.bmp, page_000.png, ...) were found in\n") + folder).c_str());
    else
        tell_user(("Imported " + count_of(report.imported, "page") + ", skipped " + std::to_string(report.skipped) +
                   " unchanged.").c_str());
}

void delete_unused_palettes_command()
{
    // No pixels change: the step keeps the palette state only.
    undo_begin_change(current_level, nullptr, 0);
    enum { LISTED_IDS = 20 };   // a longer list ends in "and N more"
    int32_t ids[LISTED_IDS];
    int removed = remove_unused_palettes(current_level, ids, LISTED_IDS);
    undo_end_change(current_level);
    if (removed > 0) level_changed = true;
    if (removed == 0) {
        tell_user("No unused palettes.");
        return;
    }
    std::string text = "Deleted " + std::to_string(removed) + " unused palette" + (removed == 1 ? " (id " : "s (ids ");
    for (int i = 0; i < removed && i < LISTED_IDS; i++) text += (i ? ", " : "") + std::to_string(ids[i]);
    if (removed > LISTED_IDS) text += " and " + std::to_string(removed - LISTED_IDS) + " more";
    tell_user((text + ").").c_str());
}
