// The main routine: start-up, the 60 Hz main loop and shut-down.
#pragma once

class gui_manager;

// Runs the whole program: start-up, the loop until quit_requested, shut-down.
// 0 after a normal shut-down, -1 when the OpenGL window cannot be opened.
int run_editor();

// The catch-up rule of the main loop: runs `step` once per tick owed
// (tick_counter > 0), taking one tick off after each step, and stops early
// when two or more ticks arrived during one step, so that a frame is still
// drawn when logic falls behind. Returns the number of steps run.
int run_owed_logic_steps(void (*step)());

// The title the window must take after a logic step in which the
// unsaved-changes flag went from `changed_before` to `changed_after`; null
// when it did not flip and the title stays.
const char *title_after_step(bool changed_before, bool changed_after);

// One logic step: a pending close-button request, the screen's per-step work
// (`screen_step`, may be null), one dispatch pass of the manager (may be
// null), then retitling when level_changed flipped.
void logic_step(gui_manager *manager, void (*screen_step)());

// The last title given to the window (WINDOW_TITLE before any).
const char *current_window_title();

// The flash timer's rule: with the check box checked the phase flips,
// otherwise it rests at 0.
void advance_flash_phase(bool flash_checked);
