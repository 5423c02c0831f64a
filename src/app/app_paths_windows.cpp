// Where the editor finds its assets and keeps its settings and log on
// Windows: the executable's folder and the user's application data.
#include "app/app_paths.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "base/file_system.h"
#include "base/utf16.h"

namespace {

// The known folder `id` with "\\qte\\NAME" appended and the qte folder
// created; NAME beside the executable when Windows does not know the folder.
std::string user_file(REFKNOWNFOLDERID id, const char *name)
{
    wchar_t *wide = nullptr;
    std::string folder;
    if (SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &wide) == S_OK) folder = utf8_from_utf16(wide);
    CoTaskMemFree(wide);
    if (folder.empty()) return executable_folder() + name;
    folder += "\\qte";
    make_folder(folder.c_str());   // a failure shows when the file is opened
    return folder + "\\" + name;
}

bool is_absolute(const char *name)
{
    return is_path_separator(name[0]) || (name[0] && name[1] == ':');
}

}  // namespace

bool app_installed() { return false; }

std::string asset_path(const char *name)
{
    if (is_absolute(name)) return name;
    return executable_folder() + name;
}

std::string helper_path(const char *name) { return executable_folder() + name; }
std::string settings_load_path() { return settings_save_path(); }
std::string settings_save_path() { return user_file(FOLDERID_RoamingAppData, "settings.ini"); }
std::string log_path() { return user_file(FOLDERID_LocalAppData, "debug.txt"); }
