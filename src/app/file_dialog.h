// Open and save dialogs: the GTK chooser helper started beside the editor.
#pragma once

enum { FILE_DIALOG_PATH_SIZE = 1024, FILE_DIALOG_TITLE_SIZE = 256 };

// Why the last dialog returned without a file (file_dialog_error()).
enum {
    FILE_DIALOG_CANCELLED = 0,     // the user closed the chooser
    FILE_DIALOG_NO_HELPER = 1,     // the chooser program could not be started
    FILE_DIALOG_HELPER_FAILED = 2, // it ended abnormally or answered nonsense
    FILE_DIALOG_NAME_TOO_LONG = 3, // the chosen path does not fit the buffer
    FILE_DIALOG_NOT_FOUND = 4,     // the open or folder dialog answered a file or folder that is gone
};

// Filter lists are pairs of zero-terminated strings (description, pattern)
// ended by an empty description: "Quarly Level\0*.lev\0". Patterns match
// in any case; an open dialog adds "All Files (*)", which answers as the
// first.
//
// open_file_dialog shows the chooser titled `caption` for an existing file,
// starting in `initial_folder` (empty or no folder: the working folder) with
// `selected_file` (may be null) chosen already. Returns non-zero with
// the full path in `path` and its file name in `title` (either buffer may be
// null with size 0), 0 when cancelled or failed; the buffers are then left
// empty. A chooser that cannot run is reported in a message box.
int open_file_dialog(const char *caption, const char *filter, char *path, int path_size, char *title,
                     int title_size, const char *initial_folder, const char *selected_file = nullptr);
// The same for a file to write, starting on filter `start_filter` (1-based)
// with `suggested_name` (may be null) typed in; new names are accepted and an
// existing file is confirmed before it is chosen. A name without one of the
// filters' extensions is confirmed with the chosen filter's appended.
// Returns the 1-based index of the filter selected when the user confirmed,
// or -1.
int save_file_dialog(const char *caption, const char *filter, char *path, int path_size, char *title,
                     int title_size, const char *initial_folder, int start_filter = 1,
                     const char *suggested_name = nullptr);
// The same for a folder: `filter` (may be null) only offers a choice, e.g.
// of a format, whose 1-based index is returned (1 without a filter) with the
// chosen folder's full path in `path`; -1 when cancelled or failed.
int choose_folder_dialog(const char *caption, const char *filter, char *path, int path_size,
                         const char *initial_folder);
// FILE_DIALOG_* for the last dialog that returned without a file.
int file_dialog_error();

// Collects the exit of choosers that answered and were left closing down;
// cheap, called from the main loop and before every dialog.
void reap_file_choosers();

// The next open dialog answers `path` without showing a chooser, as if the
// user had chosen it there (a file dropped on the window); null takes the
// answer back.
void answer_next_file_dialog(const char *path);
// Called about every 30 ms while a chooser is up (the main loop stands
// still meanwhile): the editor keeps its window drawn there. Null allowed.
void set_file_dialog_wait_hook(void (*hook)());

// The chooser program to run; null restores the default, "qte_file_chooser"
// in the executable's folder. Tests point it at a stand-in.
void set_file_chooser_program(const char *path);
