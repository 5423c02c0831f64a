// Where the editor finds its assets and helper and keeps its settings and log on Linux.
#include "app/app_paths.h"

#include "base/file_system.h"

#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool is_folder(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// PREFIX/ for an executable in PREFIX/bin/ beside PREFIX/share/qte; else "".
std::string install_prefix()
{
    std::string folder = executable_folder();
    const std::string bin = "/bin/";
    if (folder.size() <= bin.size() || folder.compare(folder.size() - bin.size(), bin.size(), bin) != 0)
        return "";
    std::string prefix = folder.substr(0, folder.size() - bin.size() + 1);
    return is_folder(prefix + "share/qte") ? prefix : "";
}

// $VARIABLE when it is an absolute path, else ~/FALLBACK; then "/qte/NAME",
// with the folders created. Relative NAME when there is no home either.
std::string user_file(const char *variable, const char *fallback, const char *name)
{
    const char *base = getenv(variable);
    std::string folder;
    if (base && base[0] == '/') {
        folder = base;
    } else {
        const char *home = getenv("HOME");
        if (!home || home[0] != '/')
            return name;
        folder = std::string(home) + "/" + fallback;
    }
    folder += "/qte";
    // Each level in turn, like mkdir -p; failures show when the file is opened.
    for (size_t i = 1; i <= folder.size(); i++) {
        if (i == folder.size() || folder[i] == '/') {
            if (mkdir(folder.substr(0, i).c_str(), 0700) != 0 && errno != EEXIST)
                break;
        }
    }
    return folder + "/" + name;
}

}  // namespace

bool app_installed() { return !install_prefix().empty(); }

std::string asset_path(const char *name)
{
    if (name[0] == '/')
        return name;
    std::string prefix = install_prefix();
    if (!prefix.empty())
        return prefix + "share/qte/" + name;
    if (access(name, F_OK) == 0)
        return name;
    return executable_folder() + name;
}

std::string helper_path(const char *name)
{
    std::string prefix = install_prefix();
    if (!prefix.empty())
        return prefix + "libexec/qte/" + name;
    return executable_folder() + name;
}

std::string settings_load_path()
{
    return settings_save_path();
}

std::string settings_save_path()
{
    if (app_installed())
        return user_file("XDG_CONFIG_HOME", ".config", "settings.ini");
    return executable_folder() + "settings.ini";
}

std::string log_path()
{
    if (app_installed())
        return user_file("XDG_STATE_HOME", ".local/state", "debug.txt");
    return executable_folder() + "debug.txt";
}
