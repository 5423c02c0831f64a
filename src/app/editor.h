// The main routine: start-up, the 60 Hz main loop and shut-down.
#pragma once

class gui_manager;

// Runs the whole program: start-up, the loop until quit_requested, shut-down.
// With `level_file` (may be null) that level is opened at start, with
// `d3d_file` as its palette list (null: the level's name with ".d3d").
// 0 after a normal shut-down, -1 when the OpenGL window cannot be opened.
int run_editor(const char *level_file, const char *d3d_file);

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

// What the drawn picture can depend on besides the commands' own work,
// sampled at the start of every logic step.
struct screen_sample {
    int mouse_x = 0, mouse_y = 0, mouse_z = 0, mouse_b = 0;
    bool key_waiting = false;   // a key is in Allegro's buffer
    bool key_held = false;      // some key is down
    bool flash_phase = false;
    bool level_changed = false;
    bool captured = false;      // a widget holds the mouse (drags warp the pointer)
};

// Ticks after which an idle window is drawn anyway, so exposed or stale parts
// of the window are repaired within a second. Kept this slow because a frame
// of 128 thumbnails costs about 10 ms of software OpenGL.
enum { FRAME_KEEP_ALIVE_TICKS = 60 };

// How long every step is drawn after a dialog or message box closes: the
// part of the window it covered must be repaired at once, not at the next
// keep-alive frame.
enum { FRAMES_AFTER_MODAL_TICKS = 30 };

// Draws a frame after each of the next `ticks` logic steps.
void redraw_for_ticks(int ticks);

// True when the step sampled as `now` may change the picture: anything
// differs from the previous step's sample, a button or key is down, a key
// waits, or a widget holds the capture. Commands run only from input, so an
// idle window needs no new frame until one of these changes.
bool step_changes_picture(const screen_sample &previous, const screen_sample &now);

// The frame decision after a pass of logic steps: draw when a step of the
// pass may have changed the picture or when `ticks_since_frame` has reached
// the keep-alive.
bool frame_due(bool picture_may_change, int ticks_since_frame);
