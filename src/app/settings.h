// The user's options and last-used folders, kept in "settings.ini".
#pragma once
#include <stdint.h>

enum { SETTINGS_THEME_SIZE = 256, SETTINGS_PATH_SIZE = 1024, SETTINGS_RECENT_COUNT = 8 };

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
    // The export chooser's type last written from a paletted page (1 24-bit
    // bitmap, 2 8-bit bitmap, 3 8-bit PNG, 4 24-bit PNG) and the last 24-bit
    // type (1 bitmap, 2 PNG).
    int32_t export_paletted_type;
    int32_t export_truecolour_type;
    // The levels opened last, newest first: the level file and its palette
    // list; an empty level path ends the list.
    char recent_levels[SETTINGS_RECENT_COUNT][SETTINGS_PATH_SIZE];
    char recent_d3ds[SETTINGS_RECENT_COUNT][SETTINGS_PATH_SIZE];
};

// Fills the record with the defaults: options off, theme "themes/grey.bmp",
// no folders, exports starting on the 8-bit and the 24-bit bitmap, no
// recent levels.
void set_default_settings(settings *s);
// Reads the keys present in an INI file into the record; a missing key keeps
// its field and logs a line. Values longer than a field are cut to fit;
// values come back byte for byte as saved, UTF-8 or not.
// Brings up Allegro's hardware-free system for the read when nothing has
// initialised Allegro yet, and leaves Allegro's own config as it found it.
// 0 after reading, 1 when the file does not exist, 2 when memory ran out or
// Allegro could not be brought up.
int load_settings(settings *s, const char *path);
// Puts a level's two files first in the recent levels, dropping their older
// entry and the oldest past SETTINGS_RECENT_COUNT; paths that do not fit a
// field are not remembered.
void remember_recent_level(settings *s, const char *lev, const char *d3d);
// Writes the record through a temporary file beside `path` ("<path>.tmp")
// renamed over it, so the previous file survives a failed write.
// 0 after writing, 1 when the file cannot be opened for writing, 2 when
// writing or replacing it failed.
int save_settings(const settings *s, const char *path);
