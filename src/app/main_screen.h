// The points where the main screen plugs into the main routine.
//
// The main routine knows nothing of the screen's widgets; it builds the screen
// once at start-up and frees the screen's lists at shut-down. (The per-step
// work and the quit request are commands: app/commands.h.)
#pragma once

class gui_manager;

// Builds every widget, panel, dialog window and menu of the main screen and
// adds them to the manager, bottom first. Called once, after the theme is set.
void build_main_screen(gui_manager *manager);
// Frees the name lists the screen filled from the level (shut-down).
void free_main_screen_lists();
// Greys Undo and Redo when there is no step to take, and lists the recent
// levels afresh when the File menu opens; main_screen_step runs it.
void refresh_menus();
// State of the "Flash texture" check box; read from the flash timer, so it
// must only read a field.
bool flash_checkbox_checked();
