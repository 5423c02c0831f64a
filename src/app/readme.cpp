// The "View Readme" command: the manual's address, and what the user is told
// when no browser takes it. Starting the browser is the system's part
// (readme_launch_*.cpp).
#include "app/readme.h"

#include <stdio.h>

#include <string>

#include "app/app_paths.h"
#include "app/user_message.h"
#include "base/debug_log.h"
#include "base/file_system.h"

namespace {

std::string manual;   // the manual last handed to the browser

}  // namespace

int readme_url(const char *path, char *url, int url_size)
{
    // The path sits in the URL unescaped, exactly as the browser launcher
    // has always been given it.
    int n = snprintf(url, (size_t)url_size, "file:///%s", path[0] == '/' ? path + 1 : path);
    return n < 0 || n >= url_size ? 1 : 0;
}

void tell_manual_not_opened(const char *why)
{
    debug_log(" The manual could not be opened: %s", why);
    tell_user(("The manual could not be opened: " + std::string(why) + "\nIt is at:\n" + manual).c_str());
}

void view_readme_command()
{
    // The full path of the manual, which must exist.
    char path[4096], url[4096 + 16];
    if (!resolve_path(asset_path("README/main.html").c_str(), path, sizeof path) ||
        readme_url(path, url, sizeof url) != 0) {
        tell_user("Can't find reamde!");
        return;
    }
    manual = path;
    std::string why;
    if (!start_browser(path, url, &why)) tell_manual_not_opened(why.c_str());
}
