// The editor's window as the X11 desktop sees it: class, title and icon.
#pragma once

// AllegroGL opens a window of its own beside Allegro's first (never mapped)
// one, so Allegro's set_window_title never reaches the window on screen.
// These name the window that is on screen; each does nothing without an
// X11 display.

// Before the OpenGL window opens: the class ("qte", "Qte") and title it is
// created with, so a desktop matches it with its launcher from the start.
void prepare_x11_window(const char *title);
// The title of the window on screen (WM_NAME and _NET_WM_NAME).
void set_x11_window_title(const char *title);
// _NET_WM_ICON from a bitmap file (magic pink is transparent); false when
// the file cannot be read, which leaves the window without an icon.
bool set_x11_window_icon(const char *bmp_path);
