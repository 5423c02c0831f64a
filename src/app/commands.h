// The main screen's commands: view switches, selection callbacks, the
// per-step work, the quit request, the image commands and the about box.
#pragma once

// View menu.
void view_models_command();
void view_event_models_command();
void view_users_command();            // "Models Using This Tex"
void view_texture_groups_command();
void view_individual_textures_command();
void view_settings_command();

// Selection callbacks of the lists, search boxes and the texture view.
void group_list_pick(int index);
void texture_list_pick(int index);
void texture_view_pick(int index, bool is_page);
void texture_search_hit(int index);
void model_search_hit(int index);

// Quit window buttons.
void quit_yes_command();
void quit_no_command();

// Image menu and the selection window of the import.
void export_command();
void import_command();
void import_done_command();
void import_cancel_command();
void import_select_all_command();

// File menu "Save" and Control+S.
void save_command();

// Help menu (the readme and update commands live with their own code).
void about_command();
void about_done_command();
// Shows `update_window` with `length` bytes of text (the update note).
void show_update_text(char *text, int length);
// Drops the update window's pointer to its text (its lines stay shown).
void forget_update_text();

// Which picture of the about bitmap a random value chooses: its top edge.
int about_picture_top(int random_value);
// The folder part of `path` (up to and including its last '/' or '\'), at
// most `size` - 1 characters; empty when it has none.
void folder_of(const char *path, char *folder, int size);
