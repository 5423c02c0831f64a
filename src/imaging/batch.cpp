// Batch export and import: every marked page to files named after it, and those files back.
#include "imaging/batch.h"

#include <dirent.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "imaging/bitmap_export.h"
#include "imaging/bitmap_import.h"
#include "imaging/image_decode.h"
#include "imaging/image_file.h"
#include "imaging/png_image.h"
#include "level/level.h"
#include "level/level_snapshot.h"
#include "level/texture_store.h"

namespace {

const char *extension_of(int format) { return format == BATCH_PNG ? "png" : "bmp"; }

void clear_report(batch_report *report)
{
    memset(report, 0, sizeof *report);
}

// Records the first failure: its code, its file and one sentence saying why.
int fail(batch_report *report, int result, const char *file, const char *format, ...)
    __attribute__((format(printf, 4, 5)));
int fail(batch_report *report, int result, const char *file, const char *format, ...)
{
    report->result = result;
    snprintf(report->file, sizeof report->file, "%s", file ? file : "");
    va_list args;
    va_start(args, format);
    vsnprintf(report->reason, sizeof report->reason, format, args);
    va_end(args);
    return result;
}

// "folder/name" into `out`; false when it does not fit a path.
bool join_path(char *out, size_t size, const char *folder, const char *name)
{
    size_t length = strlen(folder);
    const char *separator = length > 0 && folder[length - 1] == '/' ? "" : "/";
    int n = snprintf(out, size, "%s%s%s", folder, separator, name);
    return n >= 0 && (size_t)n < size;
}

// The folder must exist and take new files before anything is written.
int check_folder(const char *folder, bool for_writing, batch_report *report, int cannot_code)
{
    struct stat st;
    if (!folder || stat(folder, &st) != 0 || !S_ISDIR(st.st_mode))
        return fail(report, cannot_code, folder, "the folder does not exist");
    if (for_writing && access(folder, W_OK | X_OK) != 0)
        return fail(report, cannot_code, folder, "the folder cannot be written to");
    return 0;
}

// One file an export writes: the page and the palette (-1 for a 15-bit page)
// and whether the name carries the palette's id.
struct export_item {
    int page, palette_id;
    bool named_palette;
};

// Notes a page left out of an export of every page, once however many of
// its files are left out (they come one after another).
void leave_out(batch_report *report, int page, int *last_left_out)
{
    if (page == *last_left_out) return;
    *last_left_out = page;
    if (report->left_out < BATCH_LISTED_PAGES) report->left_out_pages[report->left_out] = page;
    report->left_out++;
}

// Lists the files of the marked pages. A page that cannot be exported (its
// palette is missing) is refused, nothing written, when the caller marked
// it; an export of every page leaves it out and reports it instead, so one
// broken page does not keep the rest of the level from being exported.
int plan_export(level *lvl, const batch_export_options *options, std::vector<export_item> *items,
                batch_report *report)
{
    int last_left_out = -1;
    for (int page = 0; page < lvl->texture_count; page++) {
        if (options->pages && !options->pages[page]) continue;
        const level_texture &texture = lvl->textures[page];
        if (!texture.pixels) return fail(report, EXPORT_BAD_PAGE, "", "page %d has no pixels", page);
        if (!texture.paletted) {
            items->push_back({page, -1, false});
            continue;
        }
        const palette_list *list = find_palette_list(lvl, page);
        if (options->all_palettes && list && list->count > 0) {
            for (int slot = 0; slot < list->count; slot++) items->push_back({page, list->palette_ids[slot], true});
            continue;
        }
        int id = current_palette_id(lvl, page);
        if (id != NO_PALETTE_ENTRY) {
            items->push_back({page, id, false});
        } else if (options->pages) {
            return fail(report, EXPORT_NO_PALETTE, "", "page %d shows palette slot %d, which its palette list lacks",
                        page, texture.palette_slot + 1);
        } else {
            leave_out(report, page, &last_left_out);
        }
    }
    size_t kept = 0;
    for (const export_item &item : *items) {
        if (!lvl->textures[item.page].paletted || palette_by_id(lvl, item.palette_id)) {
            (*items)[kept++] = item;
        } else if (options->pages) {
            return fail(report, EXPORT_NO_PALETTE, "", "palette %d of page %d does not exist", item.palette_id,
                        item.page);
        } else {
            leave_out(report, item.page, &last_left_out);
        }
    }
    items->resize(kept);
    return 0;
}


const char *import_failure(int result)
{
    switch (result) {
    case IMPORT_NO_MEMORY: return "there is not enough memory";
    default: return "the page cannot take this image";
    }
}

// Whether the image is exactly what exporting the page through `palette`
// (null for a 15-bit page) writes: the same indices and colour table for an
// indexed file, the same colours for a true-colour one.
bool image_equals_page(bool paletted, const unsigned char *page_pixels, const level_palette *palette,
                       const import_image &image)
{
    if (image.width != PAGE_SIZE || image.height != PAGE_SIZE) return false;
    if (image.indexed) {
        if (!paletted || !palette) return false;
        for (int i = 0; i < 256; i++)
            if (memcmp(image.entries[i], palette->entries[i], 3) != 0) return false;
        return memcmp(image.pixels, page_pixels, PAGE_PIXELS) == 0;
    }
    const unsigned char *rgb = image.pixels;
    if (paletted) {
        if (!palette) return false;
        const unsigned char *indices = page_pixels;
        for (int i = 0; i < PAGE_PIXELS; i++, rgb += 3)
            if (memcmp(rgb, palette->entries[indices[i]], 3) != 0) return false;
        return true;
    }
    const uint16_t *pixels = (const uint16_t *)(const void *)page_pixels;
    for (int i = 0; i < PAGE_PIXELS; i++, rgb += 3) {
        unsigned v = pixels[i];
        if (rgb[0] != rgb15_red(v) || rgb[1] != rgb15_green(v) || rgb[2] != rgb15_blue(v))
            return false;
    }
    return true;
}

// The slot of `palette_id` in the page's palette list, or -1.
int slot_of_palette(level *lvl, int page, int palette_id)
{
    const palette_list *list = find_palette_list(lvl, page);
    for (int k = 0; list && list->palette_ids && k < list->count; k++)
        if (list->palette_ids[k] == palette_id) return k;
    return -1;
}

// The named textures of a page with several palettes, marked as the options
// say: the names given, else every one.
int build_selection(level *lvl, int page, const char *file, const batch_import_options *options,
                    std::vector<const texture_name *> *names, std::unique_ptr<bool[]> *marks, batch_report *report)
{
    for (int i = 0; i < lvl->texture_name_count; i++)
        if (lvl->texture_names[i].texture == page) names->push_back(&lvl->texture_names[i]);
    const int given = options ? options->texture_name_count : 0;
    marks->reset(new bool[names->size() + 1]);
    for (size_t i = 0; i <= names->size(); i++) (*marks)[i] = given == 0;
    for (int n = 0; n < given; n++) {
        bool found = false;
        for (size_t i = 0; i < names->size(); i++)
            if (strcmp((*names)[i]->name, options->texture_names[n]) == 0) {
                (*marks)[i] = true;
                found = true;
            }
        if (!found)
            return fail(report, IMPORT_BAD_PAGE, file, "page %d has no texture named \"%s\"", page,
                        options->texture_names[n]);
    }
    return 0;
}

// A file of the folder that export_pages names.
struct import_item {
    int page, palette_id, format;
    char name[256];
};

// Reads a run of decimal digits (at most nine); -1 when there is none.
int read_number(const char **p)
{
    int value = -1, digits = 0;
    while (**p >= '0' && **p <= '9' && digits < 9) {
        value = (value < 0 ? 0 : value * 10) + (**p - '0');
        (*p)++, digits++;
    }
    return **p >= '0' && **p <= '9' ? -1 : value;
}

// Whether `name` is one batch_file_name gives (the extension in either case).
bool parse_batch_name(const char *name, import_item *item)
{
    if (strncmp(name, "page_", 5) != 0) return false;
    const char *p = name + 5;
    item->page = read_number(&p);
    item->palette_id = -1;
    if (item->page < 0) return false;
    if (strncmp(p, "_palette_", 9) == 0) {
        p += 9;
        item->palette_id = read_number(&p);
        if (item->palette_id < 0) return false;
    }
    if (*p != '.') return false;
    if (strcasecmp(p + 1, "bmp") == 0) item->format = BATCH_BMP;
    else if (strcasecmp(p + 1, "png") == 0) item->format = BATCH_PNG;
    else return false;
    // Only the exact spelling the export writes: no other number of digits.
    char expected[256];
    int n = batch_file_name(expected, sizeof expected, item->page, item->palette_id, item->format);
    if (n < 0 || n >= (int)sizeof expected || strncmp(expected, name, (size_t)(p - name) + 1) != 0) return false;
    snprintf(item->name, sizeof item->name, "%s", name);
    return true;
}

}  // namespace

