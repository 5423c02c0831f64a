// qte-tool: the level's pages, palettes and references from the command
// line, and batch export and import, on the core alone (no window).
#include <allegro.h>
#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "base/debug_log.h"
#include "base/path.h"
#include "base/version.h"
#include "cli/report.h"
#include "imaging/batch.h"
#include "imaging/neuquant.h"
#include "imaging/unused_palettes.h"
#include "level/level.h"
#include "level/level_writer.h"

namespace {

enum { EXIT_REFUSED = 1, EXIT_USAGE = 2 };

const char *const TOOL_HELP =
    "usage: qte-tool [-q | -v] [--log FILE] COMMAND LEVEL.lev [LEVEL.d3d] [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  info                     pages, palettes, named textures and counts\n"
    "  export                   write every page (or some) as image files\n"
    "  import                   read image files into their pages\n"
    "  delete-unused-palettes   drop the palettes no palette list names\n"
    "  check                    report references that point nowhere\n"
    "\n"
    "The palette-list file defaults to the level's name with .d3d, in any case.\n"
    "  -q, --quiet      no summary and no progress bar\n"
    "  -v, --verbose    the log's lines on standard error as well\n"
    "  --log FILE       write the log to FILE (else no log is written)\n"
    "  --help           this text; COMMAND --help: that command's\n"
    "  --version        the tool's version\n"
    "Exit status: 0 done, 1 refused input (or check findings), 2 usage error.\n";

struct command_help { const char *name, *text; };
const command_help COMMAND_HELP[] = {
    {"info", "usage: qte-tool info LEVEL.lev [LEVEL.d3d] [--json]\n"
             "  --json   one JSON document instead of the table\n"},
    {"export", "usage: qte-tool export LEVEL.lev [LEVEL.d3d] [-o DIR] [--pages LIST] [--format bmp|png]\n"
               "                      [--depth 8|24] [--all-palettes]\n"
               "  -o DIR           the folder (default: the level's name beside it, made if missing)\n"
               "  --pages LIST     pages like 0-5,9,12 (default: every page)\n"
               "  --format F       bmp (default) or png\n"
               "  --depth D        8 (default: paletted pages with their palette) or 24\n"
               "  --all-palettes   one file per palette slot: page_NNN_palette_ID\n"},
    {"import", "usage: qte-tool import LEVEL.lev [LEVEL.d3d] (--page N FILE | --from DIR) [--textures NAMES]\n"
               "                      [--dry-run] [--out NEW.lev NEW.d3d]\n"
               "  --page N FILE    FILE into page N\n"
               "  --from DIR       every file of DIR that export names; unchanged ones are skipped\n"
               "  --textures A,B   the named textures to import on a page with several palettes\n"
               "  --dry-run        say what would change and write nothing\n"
               "  --out L D        write the new pair to L and D instead of in place\n"},
    {"delete-unused-palettes", "usage: qte-tool delete-unused-palettes LEVEL.lev [LEVEL.d3d] [--dry-run] [--out NEW.lev NEW.d3d]\n"
                               "  --dry-run        say which palettes would go and write nothing\n"
                               "  --out L D        write the new pair to L and D instead of in place\n"},
    {"check", "usage: qte-tool check LEVEL.lev [LEVEL.d3d]\n"
              "  exit status 0: no findings, 1: findings, 2: unreadable or usage error\n"},
};

struct options {
    const char *command = nullptr;
    const char *files[2] = {nullptr, nullptr};
    int file_count = 0;
    bool quiet = false, verbose = false, json = false, dry_run = false, all_palettes = false;
    const char *log = nullptr, *folder = nullptr, *pages = nullptr, *textures = nullptr;
    const char *out_lev = nullptr, *out_d3d = nullptr, *import_file = nullptr, *from = nullptr;
    int format = BATCH_BMP, depth = 8, page = -1;
};

int usage_error(const char *format, ...) __attribute__((format(printf, 1, 2)));
int usage_error(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    fputs("qte-tool: ", stderr);
    vfprintf(stderr, format, args);
    va_end(args);
    fputs("\n(qte-tool --help lists the commands and options)\n", stderr);
    return EXIT_USAGE;
}

int refuse(const char *file, const char *format, ...) __attribute__((format(printf, 2, 3)));
int refuse(const char *file, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    fprintf(stderr, "qte-tool: %s: ", file);
    vfprintf(stderr, format, args);
    va_end(args);
    fputc('\n', stderr);
    return EXIT_REFUSED;
}

const command_help *find_command(const char *name)
{
    for (const command_help &c : COMMAND_HELP)
        if (strcmp(c.name, name) == 0) return &c;
    return nullptr;
}

bool parse_int(const char *s, int *value)
{
    char *end;
    errno = 0;
    long v = strtol(s, &end, 10);
    if (end == s || *end || errno || v < 0 || v > 1000000) return false;
    *value = (int)v;
    return true;
}

// Parses argv into `o`; answers 0, EXIT_USAGE (message written) or -1 when
// help or the version was asked for and written.
int parse_arguments(int argc, char **argv, options *o)
{
    bool help = false;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        bool has_next = i + 1 < argc;
        if (!strcmp(a, "--help") || !strcmp(a, "-h")) help = true;
        else if (!strcmp(a, "--version")) { printf("qte-tool %d.%d.%d\n", VERSION_MAJOR, VERSION_MINOR, VERSION_BUILD); return -1; }
        else if (!strcmp(a, "-q") || !strcmp(a, "--quiet")) o->quiet = true;
        else if (!strcmp(a, "-v") || !strcmp(a, "--verbose")) o->verbose = true;
        else if (!strcmp(a, "--json")) o->json = true;
        else if (!strcmp(a, "--dry-run")) o->dry_run = true;
        else if (!strcmp(a, "--all-palettes")) o->all_palettes = true;
        else if (!strcmp(a, "--log") || !strcmp(a, "-o") || !strcmp(a, "--pages") || !strcmp(a, "--textures") ||
                 !strcmp(a, "--from") || !strcmp(a, "--format") || !strcmp(a, "--depth")) {
            if (!has_next) return usage_error("%s needs a value", a);
            const char *v = argv[++i];
            if (!strcmp(a, "--log")) o->log = v;
            else if (!strcmp(a, "-o")) o->folder = v;
            else if (!strcmp(a, "--pages")) o->pages = v;
            else if (!strcmp(a, "--textures")) o->textures = v;
            else if (!strcmp(a, "--from")) o->from = v;
            else if (!strcmp(a, "--format")) {
                if (!strcmp(v, "bmp")) o->format = BATCH_BMP;
                else if (!strcmp(v, "png")) o->format = BATCH_PNG;
                else return usage_error("--format takes bmp or png, not \"%s\"", v);
            } else if (!strcmp(v, "8") || !strcmp(v, "24")) o->depth = atoi(v);
            else return usage_error("--depth takes 8 or 24, not \"%s\"", v);
        } else if (!strcmp(a, "--page")) {
            if (i + 2 >= argc) return usage_error("--page needs a page and a file");
            if (!parse_int(argv[i + 1], &o->page)) return usage_error("--page takes a page number, not \"%s\"", argv[i + 1]);
            o->import_file = argv[i + 2];
            i += 2;
        } else if (!strcmp(a, "--out")) {
            if (i + 2 >= argc) return usage_error("--out needs the new level file and palette-list file");
            o->out_lev = argv[i + 1];
            o->out_d3d = argv[i + 2];
            i += 2;
        } else if (a[0] == '-' && a[1]) return usage_error("unknown option %s", a);
        else if (!o->command) o->command = a;
        else if (o->file_count < 2) o->files[o->file_count++] = a;
        else return usage_error("one level file and at most one palette-list file, not \"%s\" too", a);
    }
    if (help) {
        const command_help *c = o->command ? find_command(o->command) : nullptr;
        fputs(c ? c->text : TOOL_HELP, stdout);
        return -1;
    }
    if (!o->command) return usage_error("no command given");
    if (!find_command(o->command)) return usage_error("unknown command \"%s\"", o->command);
    if (!o->file_count) return usage_error("%s needs a level file", o->command);
    bool is_import = !strcmp(o->command, "import");
    if (is_import && !o->import_file == !o->from) return usage_error("import takes either --page N FILE or --from DIR");
    return 0;
}

