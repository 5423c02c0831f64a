// Weak stand-ins for the settings file functions until they are delivered.
#include <string.h>

#include "app/settings.h"

#define WEAK __attribute__((weak))

WEAK void set_default_settings(settings *s)
{
    memset(s, 0, sizeof *s);
    strcpy(s->theme, "themes/grey.bmp");
}
WEAK int load_settings(settings *, const char *) { return 1; }
WEAK int save_settings(const settings *, const char *) { return 0; }
