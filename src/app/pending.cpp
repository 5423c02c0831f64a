// Weak stand-ins for pieces not delivered yet; the real ones replace them.
#include "app/pending.h"

#include <string.h>

#include "app/debug_log.h"
#include "app/settings.h"

#define WEAK __attribute__((weak))

WEAK void delete_unused_palettes(level *) { debug_log("Deleting unused palettes."); }

WEAK void set_default_settings(settings *s)
{
    memset(s, 0, sizeof *s);
    strcpy(s->theme, "themes/grey.bmp");
}
WEAK int load_settings(settings *, const char *) { return 1; }
WEAK int save_settings(const settings *, const char *) { return 0; }