int batch_file_name(char *out, int size, int page, int palette_id, int format)
{
    if (palette_id >= 0) return snprintf(out, (size_t)size, "page_%03d_palette_%d.%s", page, palette_id, extension_of(format));
    return snprintf(out, (size_t)size, "page_%03d.%s", page, extension_of(format));
}

int export_pages(level *lvl, const char *folder, const batch_export_options *options, batch_report *report)
{
    clear_report(report);
    static const batch_export_options defaults;
    if (!options) options = &defaults;
    if (!lvl || lvl->load_mask == 0) return fail(report, EXPORT_BAD_PAGE, "", "no level is loaded");
    std::vector<export_item> items;
    int result = plan_export(lvl, options, &items, report);
    if (result == 0) result = check_folder(folder, true, report, EXPORT_CANNOT_CREATE);
    if (result != 0) return result;

    // Every path is made before the first file is written.
    std::vector<std::vector<char>> paths(items.size(), std::vector<char>(LEVEL_PATH_SIZE));
    for (size_t i = 0; i < items.size(); i++) {
        char name[64];
        const export_item &item = items[i];
        batch_file_name(name, sizeof name, item.page, item.named_palette ? item.palette_id : -1, options->format);
        if (!join_path(paths[i].data(), LEVEL_PATH_SIZE, folder, name))
            return fail(report, EXPORT_CANNOT_CREATE, folder, "the folder's path is too long");
    }
    for (size_t i = 0; i < items.size(); i++) {
        const export_item &item = items[i];
        const char *path = paths[i].data();
        result = options->format == BATCH_PNG
                     ? write_page_png_file(lvl, item.page, item.palette_id, options->want_8bit, path)
                     : write_page_bitmap_file(lvl, item.page, item.palette_id, options->want_8bit, path);
        if (result != EXPORT_OK) return fail(report, result, path, "%s", export_failure(result));
        report->exported++;
        if (options->progress && !options->progress(options->progress_context, (int)i + 1, (int)items.size()))
            return fail(report, BATCH_CANCELLED, "", "the export was stopped after %d of %d files", (int)i + 1,
                        (int)items.size());
    }
    return 0;
}

