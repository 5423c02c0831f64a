// Stand-ins for pieces other parts of the editor have not delivered yet;
// each is used only while its real header is missing.
#pragma once
#include <stdio.h>

struct level;
struct texture_name;
class render3d;

#if __has_include("imaging/bitmap_export.h")
#include "imaging/bitmap_export.h"
#else
enum { EXPORT_OK = 0, EXPORT_CANCELLED = 1, EXPORT_CANNOT_CREATE = 2, EXPORT_NO_PALETTE = 3,
       EXPORT_WRITE_FAILED = 4, EXPORT_BAD_PAGE = 5 };
extern const char EXPORT_FILTER_PALETTED[];
extern const char EXPORT_FILTER_15BIT[];
int export_page_to_file(level *lvl, int page, const char *chosen_name, int filter_index);
#endif

#if __has_include("imaging/bitmap_import.h")
#include "imaging/bitmap_import.h"
#else
enum { IMPORT_OK = 0 };
struct import_selection {
    int count;
    const texture_name *const *names;
    const bool *selected;
};
int check_8bit_bitmap(const char *path);
int import_8bit_bitmap(level *lvl, int page, const char *path, const import_selection *selection);
int import_truecolour_image(level *lvl, int page, const char *path, const import_selection *selection);
#endif

#if __has_include("imaging/unused_palettes.h")
#include "imaging/unused_palettes.h"
#else
void delete_unused_palettes(level *lvl);
#endif

#if __has_include("level/model_render.h")
#include "level/model_render.h"
#else
extern int flash_page;
void draw_model_view(render3d *view, float *yaw, float *pitch, float *pan_x, float *pan_y, float *distance);
#endif
