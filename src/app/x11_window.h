// The editor's window as the X11 desktop sees it: our own connection to the
// display, class, title and icon, exposure, and files dropped on it (XDND).
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

// AllegroGL opens a window of its own beside Allegro's first (never mapped)
// one, so Allegro's set_window_title never reaches the window on screen.
// These name the window that is on screen; each does nothing without an
// X11 display.

// Opens the editor's own connection to the display, before Allegro opens
// its: held to the end, it keeps the server from resetting under Allegro's
// connection (see the .cpp), and carries the drops. Tries a few times; false
// with a sentence in `why` when no connection came about.
bool open_x11_connection(char *why, size_t why_size);
// X errors from here on are logged and the program goes on. Call after the
// OpenGL mode is set (AllegroGL installs a silent handler of its own).
void catch_x11_errors();
void close_x11_connection();

// Before the OpenGL window opens: the class ("qte", "Qte") and title it is
// created with, so a desktop matches it with its launcher from the start.
void prepare_x11_window(const char *title);
// The title of the window on screen (WM_NAME and _NET_WM_NAME).
void set_x11_window_title(const char *title);
// _NET_WM_ICON from a bitmap file (magic pink is transparent); false when
// the file cannot be read, which leaves the window without an icon.
bool set_x11_window_icon(const char *bmp_path);

// Notes every Expose of the window from here on; take_x11_exposure answers
// whether one came since it was last asked (the window needs a frame).
void watch_x11_exposure();
bool take_x11_exposure();

// Files dropped on the window: their paths and where, in window pixels.
struct x11_drop {
    std::vector<std::string> files;
    int x = 0, y = 0;
};
// Offers the window as a drop target for files (text/uri-list).
void accept_x11_drops();
// Answers the drag messages that arrived; true with a completed drop of at
// least one local file in `drop`. Never waits.
bool poll_x11_drop(x11_drop *drop);
// The local paths of a text/uri-list ("file:///a%20b.lev\r\n" -> "/a b.lev"),
// in order; other schemes and comments are left out.
std::vector<std::string> file_paths_of_uri_list(const std::string &uris);
