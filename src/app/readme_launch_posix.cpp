// The manual in the browser on Linux: xdg-open started beside the editor and
// watched until it has answered.
#include "app/readme.h"

#include <errno.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <string>

extern char **environ;

namespace {

// The launcher started last, until it has ended.
pid_t launcher = -1;
time_t launched_at = 0;

// How long a launcher may take to fail and still be reported: one that
// runs the browser itself only ends when the browser does.
enum { LAUNCH_ANSWER_SECONDS = 10 };

}  // namespace

bool start_browser(const char *, const char *url, std::string *why)
{
    check_readme_launch();   // the one before, if it is still about
    char program[] = "xdg-open";
    char *argv[] = {program, const_cast<char *>(url), nullptr};
    pid_t pid;
    int failed = posix_spawnp(&pid, program, nullptr, nullptr, argv, environ);
    if (failed != 0) {
        *why = failed == ENOENT ? "xdg-open, which starts the web browser, is not installed."
                                : "xdg-open, which starts the web browser, could not be started.";
        return false;
    }
    launcher = pid;
    launched_at = time(nullptr);
    return true;
}

void check_readme_launch()
{
    if (launcher < 0) return;
    int status;
    pid_t done = waitpid(launcher, &status, WNOHANG);
    if (done == 0 || (done < 0 && errno == EINTR)) return;
    launcher = -1;
    bool failed = done > 0 && (!WIFEXITED(status) || WEXITSTATUS(status) != 0);
    if (failed && time(nullptr) - launched_at <= LAUNCH_ANSWER_SECONDS)
        tell_manual_not_opened(WIFEXITED(status) && WEXITSTATUS(status) == 127
                                   ? "xdg-open, which starts the web browser, is not installed."
                                   : "no web browser took it (xdg-open failed).");
}
