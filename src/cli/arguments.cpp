// The tool's command line: the help texts, the option parser, page lists and
// the error lines.
#include "cli/arguments.h"

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/version.h"
#include "imaging/batch.h"
#include "imaging/page_import.h"

namespace {

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
               "                      [--quantiser neuquant|best] [--dither] [--replace-palette] [--jobs N]\n"
               "                      [--dry-run] [--out NEW.lev NEW.d3d]\n"
               "  --page N FILE    FILE into page N\n"
               "  --from DIR       every file of DIR that export names; unchanged ones are skipped\n"
               "  --textures A,B   the named textures to import on a page with several palettes;\n"
               "                   nothing outside them changes colour\n"
               "  --quantiser Q    how true colour is reduced to a palette: neuquant (default) or best\n"
               "  --dither         Floyd-Steinberg dithering where the best quantiser reduces\n"
               "  --replace-palette  learn the whole palette from the chosen textures (others change colour)\n"
               "  --jobs N         pages reduced side by side (default: one per core); the result is the same\n"
               "  --dry-run        list the pages whose pixels or colours would change; write nothing\n"
               "  --out L D        write the new pair to L and D instead of in place\n"},
    {"delete-unused-palettes", "usage: qte-tool delete-unused-palettes LEVEL.lev [LEVEL.d3d] [--dry-run] [--out NEW.lev NEW.d3d]\n"
                               "  --dry-run        say which palettes would go and write nothing\n"
                               "  --out L D        write the new pair to L and D instead of in place\n"},
    {"check", "usage: qte-tool check LEVEL.lev [LEVEL.d3d]\n"
              "  exit status 0: no findings, 1: findings, 2: unreadable or usage error\n"},
};

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

}  // namespace

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
        else if (!strcmp(a, "--dither")) o->dither = true;
        else if (!strcmp(a, "--replace-palette")) o->replace_palette = true;
        else if (!strcmp(a, "--log") || !strcmp(a, "-o") || !strcmp(a, "--pages") || !strcmp(a, "--textures") ||
                 !strcmp(a, "--from") || !strcmp(a, "--format") || !strcmp(a, "--depth") ||
                 !strcmp(a, "--quantiser") || !strcmp(a, "--jobs")) {
            if (!has_next) return usage_error("%s needs a value", a);
            const char *v = argv[++i];
            if (!strcmp(a, "--log")) o->log = v;
            else if (!strcmp(a, "-o")) o->folder = v;
            else if (!strcmp(a, "--pages")) o->pages = v;
            else if (!strcmp(a, "--textures")) o->textures = v;
            else if (!strcmp(a, "--from")) o->from = v;
            else if (!strcmp(a, "--jobs")) {
                if (!parse_int(v, &o->jobs) || o->jobs < 1 || o->jobs > 256)
                    return usage_error("--jobs takes a number from 1 to 256, not \"%s\"", v);
            } else if (!strcmp(a, "--quantiser")) {
                if (!strcmp(v, "neuquant")) o->quantiser = QUANTISER_NEUQUANT;
                else if (!strcmp(v, "best")) o->quantiser = QUANTISER_BEST;
                else return usage_error("--quantiser takes neuquant or best, not \"%s\"", v);
            }
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
