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
//  - anything else is a build folder, where the places are the old ones:
//    assets in the working folder when there, otherwise beside the
//    executable; the chooser beside the executable; settings read from the
//    working folder's "settings.ini" and written beside the executable; the
//    log "debug.txt" in the working folder.
#pragma once

#include <string>

// True for the installed layout above.
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
