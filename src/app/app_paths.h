// Where the editor finds its assets and helper and keeps its settings and log.
//
// Two layouts, told apart by the executable's own folder:
//  - installed: the executable lies in a folder named "bin" next to which
//    "share/qte" exists (PREFIX/bin/qte with PREFIX/share/qte). Assets come
//    from PREFIX/share/qte, the chooser from PREFIX/libexec/qte, the settings
//    live in $XDG_CONFIG_HOME/qte/settings.ini and the log in
//    $XDG_STATE_HOME/qte/debug.txt (~/.config and ~/.local/state when the
//    variables are unset or not absolute), so nothing lands in the working
//    folder or the top of the home folder.
//  - on Linux, anything else is a build folder: assets in the working folder when
//    there, otherwise beside the executable; the chooser, "settings.ini" and
//    the log "debug.txt" beside the executable, whatever the working folder,
//    so that the settings read are the ones written.
//  - on Windows (app_paths_windows.cpp), wherever the program was unpacked:
//    assets and helpers beside the executable, the settings in the roaming
//    application data (%APPDATA%\qte\settings.ini, which follows the user
//    between machines) and the log in the local one
//    (%LOCALAPPDATA%\qte\debug.txt), so an unpacked folder that cannot be
//    written to still works.
#pragma once

#include <string>

// True for the installed layout above (always false on Windows).
bool app_installed();
// The asset NAME (a path relative to the asset folder, e.g. "themes/grey.bmp");
// an absolute NAME is returned as it is.
std::string asset_path(const char *name);
// The helper program NAME (e.g. "qte_file_chooser").
std::string helper_path(const char *name);
// Where the settings are read from and written to. The folders of the
// written file and of the log are created when missing.
std::string settings_load_path();
std::string settings_save_path();
std::string log_path();
