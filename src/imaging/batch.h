// Exporting and importing many pages at once as files named after their
// pages: page_007.png, or page_007_palette_12.bmp for one palette of a page
// with several. The command-line tool and the editor's Export All and Import
// All both go through here.
#pragma once
#include <stdint.h>

struct level;

enum { BATCH_BMP = 0, BATCH_PNG = 1 };

// Called after each page with how many of `total` are done. Answering false
// stops the work (an import then leaves the level as it was).
typedef bool (*batch_progress_fn)(void *context, int done, int total);

struct batch_export_options {
    int format = BATCH_BMP;
    bool want_8bit = true;          // paletted pages as 8-bit; 15-bit pages are always 24-bit
    bool all_palettes = false;      // one file per palette slot: page_NNN_palette_ID.ext
    const bool *pages = nullptr;    // one mark per page; null: every page
    batch_progress_fn progress = nullptr;
    void *progress_context = nullptr;
};

struct batch_import_options {
    const bool *pages = nullptr;    // only these pages' files; null: every page file found
    // Texture names to import on a page with several palettes; none means
    // every named texture of the page (as "Select All" marks them).
    int texture_name_count = 0;
    const char *const *texture_names = nullptr;
    int quantiser = 0;              // QUANTISER_NEUQUANT or QUANTISER_BEST (page_import.h)
    bool dither = false;
    bool replace_palette = false;   // learn whole palettes: other textures change colour
    int jobs = 0;                   // threads reducing pages side by side; 0: one per core
    batch_progress_fn progress = nullptr;
    void *progress_context = nullptr;
};

enum { BATCH_REASON_SIZE = 1200 };

// The result when the progress callback stopped the work (distinct from
// every EXPORT_* and IMPORT_* code).
enum { BATCH_CANCELLED = 100 };

// What a batch did, and on failure which file and why in one sentence
// (e.g. "the file is a PNG larger than 8192 x 8192 pixels").
enum { BATCH_LISTED_PAGES = 20 };

struct batch_report {
    int exported, imported, skipped;  // files
    // Pages an export of every page left out because their palette is
    // missing: how many, and the first BATCH_LISTED_PAGES of them in order.
    int left_out;
    int left_out_pages[BATCH_LISTED_PAGES];
    // The imported page whose chosen textures had the fewest palette entries
    // free for new colours (-1 when none reduced into a palette), and how many.
    int fewest_free_page, fewest_free_entries;
    int result;                       // 0, else the first failure's EXPORT_* / IMPORT_* code
    char file[BATCH_REASON_SIZE];     // the file that failed ("" when none)
    char reason[BATCH_REASON_SIZE];
};

// The file name a page's export gets: "page_007.bmp", or with `palette_id`
// >= 0 "page_007_palette_12.png". Answers the length written (as snprintf).
int batch_file_name(char *out, int size, int page, int palette_id, int format);

// Writes the marked pages into `folder` (which must exist), each through the
// whole-or-nothing writers: paletted pages through the palette at their
// current slot (every slot's palette with `all_palettes`). A marked page whose
// palette is missing is refused before any file is written; with no marks
// (every page) such a page is left out and counted in the report. Stops at
// the first failure. Returns 0 or the failure's code, with `report` filled.
int export_pages(level *lvl, const char *folder, const batch_export_options *options, batch_report *report);

// Imports one image file into `page` with the editor's importers and palette
// placement. `palette_id` >= 0 names the palette of the page's list that the
// file is for (as page_NNN_palette_ID files are); -1 means the current slot.
// A file whose pixels (and, when indexed, colour table) equal the page as it
// would be exported is skipped and changes nothing. On a refusal the level is
// unchanged.
int import_page_file(level *lvl, int page, int palette_id, const char *path, const batch_import_options *options,
                     batch_report *report);

// Imports every file of `folder` that export_pages names (of either format),
// in page order, as import_page_file does, except that each file is compared
// with the level as it was before the first file came in (so the unedited
// file of one palette does not undo what another palette's file changed in
// the shared indices). Names of another form are ignored; a page number
// outside the level, or two files for one page and palette, is a refusal
// before anything changes. All or nothing: on the first
// refusal, or when the progress callback stops the work, the level is put
// back as it was and the code is returned.
int import_pages(level *lvl, const char *folder, const batch_import_options *options, batch_report *report);
