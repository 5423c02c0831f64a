// qte-tool: reading the pair, the commands (info, check, export, import,
// delete-unused-palettes) and main; on the core alone, with no window.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/debug_log.h"
#include "base/file_system.h"
#include "base/path.h"
#include "cli/arguments.h"
#include "cli/report.h"
#include "imaging/batch.h"
#include "imaging/unused_palettes.h"
#include "level/level.h"
#include "level/level_writer.h"
#include "level/texture_store.h"

namespace {

// Reads the pair; answers 0 or EXIT_REFUSED with the one line written.
int read_level(const options &o, const char *d3d_path, level *lvl)
{
    const char *lev_path = o.files[0];
    FILE *lev = open_file(lev_path, "rb");
    if (!lev) return refuse(lev_path, "cannot open the level file (%s)", strerror(errno));
    FILE *d3d = open_file(d3d_path, "rb");
    if (!d3d) {
        int e = errno;
        fclose(lev);
        return refuse(d3d_path, "cannot open the palette-list file (%s)", strerror(e));
    }
    memset(lvl, 0, sizeof *lvl);
    result read = load_level(lvl, lev, d3d, LOAD_ALL);
    fclose(lev);
    fclose(d3d);
    if (read.code == LOAD_OK) return 0;
    const char *reason = read.code == LOAD_NO_MEMORY ? "there is not enough memory to read it" : read.reason;
    return refuse(read.code == LOAD_BAD_D3D ? d3d_path : lev_path, "%s", reason);
}

bool show_progress(void *context, int done, int total)
{
    (void)context;
    enum { WIDTH = 40 };
    int filled = total > 0 ? done * WIDTH / total : WIDTH;
    fprintf(stderr, "\r[%.*s%*s] %d/%d", filled, "########################################", WIDTH - filled, "", done,
            total);
    if (done >= total) fputc('\n', stderr);
    return true;
}

// The progress callback: a bar on a terminal for work of more than one page.
batch_progress_fn progress_for(const options &o, int pages)
{
    return !o.quiet && pages > 1 && isatty(2) ? show_progress : nullptr;
}

// Writes the changed level in place or to --out; answers 0 or EXIT_REFUSED.
int write_result(const options &o, const char *d3d_path, level *lvl)
{
    result saved = o.out_lev ? save_level_as(lvl, o.files[0], o.out_lev, o.out_d3d)
                             : save_level(lvl, o.files[0], d3d_path);
    if (saved.code != SAVE_OK) return refuse(o.out_lev ? o.out_lev : o.files[0], "%s", saved.reason);
    return 0;
}

int run_export(const options &o, level *lvl)
{
    std::vector<unsigned char> marks;
    if (o.pages) {
        if (int r = parse_page_list(o.pages, o.files[0], lvl->texture_count, &marks)) return r;
    }
    std::string folder;
    if (o.folder) {
        folder = o.folder;
    } else {
        folder = o.files[0];
        size_t name = folder.size(), dot = folder.rfind('.');
        while (name > 0 && !is_path_separator(folder[name - 1])) name--;
        if (dot != std::string::npos && dot > name) folder.erase(dot);
        else folder += ".pages";
    }
    const bool made_folder = path_kind(folder.c_str(), nullptr) == PATH_MISSING;
    if (made_folder && !make_folder(folder.c_str()))
        return refuse(folder.c_str(), "cannot make the folder (%s)", strerror(errno));
    static_assert(sizeof(bool) == 1, "page marks are bytes");
    batch_export_options options;
    options.format = o.format;
    options.want_8bit = o.depth == 8;
    options.all_palettes = o.all_palettes;
    options.pages = o.pages ? (const bool *)(const void *)marks.data() : nullptr;
    int pages = 0;
    for (int p = 0; p < lvl->texture_count; p++) pages += !o.pages || marks[(size_t)p];
    options.progress = progress_for(o, pages);
    batch_report report;
    memset(&report, 0, sizeof report);
    if (export_pages(lvl, folder.c_str(), &options, &report) != 0) {
        if (made_folder) remove_folder(folder.c_str());  // a refused export leaves nothing behind
        return refuse(report.file[0] ? report.file : o.files[0], "%s", report.reason);
    }
    // An export of every page leaves out pages whose palette is missing.
    for (int i = 0; i < report.left_out && i < BATCH_LISTED_PAGES && !o.quiet; i++)
        fprintf(stderr, "qte-tool: %s: page %d left out: its palette is missing\n", o.files[0],
                report.left_out_pages[i]);
    if (report.left_out > BATCH_LISTED_PAGES && !o.quiet)
        fprintf(stderr, "qte-tool: %s: %d more pages left out\n", o.files[0], report.left_out - BATCH_LISTED_PAGES);
    if (!o.quiet) printf("Exported %d files to %s\n", report.exported, folder.c_str());
    return 0;
}

// How each page looks: its pixels, then the colours of every palette its
// first list names; two looks differ exactly when the page would look
// different in some palette the editor can show it with.
typedef std::vector<std::vector<unsigned char>> page_looks;

page_looks looks_of(const level *lvl)
{
    page_looks looks((size_t)(lvl->texture_count > 0 ? lvl->texture_count : 0));
    for (size_t p = 0; p < looks.size(); p++) {
        const level_texture &t = lvl->textures[p];
        if (t.pixels) looks[p].assign(t.pixels, t.pixels + page_byte_size(t));
        const palette_list *list = t.paletted ? find_palette_list(lvl, (int)p) : nullptr;
        for (int k = 0; list && list->palette_ids && k < list->count; k++) {
            const level_palette *palette = palette_by_id(lvl, list->palette_ids[k]);
            if (palette) looks[p].insert(looks[p].end(), &palette->entries[0][0], &palette->entries[0][0] + 1024);
        }
    }
    return looks;
}

int run_import(const options &o, const char *d3d_path, level *lvl)
{
    std::vector<std::string> names;
    std::vector<const char *> name_pointers;
    if (o.textures) {
        std::string all = o.textures;
        for (size_t start = 0; start <= all.size();) {
            size_t comma = all.find(',', start);
            if (comma == std::string::npos) comma = all.size();
            if (comma > start) names.push_back(all.substr(start, comma - start));
            start = comma + 1;
        }
        for (const std::string &n : names) name_pointers.push_back(n.c_str());
    }
    batch_import_options options;
    options.texture_name_count = (int)name_pointers.size();
    options.texture_names = name_pointers.empty() ? nullptr : name_pointers.data();
    options.quantiser = o.quantiser;
    options.dither = o.dither;
    options.replace_palette = o.replace_palette;
    options.jobs = o.jobs;
    batch_report report;
    memset(&report, 0, sizeof report);
    page_looks before = looks_of(lvl);
    int result;
    if (o.import_file) {
        if (o.page >= lvl->texture_count)
            return refuse(o.files[0], "there is no page %d (the level has %d)", o.page, (int)lvl->texture_count);
        result = import_page_file(lvl, o.page, -1, o.import_file, &options, &report);
    } else {
        options.progress = progress_for(o, lvl->texture_count);
        result = import_pages(lvl, o.from, &options, &report);
    }
    if (result != 0)
        return refuse(report.file[0] ? report.file : o.files[0], "%s", report.reason);
    if (!o.dry_run && (report.imported > 0 || o.out_lev)) {
        if (int r = write_result(o, d3d_path, lvl)) return r;
    }
    if (o.quiet) return 0;
    if (o.dry_run) {
        page_looks after = looks_of(lvl);
        for (size_t p = 0; p < after.size(); p++)
            if (after[p] != before[p]) printf("Would change page %d\n", (int)p);
    }
    printf("%s %d files, skipped %d unchanged\n", o.dry_run ? "Would import" : "Imported", report.imported,
           report.skipped);
    if (report.fewest_free_page >= 0 && report.fewest_free_entries < 16)
        printf("Page %d: only %d palette entries were free; the rest of the image uses the page's existing colours\n",
               report.fewest_free_page, report.fewest_free_entries);
    return 0;
}

int run_delete_unused_palettes(const options &o, const char *d3d_path, level *lvl)
{
    std::vector<int32_t> ids((size_t)(lvl->palette_count > 0 ? lvl->palette_count : 1));
    int removed = remove_unused_palettes(lvl, ids.data(), (int)ids.size());
    if (!o.dry_run && (removed > 0 || o.out_lev)) {
        if (int r = write_result(o, d3d_path, lvl)) return r;
    }
    if (!o.quiet) {
        for (int i = 0; i < removed && i < (int)ids.size(); i++)
            printf("%s palette %d\n", o.dry_run ? "Would delete" : "Deleted", (int)ids[(size_t)i]);
        if (!removed) printf("No unused palettes\n");
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    command_line line;
    read_command_line(argc, argv, &line);
    options o;
    int parsed = parse_arguments((int)line.words.size(), line.argv.data(), &o);
    if (parsed) return parsed < 0 ? 0 : parsed;

    // No debug.txt: the log goes to --log FILE only, and never to standard
    // output, which carries the tool's own output.
    set_debug_log_echo(o.verbose ? stderr : nullptr);
    if (o.log) open_debug_log(o.log);
    else if (o.verbose) open_debug_log(null_device_path);

    char d3d_path[LEVEL_PATH_SIZE];
    if (o.file_count > 1) snprintf(d3d_path, sizeof d3d_path, "%s", o.files[1]);
    else find_palette_list_file(o.files[0], d3d_path, sizeof d3d_path);

    level lvl;
    int status = read_level(o, d3d_path, &lvl);
    if (status) {
        close_debug_log();
        return !strcmp(o.command, "check") ? EXIT_USAGE : status;
    }
    if (!strcmp(o.command, "info")) {
        status = write_level_info(stdout, &lvl, o.json);
    } else if (!strcmp(o.command, "check")) {
        int findings = write_level_check(stdout, &lvl);
        if (!findings && !o.quiet) printf("No findings\n");
        status = findings ? 1 : 0;
    } else if (!strcmp(o.command, "export")) {
        status = run_export(o, &lvl);
    } else if (!strcmp(o.command, "import")) {
        status = run_import(o, d3d_path, &lvl);
    } else {
        status = run_delete_unused_palettes(o, d3d_path, &lvl);
    }
    cleanup_level(&lvl);
    if (fflush(stdout) != 0 && !status) status = refuse("standard output", "cannot be written (%s)", strerror(errno));
    close_debug_log();
    return status;
}
