// The system's file chooser as the file dialogs use it: one request, one
// answer. file_chooser_posix.cpp runs the GTK helper program beside the
// editor; file_chooser_windows.cpp shows the Windows common item dialog on a
// thread of its own. Both keep calling the dialogs' wait hook meanwhile, so
// the editor's window stays drawn.
#pragma once

#include <string>
#include <utility>
#include <vector>

enum { CHOOSE_OPEN, CHOOSE_SAVE, CHOOSE_FOLDER };

struct chooser_request {
    int mode = CHOOSE_OPEN;
    std::string title;
    std::string folder;           // an existing folder to start in
    std::string selected_file;    // open: a file to have chosen already, or empty
    std::string suggested_name;   // save: the name typed in, or empty
    int start_filter = 1;         // save: the 1-based filter shown first
    // Description and patterns ("*.png;*.bmp"), in order.
    std::vector<std::pair<std::string, std::string>> filters;
};

// What run_file_chooser answers.
enum {
    CHOOSER_CHOSEN = 0,      // `path` and `filter_index` (1-based) hold the answer
    CHOOSER_CANCELLED = 1,
    CHOOSER_NOT_STARTED = 2, // the chooser could not be shown at all
    CHOOSER_FAILED = 3,      // it failed or answered nonsense; `why` says how
};
int run_file_chooser(const chooser_request &request, std::string *path, int *filter_index, std::string *why);

// The dialogs' wait hook, called about every 30 ms while a chooser is up.
void call_file_dialog_wait_hook();
