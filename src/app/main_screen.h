// The points where the main screen plugs into the main routine.
//
// The main routine knows nothing of the screen's widgets; it builds the screen
// once at start-up, runs its per-step work every logic step, forwards the
// window's close button to the quit request and frees the screen's lists at
// shut-down.
#pragma once

class gui_manager;

// Builds every widget, panel, dialog window and menu of the main screen and
// adds them to the manager, bottom first. Called once, after the theme is set.
void build_main_screen(gui_manager *manager);
// The screen's work at the start of every logic step, before the manager's
// dispatch pass: settings check boxes, keyboard shortcuts, selection routing.
void main_screen_step();
// What Escape, the Exit command and the window's close button do: ask, or quit
// at once with fast quit and nothing unsaved.
void request_quit();
// Frees the name lists the screen filled from the level (shut-down).
void free_main_screen_lists();
// State of the "Flash texture" check box; read from the flash timer, so it
// must only read a field.
bool flash_checkbox_checked();
