// Every command of the editor: what the menus, buttons, keys and lists run.
// Each menu's commands live in one file: File in file_commands.cpp, Image
// and Level in image_commands.cpp, View and Help (and the selection
// callbacks, the per-step work and the quit request) in commands.cpp.
#pragma once

#include <string>
#include <vector>

#include "base/path.h"

class render3d;

// File menu and Control+O, Control+S.
// Open asks first when changes are unsaved, then for the level file and its
// palette-list file, reads both, and only then replaces the loaded level; a
// file that cannot be opened or read is reported in a message box and the
// level loaded before stays as it was.
void open_level_command();
// File > Open Recent's entry `index` (0 = newest) of the settings' recent
// levels, asking first like Open.
void open_recent_level(int index);
// Files dropped on the window at (x, y): a level file (".lev" in any case)
// opens with its palette list, asking first like Open; an image dropped on a
// page's thumbnail is imported into that page as Image > Import would.
void open_dropped_files(const std::vector<std::string> &files, int x, int y);
// Opens a level from its two files as Open does once both are chosen (the
// same log lines, messages and remembered folders); a null `d3d_name` means
// the palette list find_palette_list_file finds beside the level.
void open_level_files(const char *lev_name, const char *d3d_name);
// Save writes the level back through temporary files; level_changed is
// cleared only when both files were written, else the user is told why.
void save_command();
// Releases the loaded level, its GL textures and name lists and resets every
// selection of the main screen.
void close_level();
// Hands the name lists to the list boxes and search boxes.
void give_lists_to_widgets();

// Level menu, Control+Z and Control+Shift+Z / Control+Y. Undo and Redo live
// with the history in undo.cpp: the GL textures follow, and the level counts
// as changed unless it is back where it was opened or saved.
void delete_unused_palettes_command();
void undo_command();
void redo_command();

// View menu.
void view_models_command();
void view_event_models_command();
void view_users_command();            // "Models Using This Tex"
void view_texture_groups_command();
void view_individual_textures_command();
void view_settings_command();
// The 3D view's on_draw: the selected model or event model of the level.
void draw_selected_model(render3d *view, float *yaw, float *pitch, float *pan_x, float *pan_y, float *distance);

// Selection callbacks of the lists, search boxes and the texture view.
void group_list_pick(int index);
void texture_list_pick(int index);
void texture_view_pick(int index, bool is_page);
void texture_search_hit(int index);
void model_search_hit(int index);

// The screen's work at the start of every logic step, before the manager's
// dispatch pass: settings check boxes, keyboard shortcuts, selection routing.
void main_screen_step();
// Shows the Image menu exactly while the Texture Groups view has a current
// page (Export and Import act on it); main_screen_step runs it every step.
void update_image_menu();
// What Escape, the Exit command and the window's close button do: ask, or quit
// at once with fast quit and nothing unsaved.
void request_quit();
// Runs `then` at once when nothing is unsaved; otherwise asks "Discard
// unsaved changes?" and runs it after "Yes", or after "Save" has written the
// level. "No" (or a failed save) leaves everything as it was.
void ask_before_discarding(void (*then)());

// Question window buttons (quit_window: the quit question and "Discard
// unsaved changes?").
void quit_yes_command();
void quit_no_command();
void quit_save_command();

// Image menu and the selection window of the import. A file the decoders
// refuse is refused before the window opens; "Done" imports into the marked
// textures, changing nothing outside them unless "Replace the whole palette"
// is checked.
void export_command();
void import_command();
void import_done_command();
void import_cancel_command();
void import_select_all_command();
// Export All writes every page into a chosen folder (page_007.bmp, in the
// format of the chooser's filter); Import All takes back every such file of
// a chosen folder, all or nothing, as one undo step. Both show
// progress_window when the work takes long and say what they did.
void export_all_command();
void import_all_command();

// Help menu (the readme and update commands live with their own code).
void about_command();
void about_done_command();
// Shows `update_window` with `length` bytes of text (the update note).
void show_update_text(char *text, int length);
// Drops the update window's pointer to its text (its lines stay shown).
void forget_update_text();

// Which picture of the about bitmap a random value chooses: its top edge.
int about_picture_top(int random_value);
