// The file chooser on Linux: runs the GTK chooser helper and reads its answer.
//
// The chooser runs as a program of its own because a GTK dialog inside the
// AllegroGL process fails with an X error when no window manager is present.
// A file to start with is passed as "--select FILE" before the rest, the
// window's title as "--title TITLE".
// It prints "<filter index>\n<path>\n" and exits with 0, or exits with 1 when
// the user cancelled; anything else counts as a failed dialog.
#include "app/file_chooser.h"

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
#include "app/file_dialog.h"

extern char **environ;

namespace {

std::string program_override;

// The chooser program: the helper beside the editor, or the one set for tests.
std::string file_chooser_program()
{
    return program_override.empty() ? helper_path("qte_file_chooser") : program_override;
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
        call_file_dialog_wait_hook();
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

// The helper's arguments: options, the mode, the folder, then description
// and pattern pairs.
std::vector<std::string> chooser_arguments(const chooser_request &request)
{
    std::vector<std::string> args;
    args.push_back(file_chooser_program());
    if (!request.selected_file.empty()) {
        args.push_back("--select");
        args.push_back(request.selected_file);
    }
    args.push_back("--title");
    args.push_back(request.title);
    if (request.start_filter > 1) {
        args.push_back("--filter");
        args.push_back(std::to_string(request.start_filter));
    }
    if (!request.suggested_name.empty()) {
        args.push_back("--name");
        args.push_back(request.suggested_name);
    }
    args.push_back(request.mode == CHOOSE_SAVE ? "save" : request.mode == CHOOSE_FOLDER ? "folder" : "open");
    args.push_back(request.folder);
    for (const auto &filter : request.filters) {
        args.push_back(filter.first);
        args.push_back(filter.second);
    }
    return args;
}

}  // namespace

void set_file_chooser_program(const char *path) { program_override = path ? path : ""; }

int run_file_chooser(const chooser_request &request, std::string *path, int *filter_index, std::string *why)
{
    std::vector<std::string> args = chooser_arguments(request);
    std::string output;
    int status = run_chooser(args, &output);
    if (status == 1 && output.empty())
        return CHOOSER_CANCELLED;
    if (status < 0 || status == 127) {
        *why = args[0];
        return CHOOSER_NOT_STARTED;
    }
    // "<index>\n<path>\n": the path is everything after the first line
    // but its final line feed.
    size_t line_end = output.find('\n');
    if (status != 0 || line_end == std::string::npos || output.size() < line_end + 3 || output.back() != '\n') {
        *why = "The file chooser failed (status " + std::to_string(status) + ").";
        return CHOOSER_FAILED;
    }
    *filter_index = atoi(output.substr(0, line_end).c_str());
    *path = output.substr(line_end + 1, output.size() - line_end - 2);
    if (*filter_index < 1 || path->empty() || path->find('\0') != std::string::npos) {
        *why = "The file chooser gave an answer that cannot be used.";
        return CHOOSER_FAILED;
    }
    return CHOOSER_CHOSEN;
}

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

