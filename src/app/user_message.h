// Telling the user something: the modal message box of the editor's commands.
#pragma once

// Redraws the window (the redraw hook), shows `text` in a modal message box
// and then runs the after-modal hook (the keys held when it opened had their
// releases go to the box).
void tell_user(const char *text);
// The box itself: Allegro's allegro_message by default. A plain function
// pointer so that tests without a display can put a recorder in its place;
// null restores the default.
extern void (*show_message)(const char *text);
// Called after every modal box or dialog; the main screen installs the
// keyboard reset here. Null allowed.
void set_after_modal_hook(void (*hook)());
void after_modal();
// Draws the window at once, so that a box or dialog never opens over a stale
// or black one; the main screen installs its frame drawing here. Null allowed.
void set_redraw_hook(void (*hook)());
void redraw_now();
