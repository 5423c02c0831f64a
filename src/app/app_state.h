// Process-wide application state shared by the main loop, commands and views.
//
// The program has one window, one level and one set of settings, so these are
// globals owned by the main routine; the pointers are published at start-up.
#pragma once
#include "level/level.h"   // LEVEL_PATH_SIZE

struct level;
struct settings;
struct gl_texture_set;

extern level *current_level;            // never null once the main routine runs
extern settings *current_settings;
extern gl_texture_set *current_textures;

extern volatile int tick_counter;       // logic steps owed; +1 at 60 Hz
extern volatile bool flash_phase;       // blink state of "Flash texture"
extern bool level_changed;              // the level differs from the files on disk
extern int quit_requested;              // non-zero ends the main loop
extern bool show_event_model;           // the 3D view shows an event model
extern int selected_model;              // -1 = none
extern int selected_event_model;        // -1 = none
extern int flash_page;                  // page blinking magenta in the 3D view while flash_phase; -1 = none

// The open level's two files and the level file's folder (with its final
// '/'), set by the open command; empty while no level was opened.
extern char level_path[LEVEL_PATH_SIZE];
extern char d3d_path[LEVEL_PATH_SIZE];
extern char level_folder[LEVEL_PATH_SIZE];

extern const char *const WINDOW_TITLE;          // "Quarly Texture Editor 2.0"
extern const char *const CHANGED_WINDOW_TITLE;  // "*Quarly Texture Editor 2.0"
