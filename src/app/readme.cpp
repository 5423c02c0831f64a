// The "View Readme" command: the browser started beside the editor and
// watched until it has answered.
#include "app/readme.h"

#include <errno.h>
#include <limits.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "app/app_paths.h"
#include "app/user_message.h"
#include "base/debug_log.h"

extern char **environ;

namespace {

// The launcher started last, until it has ended; and the manual it opens.
pid_t launcher = -1;
time_t launched_at = 0;
std::string manual;

// How long a launcher may take to fail and still be reported: one that
// runs the browser itself only ends when the browser does.
enum { LAUNCH_ANSWER_SECONDS = 10 };

void tell_not_opened(const char *why)
{
    debug_log(" The manual could not be opened: %s", why);
    tell_user(("The manual could not be opened: " + std::string(why) + "\nIt is at:\n" + manual).c_str());
}

}  // namespace

int readme_url(const char *path, char *url, int url_size)
{
    // The path sits in the URL unescaped, exactly as the browser launcher
    // has always been given it.
    int n = snprintf(url, (size_t)url_size, "file:///%s", path[0] == '/' ? path + 1 : path);
    return n < 0 || n >= url_size ? 1 : 0;
}

void view_readme_command()
{
    // The full path of the manual, which must exist.
    char path[PATH_MAX], url[PATH_MAX + 16];
    if (!realpath(asset_path("README/main.html").c_str(), path) || readme_url(path, url, sizeof url) != 0) {
        tell_user("Can't find reamde!");
        return;
    }
    manual = path;
    check_readme_launch();   // the one before, if it is still about
    char program[] = "xdg-open";
    char *argv[] = {program, url, nullptr};
    pid_t pid;
    int failed = posix_spawnp(&pid, program, nullptr, nullptr, argv, environ);
    if (failed != 0) {
        tell_not_opened(failed == ENOENT ? "xdg-open, which starts the web browser, is not installed."
                                         : "xdg-open, which starts the web browser, could not be started.");
        return;
    }
    launcher = pid;
    launched_at = time(nullptr);
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
        tell_not_opened(WIFEXITED(status) && WEXITSTATUS(status) == 127
                            ? "xdg-open, which starts the web browser, is not installed."
                            : "no web browser took it (xdg-open failed).");
}
