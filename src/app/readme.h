// The "View Readme" command: hands README/main.html to the system's browser.
#pragma once

#include <string>

// The readme's URL from its full path: "file:///" followed by the path as it
// is. Returns 0, or 1 when it does not fit its buffer.
int readme_url(const char *path, char *url, int url_size);
// The menu command: "Can't find reamde!" when the file is missing; starts
// the system's browser on it without waiting for it.
void view_readme_command();
// The system's part: starts the browser on the manual at `path` (its
// address `url`); false with the reason in `why` when that failed at once.
// On Linux, xdg-open; on Windows, the shell's handler for the file.
bool start_browser(const char *path, const char *url, std::string *why);
// Tells the user that the browser did not take the manual, and where it is.
void tell_manual_not_opened(const char *why);
// Collects the browser launcher once it has ended, and tells the user where
// the manual is when it failed (no xdg-open, or no browser for it). Cheap;
// the main loop calls it every step. Nothing to do on Windows, where the
// shell answers at once.
void check_readme_launch();