namespace {

// The page's pixels and a palette as `before` holds them (the level's own
// without a snapshot): a folder's files are compared with the level as it was
// before the first of them came in, so that the unedited file of one palette
// does not undo the edited indices another palette's file brought.
const unsigned char *pixels_before(const level *lvl, int page, const level_snapshot *before)
{
    for (int i = 0; before && i < before->page_count; i++)
        if (before->pages[i] == page) return before->pixels[i];
    return lvl->textures[page].pixels;
}

const level_palette *palette_before(const level *lvl, int id, const level_snapshot *before)
{
    if (!before) return palette_by_id(lvl, id);
    return id >= 0 && id < before->palette_table_size ? before->palette_table[id] : nullptr;
}

// import_page_file without clearing the report, so that a folder's imports add up.
int import_one(level *lvl, int page, int palette_id, const char *path, const batch_import_options *options,
               const level_snapshot *before, batch_report *report)
{
    if (!lvl || page < 0 || page >= lvl->texture_count || !lvl->textures[page].pixels)
        return fail(report, IMPORT_BAD_PAGE, path, "the level has no page %d", page);
    level_texture &texture = lvl->textures[page];
    int slot = -1;
    if (palette_id >= 0) {
        slot = texture.paletted ? slot_of_palette(lvl, page, palette_id) : -1;
        if (slot < 0)
            return fail(report, IMPORT_BAD_PAGE, path, "palette %d is not in the palette list of page %d", palette_id,
                        page);
    }
    std::vector<const texture_name *> names;
    std::unique_ptr<bool[]> marks;
    if (texture.palette_slot_count > 1 && build_selection(lvl, page, path, options, &names, &marks, report) != 0)
        return report->result;

    import_image image = {};
    decode_result loaded = load_import_image(path, &image);
    if (loaded.code != IMPORT_OK) return fail(report, loaded.code, path, "%s", loaded.reason);
    int result;
    const level_palette *palette = nullptr;
    if (texture.paletted) palette = palette_before(lvl, palette_id >= 0 ? palette_id : current_palette_id(lvl, page), before);
    const unsigned char *page_pixels = pixels_before(lvl, page, before);
    if (page_pixels && image_equals_page(texture.paletted, page_pixels, palette, image)) {
        free_import_image(&image);
        report->skipped++;
        return 0;
    }

    import_selection selection = {(int)names.size(), names.data(), marks.get()};
    const import_selection *chosen = texture.palette_slot_count > 1 ? &selection : nullptr;
    if (slot >= 0) {
        // The file is for one palette of the list: it is overwritten in place
        // while its slot is current, and the slot the user sees comes back.
        const int32_t shown = texture.palette_slot;
        texture.palette_slot = slot;
        result = import_image_into_page(lvl, page, &image, chosen, IMPORT_PLACE_CURRENT);
        lvl->textures[page].palette_slot = shown;
    } else {
        result = import_image_into_page(lvl, page, &image, chosen, IMPORT_PLACE_AUTO);
    }
    free_import_image(&image);
    if (result != IMPORT_OK) return fail(report, result, path, "%s", import_failure(result));
    report->imported++;
    return 0;
}

}  // namespace

