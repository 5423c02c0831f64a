// Modal message boxes of the main screen's commands.
#pragma once

// Shows `text` in the modal message box (show_message) and then forgets the keys
// held when it opened: their releases went to the box, not to the editor.
void tell_user(const char *text);
// Replaces the box, for tests: the function receives each text. Null
// restores the real box.
void set_tell_user_hook(void (*hook)(const char *text));
// Called after every modal box or dialog; the main screen installs the
// keyboard reset here. Null allowed.
void set_after_modal_hook(void (*hook)());
void after_modal();
