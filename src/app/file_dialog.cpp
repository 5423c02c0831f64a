// Open, save and folder dialogs: the request to the system's chooser
// (file_chooser.h) and the checks on its answer, the same on every system.
#include "app/file_dialog.h"

#include <stdio.h>
#include <string.h>

#include <string>

#include "app/file_chooser.h"
#include "app/user_message.h"
#include "base/debug_log.h"
#include "base/file_system.h"

namespace {

int last_error = FILE_DIALOG_CANCELLED;
std::string next_answer;   // answer_next_file_dialog's file
void (*wait_hook)() = nullptr;

void clear(char *buffer, int size)
{
    if (buffer && size > 0)
        buffer[0] = '\0';
}

void report(const char *text)
{
    debug_log("%s", text);
    tell_user(text);
}

// Shared body of the dialogs: returns the filter index (1-based) or -1.
int run_dialog(int mode, const char *caption, const char *filter, char *path, int path_size, char *title,
               int title_size, const char *initial_folder, const char *selected_file, int start_filter = 1,
               const char *suggested_name = nullptr)
{
    clear(path, path_size);
    clear(title, title_size);
    last_error = FILE_DIALOG_HELPER_FAILED;
    chooser_request request;
    request.mode = mode;
    request.title = caption;
    request.selected_file = selected_file ? selected_file : "";
    request.suggested_name = suggested_name ? suggested_name : "";
    request.start_filter = start_filter;
    // Without a folder a chooser may start in its list of recent files, which
    // is no place to look for a level or a picture.
    bool known = initial_folder && path_kind(initial_folder, nullptr) == PATH_FOLDER;
    request.folder = known ? initial_folder : absolute_path(".");
    // Description and pattern pairs up to the empty description.
    for (const char *p = filter; p && *p;) {
        const char *pattern = p + strlen(p) + 1;
        request.filters.emplace_back(p, pattern);
        p = pattern + strlen(pattern) + 1;
    }
    if (request.filters.empty() && mode != CHOOSE_FOLDER) {
        report("The file dialog was asked without any file type.");
        return -1;
    }

    std::string chosen, why;
    int index = 1, answer = CHOOSER_CHOSEN;
    if (mode == CHOOSE_OPEN && !next_answer.empty()) {
        chosen = next_answer;
        next_answer.clear();
    } else {
        answer = run_file_chooser(request, &chosen, &index, &why);
        after_modal();
    }
    if (answer == CHOOSER_CANCELLED) {
        last_error = FILE_DIALOG_CANCELLED;
        return -1;
    }
    if (answer == CHOOSER_NOT_STARTED) {
        last_error = FILE_DIALOG_NO_HELPER;
        report(("The file chooser could not be started:\n" + why).c_str());
        return -1;
    }
    if (answer != CHOOSER_CHOSEN) {
        report(why.c_str());
        return -1;
    }
    if (!path || chosen.size() >= (size_t)path_size) {
        last_error = FILE_DIALOG_NAME_TOO_LONG;
        report("The chosen file name is too long.");
        return -1;
    }
    if (mode != CHOOSE_SAVE && path_kind(chosen.c_str(), nullptr) != (mode == CHOOSE_FOLDER ? PATH_FOLDER : PATH_FILE)) {
        last_error = FILE_DIALOG_NOT_FOUND;
        return -1;
    }
    memcpy(path, chosen.c_str(), chosen.size() + 1);
    if (title && title_size > 0) {
        size_t name_start = chosen.size();
        while (name_start > 0 && !is_path_separator(chosen[name_start - 1])) name_start--;
        snprintf(title, (size_t)title_size, "%s", chosen.c_str() + name_start);
    }
    last_error = FILE_DIALOG_CANCELLED;
    return index;
}

}  // namespace

int open_file_dialog(const char *caption, const char *filter, char *path, int path_size, char *title,
                     int title_size, const char *initial_folder, const char *selected_file)
{
    return run_dialog(CHOOSE_OPEN, caption, filter, path, path_size, title, title_size, initial_folder,
                      selected_file) > 0;
}

int save_file_dialog(const char *caption, const char *filter, char *path, int path_size, char *title,
                     int title_size, const char *initial_folder, int start_filter, const char *suggested_name)
{
    return run_dialog(CHOOSE_SAVE, caption, filter, path, path_size, title, title_size, initial_folder, nullptr,
                      start_filter, suggested_name);
}

int choose_folder_dialog(const char *caption, const char *filter, char *path, int path_size,
                         const char *initial_folder)
{
    return run_dialog(CHOOSE_FOLDER, caption, filter, path, path_size, nullptr, 0, initial_folder, nullptr);
}

int file_dialog_error() { return last_error; }

void set_file_dialog_wait_hook(void (*hook)()) { wait_hook = hook; }

void call_file_dialog_wait_hook()
{
    if (wait_hook) wait_hook();
}

void answer_next_file_dialog(const char *path) { next_answer = path ? path : ""; }
