// Fuzz entry point for the settings reader: the input becomes a settings file on disk and is loaded.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "app/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // One file per process, rewritten for every input.
    static char path[64];
    if (!path[0]) {
        snprintf(path, sizeof path, "/tmp/fuzz_settings_%d.ini", (int)getpid());
        atexit([] { remove(path); });
    }
    FILE *f = fopen(path, "wb");
    if (!f) return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    settings s;
    set_default_settings(&s);
    load_settings(&s, path);
    // Every text field must still be terminated inside its bounds.
    if (strnlen(s.theme, sizeof s.theme) == sizeof s.theme) abort();
    const char *folders[] = {s.lev_directory, s.d3d_directory, s.export_directory, s.import_directory};
    for (const char *folder : folders)
        if (strnlen(folder, SETTINGS_PATH_SIZE) == SETTINGS_PATH_SIZE) abort();
    return 0;
}
