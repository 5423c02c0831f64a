// The "View Readme" command: hands README/main.html to the system's browser.
#pragma once

// The readme's URL from its full path: "file:///" followed by the path as it
// is. Returns 0, or 1 when it does not fit its buffer.
int readme_url(const char *path, char *url, int url_size);
// The menu command: "Can't find reamde!" when the file is missing; starts
// xdg-open with the URL without waiting for it.
void view_readme_command();
// Collects the browser launcher once it has ended, and tells the user where
// the manual is when it failed (no xdg-open, or no browser for it). Cheap;
// the main loop calls it every step.
void check_readme_launch();
