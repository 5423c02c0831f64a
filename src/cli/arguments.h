// The tool's command line: its options, their parsing and help, and the two
// kinds of error line (a usage error, a refused file).
#pragma once
#include <vector>

#include "imaging/batch.h"

enum { EXIT_REFUSED = 1, EXIT_USAGE = 2 };

// Everything the command line can say; the defaults are the tool's.
struct options {
    const char *command = nullptr;
    const char *files[2] = {nullptr, nullptr};
    int file_count = 0;
    bool quiet = false, verbose = false, json = false, dry_run = false, all_palettes = false;
    bool dither = false, replace_palette = false;
    int quantiser = 0, jobs = 0;  // QUANTISER_*; 0 jobs: one per core
    const char *log = nullptr, *folder = nullptr, *pages = nullptr, *textures = nullptr;
    const char *out_lev = nullptr, *out_d3d = nullptr, *import_file = nullptr, *from = nullptr;
    int format = BATCH_BMP, depth = 8, page = -1;
};

// Parses argv into `o`; answers 0, EXIT_USAGE (message written) or -1 when
// help or the version was asked for and written.
int parse_arguments(int argc, char **argv, options *o);

// A page list like "0-5,9,12" as marks on `pages` pages. Answers 0,
// EXIT_USAGE for a list that does not parse, EXIT_REFUSED for a page the
// level lacks (both reported).
int parse_page_list(const char *list, const char *level_name, int pages, std::vector<unsigned char> *marks);

// "qte-tool: MESSAGE" and a pointer to --help on standard error; answers EXIT_USAGE.
int usage_error(const char *format, ...) __attribute__((format(printf, 1, 2)));
// "qte-tool: FILE: REASON" on standard error; answers EXIT_REFUSED.
int refuse(const char *file, const char *format, ...) __attribute__((format(printf, 2, 3)));
