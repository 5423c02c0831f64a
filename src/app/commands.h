// The main screen's commands: menu entries, buttons, selection callbacks,
// the per-step work and the quit request.
#pragma once

// Shows `update_window` with `length` bytes of text (the update note).
void show_update_text(char *text, int length);
