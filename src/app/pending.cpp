// Weak stand-ins for pieces not delivered yet; the real ones replace them.
#include "app/pending.h"

#include "app/debug_log.h"
#include "level/level_writer.h"

#define WEAK __attribute__((weak))

extern WEAK const char EXPORT_FILTER_PALETTED[] = "24-bit Bitmap\0*.bmp\0008-bit Bitmap\0*.bmp\0";
extern WEAK const char EXPORT_FILTER_15BIT[] = "24-bit Bitmap\0*.bmp\0";
WEAK int export_page_to_file(level *, int, const char *, int) { return EXPORT_BAD_PAGE; }
WEAK int check_8bit_bitmap(const char *) { return 1; }
WEAK int import_8bit_bitmap(level *, int, const char *, const import_selection *) { return 1; }
WEAK int import_truecolour_image(level *, int, const char *, const import_selection *) { return 1; }
WEAK void delete_unused_palettes(level *) { debug_log("Deleting unused palettes."); }
WEAK int flash_page = -1;
WEAK void draw_model_view(render3d *, float *, float *, float *, float *, float *) {}
WEAK void save_level_command() { debug_log("Saving changes."); }

#include <string.h>
#include "app/settings.h"
WEAK void set_default_settings(settings *s)
{
    memset(s, 0, sizeof *s);
    strcpy(s->theme, "themes/grey.bmp");
}
WEAK int load_settings(settings *, const char *) { return 1; }
WEAK int save_settings(const settings *, const char *) { return 0; }
