// Batch export and import: every marked page to files named after it, and those files back.
#include "imaging/batch.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <new>
#include <mutex>
#include <string>
#include <thread>
#include <memory>
#include <vector>

#include "base/debug_log.h"
#include "base/file_system.h"
#include "imaging/bitmap_export.h"
#include "imaging/page_import.h"
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
    report->fewest_free_page = -1;
    report->fewest_free_entries = 256;
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
    const char *separator = length > 0 && is_path_separator(folder[length - 1]) ? "" : "/";
    int n = snprintf(out, size, "%s%s%s", folder, separator, name);
    return n >= 0 && (size_t)n < size;
}

// The folder must exist and take new files before anything is written.
int check_folder(const char *folder, bool for_writing, batch_report *report, int cannot_code)
{
    if (!folder || path_kind(folder, nullptr) != PATH_FOLDER)
        return fail(report, cannot_code, folder, "the folder does not exist");
    if (for_writing && !folder_is_writable(folder))
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

// One file of an import, through its stages: read and decoded (any thread),
// planned against the level (this thread), reduced (any thread), applied
// (this thread, in page order).
struct import_job {
    int page = 0, palette_id = -1;
    std::string path;
    import_options options;
    std::vector<const texture_name *> names;
    std::unique_ptr<bool[]> marks;
    import_selection selection = {};
    import_image image = {};
    decode_result decoded = {};
    std::vector<size_t> after;   // earlier jobs whose changes this one reads or overwrites
    bool planned = false, reduced = false, skipped = false;
    int result = IMPORT_OK;
    std::unique_ptr<import_plan> plan;
    std::unique_ptr<import_result> outcome;
    ~import_job() { free_import_image(&image); }
};

// Checks the job against the level before anything is read: its page, its
// palette and its texture names. 0 or the failure's code, with the report filled.
int prepare_job(level *lvl, import_job *job, const batch_import_options *options, batch_report *report)
{
    const int page = job->page;
    const char *path = job->path.c_str();
    if (!lvl || page < 0 || page >= lvl->texture_count || !lvl->textures[page].pixels)
        return fail(report, IMPORT_BAD_PAGE, path, "the level has no page %d", page);
    const level_texture &texture = lvl->textures[page];
    job->options.quantiser = options->quantiser;
    job->options.dither = options->dither;
    job->options.replace_palette = options->replace_palette;
    if (job->palette_id >= 0) {
        // The file is for one palette of the list: that palette is written in place.
        job->options.slot = texture.paletted ? slot_of_palette(lvl, page, job->palette_id) : -1;
        if (job->options.slot < 0)
            return fail(report, IMPORT_BAD_PAGE, path, "palette %d is not in the palette list of page %d",
                        job->palette_id, page);
        job->options.placement = IMPORT_PLACE_CURRENT;
    }
    if (texture.palette_slot_count > 1) {
        if (build_selection(lvl, page, path, options, &job->names, &job->marks, report) != 0) return report->result;
        job->selection = {(int)job->names.size(), job->names.data(), job->marks.get()};
        job->options.selection = &job->selection;
    }
    return 0;
}

// The palette a job writes in place, or -1 when it places a new one; and
// whether a page's first list names a palette.
int palette_written_in_place(level *lvl, const import_job &job)
{
    const level_texture &t = lvl->textures[job.page];
    if (!t.paletted || (job.options.placement != IMPORT_PLACE_CURRENT && t.palette_slot_count < 2)) return -1;
    return get_palette_list_entry(lvl, job.page, job.options.slot >= 0 ? job.options.slot : t.palette_slot);
}

bool page_lists(const level *lvl, int page, int palette_id)
{
    const palette_list *list = find_palette_list(lvl, page);
    for (int k = 0; palette_id >= 0 && list && list->palette_ids && k < list->count; k++)
        if (list->palette_ids[k] == palette_id) return true;
    return false;
}

// Which earlier jobs each job must wait for: those on its page, those writing
// a palette its page lists, and those whose page lists the palette it writes
// (it reads their pixels to know which entries must keep their colours).
void order_jobs(level *lvl, std::vector<import_job> &jobs)
{
    std::vector<int> written(jobs.size());
    for (size_t i = 0; i < jobs.size(); i++) written[i] = palette_written_in_place(lvl, jobs[i]);
    for (size_t i = 0; i < jobs.size(); i++)
        for (size_t j = 0; j < i; j++)
            if (jobs[j].page == jobs[i].page || page_lists(lvl, jobs[i].page, written[j]) ||
                page_lists(lvl, jobs[j].page, written[i]))
                jobs[i].after.push_back(j);
}

// Runs work(i) for every i below `count` on `threads` threads (this one among them).
template <typename F> void run_parallel(size_t count, int threads, F work)
{
    std::atomic<size_t> next(0);
    auto worker = [&]() {
        for (size_t i; (i = next++) < count;) work(i);
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads && (size_t)t < count; t++) pool.emplace_back(worker);
    worker();
    for (std::thread &t : pool) t.join();
}

// Plans a job against the level as it is now; a file that shows exactly
// what its page would export (as the level was before the first file) is
// skipped.
void plan_job(level *lvl, import_job *job, const level_snapshot *before)
{
    job->planned = true;
    const level_texture &texture = lvl->textures[job->page];
    const level_palette *palette = nullptr;
    if (texture.paletted)
        palette = palette_before(lvl, job->palette_id >= 0 ? job->palette_id : current_palette_id(lvl, job->page), before);
    const unsigned char *page_pixels = pixels_before(lvl, job->page, before);
    if (page_pixels && image_equals_page(texture.paletted, page_pixels, palette, job->image)) {
        job->skipped = job->reduced = true;
        return;
    }
    job->plan.reset(new (std::nothrow) import_plan);
    job->outcome.reset(new (std::nothrow) import_result);
    job->result = job->plan && job->outcome ? plan_page_import(lvl, job->page, &job->image, &job->options, job->plan.get())
                                            : IMPORT_NO_MEMORY;
    if (job->result != IMPORT_OK) job->reduced = true;
}

// Plans, reduces and applies the jobs: reductions run on `threads` threads
// side by side, each planned once the jobs it waits for are applied; every
// job is applied in order, so the level comes out the same for any number of
// threads. 0 or the first failure's code.
int run_jobs(level *lvl, std::vector<import_job> &jobs, int threads, const level_snapshot *before,
             const batch_import_options *options, batch_report *report)
{
    std::mutex lock;
    std::condition_variable changed;
    std::vector<size_t> ready;   // planned, waiting for a reduction
    std::vector<bool> applied(jobs.size(), false);
    bool stop = false;
    // Takes the first planned job and reduces it with the lock let go.
    auto reduce_one = [&](std::unique_lock<std::mutex> &held) {
        import_job &job = jobs[ready.front()];
        ready.erase(ready.begin());
        held.unlock();
        int reduced = reduce_page_import(job.plan.get(), &job.image, job.outcome.get());
        held.lock();
        job.result = reduced;
        job.reduced = true;
        changed.notify_all();
    };
    auto reducer = [&]() {
        std::unique_lock<std::mutex> held(lock);
        for (;;) {
            changed.wait(held, [&] { return stop || !ready.empty(); });
            if (ready.empty()) return;
            reduce_one(held);
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; t++) pool.emplace_back(reducer);
    const size_t window = (size_t)(2 * threads + 2);  // plans ahead, each a few hundred KiB
    int result = 0;
    for (size_t i = 0; i < jobs.size() && result == 0; i++) {
        std::unique_lock<std::mutex> held(lock);
        for (;;) {
            for (size_t k = i; k < jobs.size() && k < i + window; k++) {
                import_job &job = jobs[k];
                bool waiting = false;
                for (size_t j : job.after) waiting = waiting || !applied[j];
                if (job.planned || waiting) continue;
                plan_job(lvl, &job, before);
                if (!job.reduced) ready.push_back(k);
                changed.notify_all();
            }
            if (jobs[i].reduced) break;
            if (!ready.empty()) reduce_one(held);  // this thread reduces too
            else changed.wait(held);
        }
        held.unlock();
        import_job &job = jobs[i];
        if (job.result == IMPORT_OK && !job.skipped) {
            job.result = apply_page_import(lvl, job.plan.get(), job.outcome.get());
            const import_summary &done = job.outcome->summary;
            if (job.result == IMPORT_OK && done.paletted && !done.indices_kept && done.free_entries < report->fewest_free_entries)
                report->fewest_free_entries = done.free_entries, report->fewest_free_page = job.page;
        }
        job.plan.reset(), job.outcome.reset();
        if (job.result != IMPORT_OK) {
            result = fail(report, job.result, job.path.c_str(), "%s", import_failure(job.result));
        } else {
            job.skipped ? report->skipped++ : report->imported++;
            if (options->progress && !options->progress(options->progress_context, (int)i + 1, (int)jobs.size()))
                result = fail(report, BATCH_CANCELLED, "", "the import was stopped; the level is unchanged");
        }
        held.lock();
        applied[i] = true;
        changed.notify_all();
    }
    {
        std::lock_guard<std::mutex> held(lock);
        stop = true;
        ready.clear();
        changed.notify_all();
    }
    for (std::thread &t : pool) t.join();
    return result;
}

// Imports the jobs (in page order) into the level: all are read and decoded
// side by side first, and the first refusal in order stops everything before
// the level changes.
int import_jobs(level *lvl, std::vector<import_job> &jobs, const batch_import_options *options,
                const level_snapshot *before, batch_report *report)
{
    for (import_job &job : jobs)
        if (int failed = prepare_job(lvl, &job, options, report)) return failed;
    int threads = options->jobs > 0 ? options->jobs : (int)std::thread::hardware_concurrency();
    if (threads < 1) threads = 1;
    run_parallel(jobs.size(), threads, [&](size_t i) { jobs[i].decoded = read_import_image(jobs[i].path.c_str(), &jobs[i].image); });
    for (import_job &job : jobs)
        if (job.decoded.code != IMPORT_OK) {
            debug_log("Can't import %s: %s.", job.path.c_str(), job.decoded.reason);
            return fail(report, job.decoded.code, job.path.c_str(), "%s", job.decoded.reason);
        }
    order_jobs(lvl, jobs);
    return run_jobs(lvl, jobs, threads, before, options, report);
}

}  // namespace

int import_page_file(level *lvl, int page, int palette_id, const char *path, const batch_import_options *options,
                     batch_report *report)
{
    clear_report(report);
    static const batch_import_options defaults;
    std::vector<import_job> jobs(1);
    jobs[0].page = page, jobs[0].palette_id = palette_id, jobs[0].path = path;
    return import_jobs(lvl, jobs, options ? options : &defaults, nullptr, report);
}

int import_pages(level *lvl, const char *folder, const batch_import_options *options, batch_report *report)
{
    clear_report(report);
    static const batch_import_options defaults;
    if (!options) options = &defaults;
    if (!lvl || lvl->load_mask == 0) return fail(report, IMPORT_BAD_PAGE, "", "no level is loaded");
    int result = check_folder(folder, false, report, IMPORT_CANNOT_OPEN);
    if (result != 0) return result;
    std::vector<std::string> names;
    if (!list_folder(folder, &names)) return fail(report, IMPORT_CANNOT_OPEN, folder, "the folder cannot be read");
    std::vector<import_item> items;
    for (const std::string &name : names) {
        import_item item;
        if (parse_batch_name(name.c_str(), &item)) items.push_back(item);
    }
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
    std::vector<import_job> jobs(chosen.size());
    for (size_t i = 0; i < chosen.size(); i++) {
        join_path(path, sizeof path, folder, chosen[i].name);
        jobs[i].page = chosen[i].page, jobs[i].palette_id = chosen[i].palette_id, jobs[i].path = path;
    }
    result = import_jobs(lvl, jobs, options, &before, report);
    if (result != 0) {
        swap_level_snapshot(lvl, &before);
        report->imported = report->skipped = 0;
    }
    free_level_snapshot(&before);
    return result;
}
