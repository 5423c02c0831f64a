// Open, save and folder dialogs: runs the chooser helper and reads its answer.
//
// The chooser runs as a program of its own because a GTK dialog inside the
// AllegroGL process fails with an X error when no window manager is present.
// A file to start with is passed as "--select FILE" before the rest, the
// window's title as "--title TITLE".
// It prints "<filter index>\n<path>\n" and exits with 0, or exits with 1 when
// the user cancelled; anything else counts as a failed dialog.
#include "app/file_dialog.h"

#include <allegro.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/app_paths.h"
#include "base/debug_log.h"
#include "app/user_message.h"

extern char **environ;

namespace {

int last_error = FILE_DIALOG_CANCELLED;
std::string program_override;
std::string next_answer;   // answer_next_file_dialog's file
void (*wait_hook)() = nullptr;

std::string chooser_program()
{
    if (!program_override.empty())
        return program_override;
    return helper_path("qte_file_chooser");
}

// Choosers that have answered and are still closing down; reaped later so
// that GTK's teardown overlaps the loading of the chosen file.
std::vector<pid_t> closing;

// At exit: a chooser still closing gets two seconds to end, so that it is
// not left behind as a zombie of a parent that is gone.
void wait_for_closing_choosers()
{
    for (int i = 0; i < 200 && !closing.empty(); i++) {
        reap_file_choosers();
        if (!closing.empty())
            usleep(10000);
    }
}

// Appends what the pipe holds now; true at its end.
bool drain(int fd, std::string *output)
{
    char chunk[4096];
    for (;;) {
        ssize_t got = read(fd, chunk, sizeof chunk);
        if (got > 0)
            output->append(chunk, (size_t)got);
        else if (got == 0)
            return true;
        else if (errno != EINTR)
            return false;
    }
}

// Runs the chooser; fills `output` with what it printed. Returns its exit
// status, or -1 when it could not be started or was killed. An answer that
// has come whole ("<index>\n<path>\n", written at once) counts as status 0
// without waiting for the chooser to end.
int run_chooser(const std::vector<std::string> &args, std::string *output)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        return -1;
    }
    // The end of the pipe does not mean the chooser has ended, nor the other
    // way round: a program it started may keep the pipe open long after it
    // exited. So watch both, the chooser's exit at every poll time-out.
    fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    int status = 0;
    for (;;) {
        reap_file_choosers();   // the previous one, e.g., while this one is up
        if (wait_hook)
            wait_hook();
        struct pollfd ready = {fds[0], POLLIN, 0};
        bool ended = poll(&ready, 1, 30) > 0 && drain(fds[0], output);
        size_t line_end = output->find('\n');
        if (line_end != std::string::npos && output->find('\n', line_end + 1) != std::string::npos &&
            output->back() == '\n') {
            static int waits_at_exit = atexit(wait_for_closing_choosers);
            (void)waits_at_exit;
            closing.push_back(pid);
            close(fds[0]);
            return 0;
        }
        pid_t done = waitpid(pid, &status, ended ? 0 : WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR) {
            close(fds[0]);
            return -1;
        }
    }
    drain(fds[0], output);
    close(fds[0]);
    if (!WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

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

enum { DIALOG_OPEN, DIALOG_SAVE, DIALOG_FOLDER };

// Shared body of the dialogs: returns the filter index (1-based) or -1.
int run_dialog(int mode, const char *caption, const char *filter, char *path, int path_size, char *title,
               int title_size, const char *initial_folder, const char *selected_file, int start_filter = 1,
               const char *suggested_name = nullptr)
{
    clear(path, path_size);
    clear(title, title_size);
    last_error = FILE_DIALOG_HELPER_FAILED;
    std::vector<std::string> args;
    args.push_back(chooser_program());
    if (selected_file && selected_file[0]) {
        args.push_back("--select");
        args.push_back(selected_file);
    }
    args.push_back("--title");
    args.push_back(caption);
    if (start_filter > 1) {
        args.push_back("--filter");
        args.push_back(std::to_string(start_filter));
    }
    if (suggested_name && suggested_name[0]) {
        args.push_back("--name");
        args.push_back(suggested_name);
    }
    size_t first_filter = args.size() + 2;
    args.push_back(mode == DIALOG_SAVE ? "save" : mode == DIALOG_FOLDER ? "folder" : "open");
    // Without a folder GTK starts in its list of recent files, which is no
    // place to look for a level or a picture.
    struct stat st;
    char working[FILE_DIALOG_PATH_SIZE];
    bool known = initial_folder && stat(initial_folder, &st) == 0 && S_ISDIR(st.st_mode);
    if (!known && !getcwd(working, sizeof working))
        working[0] = '\0';
    args.push_back(known ? initial_folder : working);
    // Description and pattern pairs up to the empty description.
    for (const char *p = filter; p && *p;) {
        const char *pattern = p + strlen(p) + 1;
        args.push_back(p);
        args.push_back(pattern);
        p = pattern + strlen(pattern) + 1;
    }
    if (args.size() < first_filter + 2 && mode != DIALOG_FOLDER) {
        report("The file dialog was asked without any file type.");
        return -1;
    }

    std::string output;
    int status = 0;
    if (mode == DIALOG_OPEN && !next_answer.empty()) {
        output = "1\n" + next_answer + "\n";
        next_answer.clear();
    } else {
        status = run_chooser(args, &output);
        after_modal();
    }
    if (status == 1 && output.empty()) {
        last_error = FILE_DIALOG_CANCELLED;
        return -1;
    }
    if (status < 0 || status == 127) {
        last_error = FILE_DIALOG_NO_HELPER;
        std::string text = "The file chooser could not be started:\n" + args[0];
        report(text.c_str());
        return -1;
    }
    // "<index>\n<path>\n": the path is everything after the first line
    // but its final line feed.
    size_t line_end = output.find('\n');
    if (status != 0 || line_end == std::string::npos || output.size() < line_end + 3 ||
        output.back() != '\n') {
        std::string text = "The file chooser failed (status " + std::to_string(status) + ").";
        report(text.c_str());
        return -1;
    }
    int index = atoi(output.substr(0, line_end).c_str());
    std::string chosen = output.substr(line_end + 1, output.size() - line_end - 2);
    if (index < 1 || chosen.empty() || chosen.find('\0') != std::string::npos) {
        report("The file chooser gave an answer that cannot be used.");
        return -1;
    }
    if (!path || chosen.size() >= (size_t)path_size) {
        last_error = FILE_DIALOG_NAME_TOO_LONG;
        report("The chosen file name is too long.");
        return -1;
    }
    if (mode != DIALOG_SAVE &&
        (stat(chosen.c_str(), &st) != 0 || (mode == DIALOG_FOLDER ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode)))) {
        last_error = FILE_DIALOG_NOT_FOUND;
        return -1;
    }
    memcpy(path, chosen.c_str(), chosen.size() + 1);
    if (title && title_size > 0) {
        size_t slash = chosen.rfind('/');
        std::string name = chosen.substr(slash == std::string::npos ? 0 : slash + 1);
        snprintf(title, (size_t)title_size, "%s", name.c_str());
    }
    last_error = FILE_DIALOG_CANCELLED;
    return index;
}

}  // namespace

