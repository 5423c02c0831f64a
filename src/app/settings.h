// The user's options and last-used folders, kept in "settings.ini".
#pragma once
#include <stdint.h>

enum { SETTINGS_THEME_SIZE = 256, SETTINGS_PATH_SIZE = 1024 };

struct settings {
    int32_t fast_quit;
    int32_t invert_yrot;
    int32_t invert_ypos;
    int32_t invert_xpos;
    int32_t best_colours;   // true-colour imports learn palettes with the best quantiser
    char theme[SETTINGS_THEME_SIZE];
    char lev_directory[SETTINGS_PATH_SIZE];
    char d3d_directory[SETTINGS_PATH_SIZE];
    char export_directory[SETTINGS_PATH_SIZE];
    char import_directory[SETTINGS_PATH_SIZE];
};

// Fills the record with the defaults: options off, theme "themes/grey.bmp",
// no folders.
void set_default_settings(settings *s);
// Reads the keys present in an INI file into the record; a missing key keeps
// its field and logs a line. Values longer than a field are cut to fit;
// values come back byte for byte as saved, UTF-8 or not.
// Brings up Allegro's hardware-free system for the read when nothing has
// initialised Allegro yet, and leaves Allegro's own config as it found it.
// 0 after reading, 1 when the file does not exist, 2 when memory ran out or
// Allegro could not be brought up.
int load_settings(settings *s, const char *path);
// Writes the record through a temporary file beside `path` ("<path>.tmp")
// renamed over it, so the previous file survives a failed write.
// 0 after writing, 1 when the file cannot be opened for writing, 2 when
// writing or replacing it failed.
int save_settings(const settings *s, const char *path);
