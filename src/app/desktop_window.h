// The editor's window as the desktop sees it: the connection to the window
// system, title and icon, exposure, and files dropped on it. One file per
// system: desktop_window_x11.cpp (X11, XDND) and desktop_window_windows.cpp
// (Win32, WM_DROPFILES).
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

// On X11, AllegroGL opens a window of its own beside Allegro's first (never
// mapped) one, so Allegro's set_window_title never reaches the window on
// screen; these name the window that is on screen. On Windows Allegro's one
// window is the window on screen and most of these have little to do.

// Before allegro_init. X11: opens the editor's own connection to the
// display, held to the end, which keeps the server from resetting under
// Allegro's connection, and carries the drops; tries a few times. False with
// a sentence in `why` when no connection came about.
bool open_window_system(char *why, size_t why_size);
// Errors of the window system from here on are logged and the program goes
// on. Call after the OpenGL mode is set (AllegroGL installs a silent handler
// of its own on X11).
void catch_window_system_errors();
void close_window_system();

// Before the OpenGL window opens: the class ("qte", "Qte") and title it is
// created with, so a desktop matches it with its launcher from the start.
void prepare_desktop_window(const char *title);
// The title of the window on screen.
void set_desktop_window_title(const char *title);
// The window's icon from a bitmap file (magic pink is transparent) on X11;
// Windows takes it from the program's resources. False when the file cannot
// be read, which leaves the window without an icon.
bool set_desktop_window_icon(const char *bmp_path);

// Once the OpenGL window is up: brings it to the front with the keyboard
// focus, where the desktop does not do it by itself.
void bring_window_to_front();

// Notes every exposure of the window from here on; take_window_exposure
// answers whether one came since it was last asked (the window needs a frame).
void watch_window_exposure();
bool take_window_exposure();

// Files dropped on the window: their paths (UTF-8) and where, in window pixels.
struct file_drop {
    std::vector<std::string> files;
    int x = 0, y = 0;
};
// Offers the window as a drop target for files.
void accept_dropped_files();
// Takes the drop that arrived since the last call; true with a completed
// drop of at least one local file in `drop`. Never waits.
bool poll_dropped_files(file_drop *drop);
