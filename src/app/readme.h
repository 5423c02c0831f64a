// The "View Readme" command: hands README/main.html to the system's browser.
#pragma once

// The readme's URL from its full path: "file:///" followed by the path as it
// is. Returns 0, or 1 when it does not fit its buffer.
int readme_url(const char *path, char *url, int url_size);
// Starts `program` with the one argument `argument`, without a shell and
// without waiting for it; 0 when it was started, 1 otherwise.
int launch_detached(const char *program, const char *argument);
// The menu command: "Can't find reamde!" when the file is missing.
void view_readme_command();