int import_page_file(level *lvl, int page, int palette_id, const char *path, const batch_import_options *options,
                     batch_report *report)
{
    clear_report(report);
    return import_one(lvl, page, palette_id, path, options, nullptr, report);
}

int import_pages(level *lvl, const char *folder, const batch_import_options *options, batch_report *report)
{
    clear_report(report);
    static const batch_import_options defaults;
    if (!options) options = &defaults;
    if (!lvl || lvl->load_mask == 0) return fail(report, IMPORT_BAD_PAGE, "", "no level is loaded");
    int result = check_folder(folder, false, report, IMPORT_CANNOT_OPEN);
    if (result != 0) return result;
    DIR *dir = opendir(folder);
    if (!dir) return fail(report, IMPORT_CANNOT_OPEN, folder, "the folder cannot be read");
    std::vector<import_item> items;
    while (const dirent *entry = readdir(dir)) {
        import_item item;
        if (parse_batch_name(entry->d_name, &item)) items.push_back(item);
    }
    closedir(dir);
    std::sort(items.begin(), items.end(), [](const import_item &a, const import_item &b) {
        return a.page != b.page ? a.page < b.page : a.palette_id != b.palette_id ? a.palette_id < b.palette_id
                                                                                   : a.format < b.format;
    });

    // Everything is checked before the level is touched: page numbers, and
    // two files for one page and palette.
    std::vector<import_item> chosen;
    std::vector<int> pages;
    char path[LEVEL_PATH_SIZE];
    for (size_t i = 0; i < items.size(); i++) {
        const import_item &item = items[i];
        if (!join_path(path, sizeof path, folder, item.name))
            return fail(report, IMPORT_CANNOT_OPEN, folder, "the folder's path is too long");
        if (item.page >= lvl->texture_count)
            return fail(report, IMPORT_BAD_PAGE, path, "the level has no page %d (it has %d pages)", item.page,
                        lvl->texture_count);
        if (options->pages && !options->pages[item.page]) continue;
        if (i > 0 && items[i - 1].page == item.page && items[i - 1].palette_id == item.palette_id)
            return fail(report, IMPORT_BAD_PAGE, path, "%s is for the same page and palette", items[i - 1].name);
        chosen.push_back(item);
        if (pages.empty() || pages.back() != item.page) pages.push_back(item.page);
    }

    level_snapshot before = {};
    if (take_level_snapshot(lvl, pages.data(), (int)pages.size(), &before) != 0)
        return fail(report, IMPORT_NO_MEMORY, "", "there is not enough memory");
    for (size_t i = 0; i < chosen.size() && result == 0; i++) {
        join_path(path, sizeof path, folder, chosen[i].name);
        result = import_one(lvl, chosen[i].page, chosen[i].palette_id, path, options, &before, report);
        if (result == 0 && options->progress &&
            !options->progress(options->progress_context, (int)i + 1, (int)chosen.size()))
            result = fail(report, BATCH_CANCELLED, "", "the import was stopped; the level is unchanged");
    }
    if (result != 0) {
        swap_level_snapshot(lvl, &before);
        report->imported = report->skipped = 0;
    }
    free_level_snapshot(&before);
    return result;
}