int open_file_dialog(const char *caption, const char *filter, char *path, int path_size, char *title,
                     int title_size, const char *initial_folder, const char *selected_file)
{
    return run_dialog(DIALOG_OPEN, caption, filter, path, path_size, title, title_size, initial_folder, selected_file) > 0;
}

int save_file_dialog(const char *caption, const char *filter, char *path, int path_size, char *title,
                     int title_size, const char *initial_folder, int start_filter, const char *suggested_name)
{
    return run_dialog(DIALOG_SAVE, caption, filter, path, path_size, title, title_size, initial_folder, nullptr,
                      start_filter, suggested_name);
}

int choose_folder_dialog(const char *caption, const char *filter, char *path, int path_size,
                         const char *initial_folder)
{
    return run_dialog(DIALOG_FOLDER, caption, filter, path, path_size, nullptr, 0, initial_folder, nullptr);
}

int file_dialog_error() { return last_error; }

void set_file_chooser_program(const char *path) { program_override = path ? path : ""; }

void set_file_dialog_wait_hook(void (*hook)()) { wait_hook = hook; }

void answer_next_file_dialog(const char *path) { next_answer = path ? path : ""; }

void reap_file_choosers()
{
    for (size_t i = 0; i < closing.size();) {
        int status;
        pid_t done = waitpid(closing[i], &status, WNOHANG);
        if (done == 0 || (done < 0 && errno == EINTR))
            i++;
        else
            closing.erase(closing.begin() + (long)i);
    }
}

