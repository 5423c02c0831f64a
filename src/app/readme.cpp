// The "View Readme" command and the detached start of the browser.
#include "app/readme.h"

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/app_paths.h"
#include "app/user_message.h"

int readme_url(const char *path, char *url, int url_size)
{
    // The path sits in the URL unescaped, exactly as the browser launcher
    // has always been given it.
    int n = snprintf(url, (size_t)url_size, "file:///%s", path[0] == '/' ? path + 1 : path);
    return n < 0 || n >= url_size ? 1 : 0;
}

int launch_detached(const char *program, const char *argument)
{
    // Fork twice so that the browser's launcher is adopted by init and never
    // stays behind as a zombie of the editor; no shell sees the URL.
    pid_t child = fork();
    if (child < 0)
        return 1;
    if (child == 0) {
        if (fork() == 0) {
            char *argv[] = {const_cast<char *>(program), const_cast<char *>(argument), nullptr};
            execvp(program, argv);
            _exit(127);
        }
        _exit(0);
    }
    int status;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return 0;
}

void view_readme_command()
{
    // The full path of the manual, which must exist.
    char path[PATH_MAX], url[PATH_MAX + 16];
    if (!realpath(asset_path("README/main.html").c_str(), path) || readme_url(path, url, sizeof url) != 0) {
        tell_user("Can't find reamde!");
        return;
    }
    launch_detached("xdg-open", url);
}
