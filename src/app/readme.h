// The "View Readme" command: hands README/main.html to the system's browser.
#pragma once

// From the executable's full path, the readme's path (its file name replaced
// by "README/main.html") and its URL, "file:///" followed by the path as it
// is. Returns 0, or 1 when either does not fit its buffer.
int readme_location(const char *executable, char *path, int path_size, char *url, int url_size);
// Starts `program` with the one argument `argument`, without a shell and
// without waiting for it; 0 when it was started, 1 otherwise.
int launch_detached(const char *program, const char *argument);
// The menu command: "Can't find reamde!" when the file is missing.
void view_readme_command();
