// The user's options and last-used folders, kept in "settings.ini".
#pragma once
#include <stdint.h>

enum { SETTINGS_THEME_SIZE = 256, SETTINGS_PATH_SIZE = 1024 };

struct settings {
    int32_t fast_quit;
    int32_t invert_yrot;
    int32_t invert_ypos;
    int32_t invert_xpos;
    char theme[SETTINGS_THEME_SIZE];
    char lev_directory[SETTINGS_PATH_SIZE];
    char d3d_directory[SETTINGS_PATH_SIZE];
    char export_directory[SETTINGS_PATH_SIZE];
    char import_directory[SETTINGS_PATH_SIZE];
};

void set_default_settings(settings *s);
// 1 when the file does not exist, 0 otherwise.
int load_settings(settings *s, const char *path);
// 1 when the file cannot be opened for writing, 0 after writing.
int save_settings(const settings *s, const char *path);
