// The "View Readme" command and the detached start of the browser.
#include "app/readme.h"

#include <allegro.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/user_message.h"

int readme_location(const char *executable, char *path, int path_size, char *url, int url_size)
{
    const char *slash = strrchr(executable, '/');
    size_t folder = slash ? (size_t)(slash - executable) + 1 : 0;
    int n = snprintf(path, (size_t)path_size, "%.*sREADME/main.html", (int)folder, executable);
    if (n < 0 || n >= path_size)
        return 1;
    // The path sits in the URL unescaped, exactly as the browser launcher
    // has always been given it.
    n = snprintf(url, (size_t)url_size, "file:///%s", path[0] == '/' ? path + 1 : path);
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
    char exe[512], path[512], url[1024];
    get_executable_name(exe, sizeof exe);
    if (readme_location(exe, path, sizeof path, url, sizeof url) != 0 || !exists(path)) {
        tell_user("Can't find reamde!");
        return;
    }
    launch_detached("xdg-open", url);
}