// A page list like "0-5,9,12" as marks on `pages` pages. Answers 0,
// EXIT_USAGE for a list that does not parse, EXIT_REFUSED for a page the
// level lacks (both reported).
int parse_page_list(const char *list, const char *level_name, int pages, std::vector<unsigned char> *marks)
{
    marks->assign((size_t)pages, 0);
    const char *s = list;
    while (true) {
        char *end;
        if (*s < '0' || *s > '9') return usage_error("--pages: \"%s\" is not a list like 0-5,9,12", list);
        long first = strtol(s, &end, 10), last = first;
        s = end;
        if (*s == '-') {
            if (s[1] < '0' || s[1] > '9') return usage_error("--pages: \"%s\" is not a list like 0-5,9,12", list);
            last = strtol(s + 1, &end, 10);
            s = end;
        }
        if (last < first) return usage_error("--pages: the range %ld-%ld runs backwards", first, last);
        if (last >= pages) return refuse(level_name, "there is no page %ld (the level has %d)", last, pages);
        for (long p = first; p <= last; p++) (*marks)[(size_t)p] = 1;
        if (!*s) return 0;
        if (*s++ != ',') return usage_error("--pages: \"%s\" is not a list like 0-5,9,12", list);
    }
}

// Reads the pair; answers 0 or EXIT_REFUSED with the one line written.
int read_level(const options &o, const char *d3d_path, level *lvl)
{
    const char *lev_path = o.files[0];
    FILE *lev = fopen(lev_path, "rb");
    if (!lev) return refuse(lev_path, "cannot open the level file (%s)", strerror(errno));
    FILE *d3d = fopen(d3d_path, "rb");
    if (!d3d) {
        int e = errno;
        fclose(lev);
        return refuse(d3d_path, "cannot open the palette-list file (%s)", strerror(e));
    }
    memset(lvl, 0, sizeof *lvl);
    int result = load_level(lvl, lev, d3d, LOAD_ALL);
    fclose(lev);
    fclose(d3d);
    if (result == LOAD_OK) return 0;
    // The reason is a sentence; on our line it follows the file's name.
    std::string reason = load_failure_reason();
    if (reason.empty()) reason = "there is not enough memory to read it";
    if (reason[0] >= 'A' && reason[0] <= 'Z' && !(reason.size() > 1 && reason[1] >= 'A' && reason[1] <= 'Z'))
        reason[0] = (char)(reason[0] - 'A' + 'a');
    if (reason.back() == '.') reason.pop_back();
    return refuse(result == LOAD_BAD_D3D ? d3d_path : lev_path, "%s", reason.c_str());
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
    int result = o.out_lev ? save_level_as(lvl, o.files[0], o.out_lev, o.out_d3d)
                           : save_level(lvl, o.files[0], d3d_path);
    if (result != SAVE_OK) return refuse(o.out_lev ? o.out_lev : o.files[0], "%s", save_failure_reason());
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
        size_t slash = folder.rfind('/'), dot = folder.rfind('.');
        if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1)) folder.erase(dot);
        else folder += ".pages";
    }
    struct stat st;
    const bool made_folder = stat(folder.c_str(), &st) != 0;
    if (made_folder && mkdir(folder.c_str(), 0777) != 0)
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
        if (made_folder) rmdir(folder.c_str());  // a refused export leaves nothing behind
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

int run_import(const options &o, const char *d3d_path, level *lvl)
{
    // Files that are neither bitmaps of ours nor PNGs go through Allegro's
    // loaders, which need Allegro without a screen.
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0)
        return refuse(o.files[0], "Allegro cannot be started (%s)", allegro_error);
    set_color_depth(32);
    quant_show_learning_messages(o.verbose);
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
    batch_report report;
    memset(&report, 0, sizeof report);
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
    if (!o.quiet)
        printf("%s %d files, skipped %d unchanged\n", o.dry_run ? "Would import" : "Imported", report.imported,
               report.skipped);
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
    options o;
    int parsed = parse_arguments(argc, argv, &o);
    if (parsed) return parsed < 0 ? 0 : parsed;

    // No debug.txt: the log goes to --log FILE only, and never to standard
    // output, which carries the tool's own output.
    set_debug_log_echo(o.verbose ? stderr : nullptr);
    if (o.log) open_debug_log(o.log);
    else if (o.verbose) open_debug_log("/dev/null");

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
END_OF_MAIN()
